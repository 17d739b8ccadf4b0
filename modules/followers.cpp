#include "modules/followers.h"

#include <algorithm>
#include <cmath>

#include "project/module_registry.h"

namespace {
ug_registration<ug_peak_det> register_peak_follower("Peak Follower");
ug_registration<ug_volts_to_float> register_volts_to_float("VoltsToFloat");

// Coefficient of a one-pole follower whose time constant is `seconds`.
float FollowerCoefficient(float sample_rate, double seconds) {
    return static_cast<float>(std::exp(-1.0 / (sample_rate * seconds)));
}
}  // namespace

// ---- Peak Follower -------------------------------------------------------------

void ug_peak_det::ListInterface(std::vector<InterfaceObject>& list) {
    AddInterface(list, {.sample_ptr = &signal_, .direction = DR_IN, .help = "Input signal", .name = "Signal in",
                        .default_value = "0", .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = &attack_, .direction = DR_IN,
                        .help = "Rate at which current_level rises to track input level", .name = "Attack",
                        .default_value = "8", .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = &decay_, .direction = DR_IN,
                        .help = "Rate at which current_level falls to track input level", .name = "Decay",
                        .default_value = "7", .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = &output_, .direction = DR_OUT, .help = "current_level Signal",
                        .name = "Signal Out", .data_type = DT_AUDIO});
}

void ug_peak_det::Open() {
    ug_base::Open();
    level_ = 0.0f;
    Update(sample_clock);
}

void ug_peak_det::OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) { Update(time); }

// The time constant in milliseconds is the input in volts.
float ug_peak_det::Coefficient(float time_constant) const {
    return std::exp(-100.0f / (std::max(time_constant, 0.001f) * SampleRate()));
}

void ug_peak_det::Update(uint32_t time) {
    const int position = BlockPosition();
    attack_coefficient_ = Coefficient(attack_[position]);
    decay_coefficient_ = Coefficient(decay_[position]);
    if (IsRunning(*this, kAttack) || IsRunning(*this, kDecay))
        SetProcess(&ug_peak_det::RunPerSampleRates);
    else
        SetProcess(&ug_peak_det::RunConstantRates);
    GetPlug(kOutput)->TransmitStatus(time, ST_RUN);
}

void ug_peak_det::RunPerSampleRates(int start, int count) {
    for (int i = start; i < start + count; ++i) {
        Follow(std::abs(signal_[i]), Coefficient(attack_[i]), Coefficient(decay_[i]));
        output_[i] = level_;
    }
}

// Once one more step on a constant input would leave the level where it is
// (rounding may hold it a hair off the input for good), it cannot move again:
// the output is announced constant and the module sleeps after a block.
void ug_peak_det::RunConstantRates(int start, int count) {
    for (int i = start; i < start + count; ++i) {
        Follow(std::abs(signal_[i]), attack_coefficient_, decay_coefficient_);
        output_[i] = level_;
    }
    if (IsRunning(*this, kSignal)) return;
    const float level = level_;
    Follow(std::abs(signal_[start + count - 1]), attack_coefficient_, decay_coefficient_);
    if (level_ != level) {
        level_ = level;
        return;
    }
    SetProcess(&ug_peak_det::Static);
    ResetStaticCountdown();
    GetPlug(kOutput)->TransmitStatus(sample_clock + static_cast<uint32_t>(count - 1), ST_STATIC);
}

void ug_peak_det::Static(int start, int count) {
    std::fill_n(output_ + start, count, level_);
    CountStaticSamples(count);
}

// ---- VoltsToFloat --------------------------------------------------------------

void ug_volts_to_float::ListInterface(std::vector<InterfaceObject>& list) {
    AddInterface(list, {.sample_ptr = &input_, .direction = DR_IN, .name = "Volts In", .flags = IO_NOT_POLYPHONIC,
                        .data_type = DT_AUDIO});
    AddInterface(list, {.direction = DR_IN, .name = "Response", .default_value = "4",
                        .list_values = "dB VU,dB PPM,dB Peak,dB HeadRoom, Volts DC (Fast), Volts DC Average, "
                                       "Volts RMS",
                        .data_type = DT_ENUM, .variable = &response_});
    AddInterface(list, {.direction = DR_IN, .name = "Update Rate", .default_value = "10",
                        .list_values = "1 Hz=1,5 Hz=5,10 Hz=10,20 Hz=20,40 Hz=40", .data_type = DT_ENUM,
                        .variable = &update_rate_});
    AddInterface(list, {.direction = DR_OUT, .name = "Float Out", .data_type = DT_FLOAT, .variable = &output_});
}

void ug_volts_to_float::Open() {
    ug_base::Open();
    square_smoothing_ = static_cast<float>(std::exp(-6.283185307179586 * 100.0 / SampleRate()));
    square_ = level_ = 0.0f;
    reported_ = false;
    countdown_ = 1;
    Update(sample_clock);
}

void ug_volts_to_float::OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) {
    Update(time);
}

void ug_volts_to_float::Update(uint32_t time) {
    const float rate = SampleRate();
    switch (response_) {
        case VU:
        case DC_AVERAGE:
        case RMS: attack_ = release_ = FollowerCoefficient(rate, 0.1); break;
        case PPM:
            attack_ = FollowerCoefficient(rate, 0.017);
            release_ = FollowerCoefficient(rate, 0.65);
            break;
        default:
            attack_ = 0.0f;  // instant
            release_ = FollowerCoefficient(rate, 0.03);
            break;
    }
    period_ = std::max(1, static_cast<int>(rate / (static_cast<float>(update_rate_) + 0.03f)));
    countdown_ = std::clamp(countdown_, 1, period_);

    switch (response_) {
        case DC_FAST: SetProcess(&ug_volts_to_float::Run<detector::passes>); break;
        case PEAK:
        case HEADROOM: SetProcess(&ug_volts_to_float::Run<detector::magnitude>); break;
        case DC_AVERAGE: SetProcess(&ug_volts_to_float::Run<detector::signal>); break;
        default: SetProcess(&ug_volts_to_float::Run<detector::root_mean_square>); break;
    }
}

template <ug_volts_to_float::detector kind>
float ug_volts_to_float::Detect(float x) {
    if constexpr (kind == detector::magnitude) return std::abs(x);
    if constexpr (kind == detector::root_mean_square) {
        const float squared = x * x;
        square_ = GuardDenormal(squared + (square_ - squared) * square_smoothing_);
        return std::sqrt(square_);
    }
    return x;
}

template <ug_volts_to_float::detector kind>
void ug_volts_to_float::Step(float x) {
    if constexpr (kind == detector::passes) {
        level_ = x;
    } else {
        const float d = Detect<kind>(x);
        level_ = GuardDenormal(d + (level_ - d) * (d > level_ ? attack_ : release_));
    }
}

// Rounding can hold a follower a hair from its input for good, so rest means
// that one more step would change nothing.
template <ug_volts_to_float::detector kind>
bool ug_volts_to_float::AtRest(float x) {
    if (IsRunning(*this, kVoltsIn)) return false;
    const float level = level_;
    const float square = square_;
    Step<kind>(x);
    const bool unchanged = level_ == level && square_ == square;
    level_ = level;
    square_ = square;
    return unchanged;
}

// Follows sample by sample up to each refresh point; sleeps there once a
// constant input has brought the follower to rest.
template <ug_volts_to_float::detector kind>
void ug_volts_to_float::Run(int start, int count) {
    for (int done = 0; done < count;) {
        const int end = start + done + std::min(count - done, countdown_);
        for (int i = start + done; i < end; ++i) Step<kind>(input_[i]);
        countdown_ -= end - (start + done);
        done = end - start;
        if (countdown_ > 0) continue;
        countdown_ = period_;
        Refresh(sample_clock + static_cast<uint32_t>(done - 1));
        if (AtRest<kind>(input_[end - 1])) SleepIfIdle(start, count);
    }
}

// Passes a reading that moved.
void ug_volts_to_float::Refresh(uint32_t time) {
    if (reported_ && std::abs(level_ - reported_level_) < 1e-8f) return;
    reported_ = true;
    reported_level_ = level_;
    output_ = Reading();
    GetPlug(kFloatOut)->TransmitStatus(time, ST_STATIC);
}

// Volts for the DC and RMS responses, decibels for the meter responses.
float ug_volts_to_float::Reading() const {
    if (response_ > HEADROOM) return level_ * 10.0f;
    const float decibels = level_ < 1e-8f ? -150.0f : 20.0f * std::log10(level_) + 10.0f;
    return response_ == HEADROOM ? -decibels : decibels;
}
