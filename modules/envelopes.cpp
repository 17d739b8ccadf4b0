#include "modules/envelopes.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

#include "engine/audio_master.h"
#include "project/module_registry.h"

namespace {
ug_registration<ug_adsr> register_adsr("ADSR");
ug_registration<ug_8_stage> register_8_stage("8 Stage Env");
ug_registration<ug_envelope_ms> register_envelope_ms("Multistage Env");

constexpr const char* kGateHelp = "Triggers the Attack phase when greater then 0 V ";
constexpr const char* kOverallLevelHelp = "Controls the overall output level.  Handy for adding Velocity sensitivity";

// Segments longer than a 32-bit count can hold run for as long as it can.
constexpr float kLongestSegment = 2147483520.0f;

double ReadNumber(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    double value = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

void ListGate(std::vector<InterfaceObject>& list, float** gate) {
    AddInterface(list, {.sample_ptr = gate, .direction = DR_IN, .help = kGateHelp, .name = "Gate", .default_value = "1",
                        .data_type = DT_AUDIO});
}

void ListOverallLevelAndOutput(std::vector<InterfaceObject>& list, float** overall_level, float** out) {
    AddInterface(list, {.sample_ptr = overall_level, .direction = DR_IN, .help = kOverallLevelHelp,
                        .name = "Overall Level", .default_value = "10", .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = out, .direction = DR_OUT, .name = "Signal Out", .default_value = "0",
                        .data_type = DT_AUDIO});
}
}  // namespace

// ---- the editor's text -----------------------------------------------------

std::vector<envelope_point> ParseEnvelopePoints(const std::string& text) {
    std::vector<envelope_point> points;
    std::string_view rest = text;
    for (std::size_t close = rest.find(')'); close != std::string_view::npos; close = rest.find(')')) {
        const std::size_t open = rest.find('(');
        const std::size_t time_begin = open < close ? open + 1 : 0;
        const std::size_t comma = std::min(rest.find(',', time_begin), close);
        envelope_point point;
        point.time = ReadNumber(rest.substr(time_begin, comma - time_begin));
        if (comma < close) point.level = ReadNumber(rest.substr(comma + 1, close - comma - 1));
        point.sustain = rest.starts_with('S');
        points.push_back(point);
        rest.remove_prefix(close + 1);
    }
    return points;
}

std::vector<envelope_segment> EnvelopeSegments(const std::vector<envelope_point>& points) {
    std::vector<envelope_segment> segments;
    segments.reserve(points.size() + 1);
    envelope_point previous;
    for (const envelope_point& point : points) {
        const double duration = std::max(std::fabs(point.time - previous.time), 0.0001);
        segments.push_back({.level = static_cast<float>(point.level),
                            .rate = static_cast<float>(std::fabs((point.level - previous.level) / duration)),
                            .kind = point.sustain ? envelope_segment::sustain : envelope_segment::normal});
        previous = point;
    }
    if (!segments.empty()) segments.back().kind = envelope_segment::last;
    segments.push_back({.level = 0.0f, .rate = 10.0f, .kind = envelope_segment::last});
    return segments;
}

void envelope_segment_store::Publish(const std::string& text) {
    current_.store(std::make_shared<const segment_list>(EnvelopeSegments(ParseEnvelopePoints(text))));
}

// ---- the engine --------------------------------------------------------------

void ug_envelope_base::Open() {
    ug_base::Open();
    gate_index_ = GetPlugByName("Gate")->index;
    overall_level_index_ = GetPlugByName("Overall Level")->index;
    signal_out_index_ = GetPlugByName("Signal Out")->index;
    sample_rate_ = SampleRate();
    PrepareSegments();
    // Outputs 0 (the level starts there) until the gate says otherwise.
    step_ = 0.0f;
    position_ = BlockPosition();
    StartSegment();
}

void ug_envelope_base::OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) {
    position_ = BlockPosition();
    if (connection->to->index == gate_index_)
        OnGateStatus(status);
    else
        OnInputStatus(connection->to);
}

void ug_envelope_base::HandleEvent(ug_event* event) {
    if (event->kind == UET_NOTE_OFF_HARD) {
        position_ = BlockPosition();
        HardRelease();
    } else {
        ug_base::HandleEvent(event);
    }
}

void ug_envelope_base::OnGateStatus(state_type status) {
    if (status == ST_RUN) {
        SetProcess(&ug_envelope_base::ScanGate);
        return;
    }
    const bool was_scanning = Process() == static_cast<process_func>(&ug_envelope_base::ScanGate);
    ApplyGate(InputNow(gate_in_) > 0.0f);
    // Leave the scanner for the plain process function.
    if (was_scanning) StartSegment();
}

void ug_envelope_base::ApplyGate(bool high) {
    if (high == gate_high_) return;
    gate_high_ = high;
    if (high) {
        if (!released_) return;
        released_ = false;
        hard_release_ = false;
        // Segment 0 starts from wherever the level is: a retrigger does not jump.
        current_ = -1;
    } else {
        if (released_) return;
        released_ = true;
        // Released before the hold: straight to the end segment.
        if (current_ != sustain_ || sustain_ >= end_) current_ = static_cast<int16_t>(end_ - 1);
    }
    NextSegment();
}

void ug_envelope_base::HardRelease() {
    released_ = true;
    if (current_ < end_ || level_ != 0.0f) {
        current_ = static_cast<int16_t>(end_ - 1);
        hard_release_ = true;
        NextSegment();
    }
}

void ug_envelope_base::NextSegment() {
    step_ = 0.0f;
    if (current_ < end_) {
        if (current_ != sustain_ || !gate_high_ || hard_release_) {
            ++current_;
            step_ = 1.0f;
        }
    } else if (IsFinished()) {
        hard_release_ = false;
    }
    StartSegment();
}

void ug_envelope_base::SelectProcess() {
    if (IsRunning(GetPlug(gate_index_)))
        SetProcess(&ug_envelope_base::ScanGate);
    else
        SetProcess(&ug_envelope_base::Render);
}

void ug_envelope_base::Announce(state_type status) {
    GetPlug(signal_out_index_)->TransmitStatus(audio_master->BlockStart() + static_cast<uint32_t>(position_), status);
}

void ug_envelope_base::HoldConstant() {
    overall_level_ = InputNow(overall_level_in_);
    output_value_ = level_ * overall_level_;
    constant_left_ = BlockSize();
    SetRenderer(&ug_envelope_base::RenderConstant);
    Announce(ST_STATIC);
}

void ug_envelope_base::FollowOverallLevel() {
    SetRenderer(&ug_envelope_base::RenderFollowOverall);
    Announce(ST_RUN);
}

void ug_envelope_base::StartCount(float step) {
    const float distance = target_ - level_;
    step_ = distance < 0.0f ? -std::fabs(step) : std::fabs(step);
    const float samples = distance / step_;
    samples_left_ = std::isfinite(samples) ? static_cast<int32_t>(std::min(samples, kLongestSegment)) : 0;
    samples_left_ = std::max(samples_left_, 1);
    overall_level_ = InputNow(overall_level_in_);
    output_step_ = overall_level_ * step_;
    output_value_ = overall_level_ * level_;
    if (OverallLevelRuns())
        SetRenderer(&ug_envelope_base::RenderCountOverall);
    else
        SetRenderer(&ug_envelope_base::RenderFastest);
    Announce(ST_RUN);
}

void ug_envelope_base::FinishSegment(int position, float overall_level) {
    level_ = target_;
    signal_out_[position] = target_ * overall_level;
    position_ = position;
    NextSegment();
}

// ---- process functions and renderers -----------------------------------------

void ug_envelope_base::Render(int start, int count) {
    while (count > 0) {
        position_ = start;
        const int written = (this->*renderer_)(start, count);
        start += written;
        count -= written;
    }
}

void ug_envelope_base::ScanGate(int start, int count) {
    const int end = start + count;
    while (start < end) {
        int change = start;
        while (change < end && (gate_in_[change] > 0.0f) == gate_high_) ++change;
        Render(start, change - start);
        if (change == end) return;
        position_ = change;
        ApplyGate(gate_in_[change] > 0.0f);
        start = change;
    }
}

int ug_envelope_base::RenderFastest(int start, int count) {
    const int n = std::min(count, samples_left_);
    samples_left_ -= n;
    level_ += step_ * static_cast<float>(n);
    float* out = signal_out_ + start;
    float value = output_value_;
    const float step = output_step_;
    for (int i = 0; i < n; ++i) {
        value += step;
        out[i] = value;
    }
    output_value_ = value;
    if (samples_left_ == 0) FinishSegment(start + n - 1, overall_level_);
    return n;
}

int ug_envelope_base::RenderCountOverall(int start, int count) {
    const int n = std::min(count, samples_left_);
    samples_left_ -= n;
    float* out = signal_out_ + start;
    const float* overall = overall_level_in_ + start;
    float level = level_;
    const float step = step_;
    for (int i = 0; i < n; ++i) {
        level += step;
        out[i] = level * overall[i];
    }
    level_ = level;
    if (samples_left_ == 0) FinishSegment(start + n - 1, overall[n - 1]);
    return n;
}

int ug_envelope_base::RenderConstant(int start, int count) {
    const int n = std::min(count, constant_left_);
    std::fill(signal_out_ + start, signal_out_ + start + n, output_value_);
    constant_left_ -= n;
    if (constant_left_ == 0) {
        SetRenderer(&ug_envelope_base::RenderIdle);
        // A running gate keeps the scanner awake; otherwise nothing is left to do.
        if (!IsRunning(GetPlug(gate_index_))) SetProcess(&ug_base::SleepIfIdle);
    }
    return n;
}

int ug_envelope_base::RenderFollowOverall(int start, int count) {
    float* out = signal_out_ + start;
    const float* overall = overall_level_in_ + start;
    const float level = level_;
    for (int i = 0; i < count; ++i) out[i] = level * overall[i];
    return count;
}

// ---- segments from input plugs -------------------------------------------------

void ug_envelope::StartSegment() {
    SelectProcess();
    const segment_plugs& segment = segments_[static_cast<std::size_t>(current_)];
    // The end segment always falls to 0, whatever its level input says.
    const bool at_end = current_ >= end_;
    const UPlug* level_plug = at_end ? nullptr : segment.level_plug;
    if (at_end)
        target_ = 0.0f;
    else
        target_ = level_plug != nullptr ? InputNow(segment.level) : segment.fixed_level;
    const bool level_runs = IsRunning(level_plug);

    if (step_ == 0.0f) {
        Hold(level_runs);
        return;
    }
    rate_runs_ = IsRunning(segment.rate_plug);
    chases_level_ = level_runs;
    // A hard release (always into the end segment) steps sample by sample too.
    if (hard_release_ || level_runs || rate_runs_) {
        step_ = StepForRate(InputNow(segment.rate));
        SetRenderer(&ug_envelope::RenderStepwise);
        Announce(ST_RUN);
    } else {
        StartCount(StepForRate(InputNow(segment.rate)));
    }
}

void ug_envelope::Hold(bool level_runs) {
    if (level_runs) {
        SetRenderer(&ug_envelope::RenderHoldFollow);
        Announce(ST_RUN);
    } else if (OverallLevelRuns() && current_ == sustain_) {
        FollowOverallLevel();
    } else {
        level_ = target_;
        HoldConstant();
    }
}

void ug_envelope::OnInputStatus(UPlug* input) {
    if (step_ == 0.0f && current_ >= end_) return;
    const segment_plugs& segment = segments_[static_cast<std::size_t>(current_)];
    if (IsOverallLevel(input) || input == segment.rate_plug || input == segment.level_plug)
        StartSegment();
}

// A rate input of V volts moves the level by 10 V in 2^((V * 1200 - 8000) / 1200) seconds.
float ug_envelope::StepForRate(float rate_sample) const {
    const double seconds = std::pow(2.0, (rate_sample * 10 * 12000 * 0.1 - 8000) * 0.0008333333333333334);
    return static_cast<float>(1.0 / (seconds * sample_rate_));
}

bool ug_envelope::MoveTowardsTarget() {
    if (level_ < target_) {
        level_ += step_;
        return level_ >= target_;
    }
    level_ -= step_;
    return level_ <= target_;
}

// Per sample: a running rate costs a power function each, a running level
// input moves the target with it.
int ug_envelope::RenderStepwise(int start, int count) {
    const segment_plugs& segment = segments_[static_cast<std::size_t>(current_)];
    for (int i = start; i < start + count; ++i) {
        if (rate_runs_) step_ = StepForRate(segment.rate[i]);
        if (chases_level_) target_ = segment.level[i];
        if (MoveTowardsTarget()) {
            FinishSegment(i, overall_level_in_[i]);
            return i - start + 1;
        }
        signal_out_[i] = level_ * overall_level_in_[i];
    }
    return count;
}

int ug_envelope::RenderHoldFollow(int start, int count) {
    const float* level = segments_[static_cast<std::size_t>(current_)].level;
    for (int i = start; i < start + count; ++i) signal_out_[i] = level[i] * overall_level_in_[i];
    level_ = level[start + count - 1];
    return count;
}

// ---- ADSR ----------------------------------------------------------------------

void ug_adsr::ListInterface(std::vector<InterfaceObject>& list) {
    ListGate(list, &gate_in_);
    AddInterface(list, {.sample_ptr = &segments_[0].rate, .direction = DR_IN,
                        .help = "Controls the rate of the attack, 0 V is quickest, 10 V slowest", .name = "Attack",
                        .default_value = "0", .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = &segments_[1].rate, .direction = DR_IN, .help = "The Decay rate",
                        .name = "Decay", .default_value = "5", .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = &segments_[1].level, .direction = DR_IN,
                        .help = "The 'hold' level, while the gate is high (key is down)", .name = "Sustain",
                        .default_value = "7", .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = &segments_[2].rate, .direction = DR_IN, .help = "The Release rate",
                        .name = "Release", .default_value = "4", .data_type = DT_AUDIO});
    ListOverallLevelAndOutput(list, &overall_level_in_, &signal_out_);
}

void ug_adsr::PrepareSegments() {
    segments_[0].rate_plug = GetPlug(1);
    segments_[0].fixed_level = 1.0f;
    segments_[1].rate_plug = GetPlug(2);
    segments_[1].level_plug = GetPlug(3);
    segments_[2].rate_plug = GetPlug(4);
    sustain_ = 1;
    end_ = 2;
    current_ = end_;
}

// ---- eight stages -----------------------------------------------------------------

void ug_8_stage::ListInterface(std::vector<InterfaceObject>& list) {
    static constexpr std::array<const char*, 8> kRateDefaults = {"2", "5", "6", "3", "6", "6", "6", "6"};
    static constexpr std::array<const char*, 8> kLevelDefaults = {"10", "6", "8", "2", "0", "0", "0", "0"};
    ListGate(list, &gate_in_);
    for (std::size_t s = 0; s < segments_.size(); ++s) {
        const std::string number = std::to_string(s);
        AddInterface(list, {.sample_ptr = &segments_[s].rate, .direction = DR_IN,
                            .help = "Segment rate ( 0 - fastest, 10 - slowest )", .name = "Rate " + number,
                            .default_value = kRateDefaults[s], .data_type = DT_AUDIO});
        AddInterface(list, {.sample_ptr = &segments_[s].level, .direction = DR_IN, .help = "End level    (0 - 10V)",
                            .name = "Level " + number, .default_value = kLevelDefaults[s], .data_type = DT_AUDIO});
    }
    ListOverallLevelAndOutput(list, &overall_level_in_, &signal_out_);
    AddInterface(list, {.direction = DR_IN, .help = "Which segment to 'hold' at until key is released",
                        .name = "Sus Seg", .default_value = "2", .list_values = "None=10,0=0,1,2,3,4,5,6,7",
                        .data_type = DT_ENUM, .variable = &sustain_choice_});
    AddInterface(list, {.direction = DR_IN, .help = "Which segment to stop at, subsequent segments are ignored.",
                        .name = "End Seg", .default_value = "4", .list_values = "range 0,7", .data_type = DT_ENUM,
                        .variable = &end_choice_});
}

void ug_8_stage::PrepareSegments() {
    for (std::size_t s = 0; s < segments_.size(); ++s) {
        segments_[s].rate_plug = GetPlug(static_cast<int>(2 * s + 1));
        segments_[s].level_plug = GetPlug(static_cast<int>(2 * s + 2));
    }
    ReadSegmentChoice();
    current_ = end_;
}

// A wired list value may lie outside the list: an end beyond the table stops at
// the last segment, a negative sustain holds nowhere.
void ug_8_stage::ReadSegmentChoice() {
    sustain_ = sustain_choice_ < 0 ? kNoSustain : sustain_choice_;
    end_ = std::clamp<int16_t>(end_choice_, 0, static_cast<int16_t>(segments_.size() - 1));
}

void ug_8_stage::OnInputStatus(UPlug* input) {
    if (input->data_type == DT_ENUM)
        ReadSegmentChoice();
    else
        ug_envelope::OnInputStatus(input);
}

// ---- multistage -----------------------------------------------------------------

void ug_envelope_ms::ListInterface(std::vector<InterfaceObject>& list) {
    ListGate(list, &gate_in_);
    ListOverallLevelAndOutput(list, &overall_level_in_, &signal_out_);
    AddInterface(list, {.direction = DR_PARAMETER,
                        .help = "Prevents this control responding to patch changes from 'Patch Select' module",
                        .name = "Ignore Program Change", .default_value = "0", .data_type = DT_BOOL,
                        .variable = &ignore_program_change_});
}

std::unique_ptr<ug_base> ug_envelope_ms::Clone() {
    std::unique_ptr<ug_base> clone = ug_base::Clone();
    static_cast<ug_envelope_ms*>(clone.get())->store_ = store_;
    return clone;
}

void ug_envelope_ms::Open() {
    // A voice copy runs right after the module it copies.
    if ((flags & UGF_CLONE) != 0) --sort_order;
    ug_envelope_base::Open();
}

void ug_envelope_ms::PrepareSegments() {
    LoadSegments();
    current_ = static_cast<int16_t>(end_ + 1);
}

void ug_envelope_ms::LoadSegments() {
    segments_ = store_->Current();
    const auto& items = *segments_;
    // Every published list ends with a closing segment of the last kind.
    const auto last = std::find_if(items.begin(), items.end(),
                                   [](const envelope_segment& item) { return item.kind == envelope_segment::last; });
    end_ = static_cast<int16_t>(last - items.begin());
    const auto held = std::find_if(items.begin(), items.begin() + end_,
                                   [](const envelope_segment& item) { return item.kind == envelope_segment::sustain; });
    sustain_ = static_cast<int16_t>(held - items.begin());
}

void ug_envelope_ms::OnNotify(int32_t code, int32_t value) {
    if (code != kReloadSegments) {
        ug_envelope_base::OnNotify(code, value);
        return;
    }
    if ((flags & UGF_OPEN) == 0) return;  // Open loads the list
    position_ = BlockPosition();
    ReloadSegments();
}

void ug_envelope_ms::ReloadSegments() {
    LoadSegments();
    current_ = std::min(current_, end_);
    const auto& items = *segments_;
    if (current_ == sustain_ && target_ != items[static_cast<std::size_t>(current_)].level) {
        step_ = 1.0f;  // the held level moved: go to it
        SelectProcess();
    }
    if (current_ < end_ || level_ != 0.0f) StartSegment();
}

void ug_envelope_ms::StartSegment() {
    SelectProcess();
    if (step_ == 0.0f) {
        if (OverallLevelRuns())
            FollowOverallLevel();
        else
            HoldConstant();
        return;
    }
    const envelope_segment& item = (*segments_)[static_cast<std::size_t>(current_)];
    if (hard_release_) {
        // A 15-sample fade, so that the voice is free for the new note at once.
        target_ = 0.0f;
        StartCount(level_ * 0.06666667f);
    } else {
        target_ = item.level;
        StartCount(item.rate / sample_rate_);
    }
}
