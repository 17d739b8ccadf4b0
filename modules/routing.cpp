#include "modules/routing.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/audio_master.h"
#include "project/module_registry.h"

namespace {
ug_registration<ug_switch> register_switch("Switch (1->Many)");
ug_registration<ug_switch> register_z_filter("Z-Filter obsolete");
ug_registration<ug_switch2> register_switch2("Switch (Many->1)");
ug_registration<ug_sample_hold> register_sample_hold("Sample and Hold");
ug_registration<ug_voltage_to_enum> register_voltage_to_enum("Voltage To List");

// Description flags of the auto-duplicating plugs: the document makes one
// plug per wire, so no audio plug comes from the description itself.
constexpr uint32_t kSpareOutputFlags = 76;
constexpr uint32_t kSpareInputFlags = 588;

InterfaceObject ChoicePlug(int16_t* variable) {
    return {.direction = DR_IN,
            .help = "Chooses which output to route the input signal to.  Connect to a 'List Entry' module.",
            .name = "Choice", .list_values = "{AUTO}", .data_type = DT_ENUM,
            .variable = variable};
}

// The plugs graph construction added after the described ones.
std::vector<UPlug*> AddedAudioPlugs(const ug_base& ug, int first_index, int32_t direction) {
    std::vector<UPlug*> plugs;
    for (const auto& plug : ug.Plugs())
        if (plug->index >= first_index && plug->direction == direction && plug->data_type == DT_AUDIO)
            plugs.push_back(plug.get());
    return plugs;
}

// Choice limited to the plugs there are; -1 when there are none.
int LimitChoice(int16_t choice, std::size_t plug_count) {
    if (plug_count == 0) return -1;
    return std::clamp(static_cast<int>(choice), 0, static_cast<int>(plug_count) - 1);
}
}  // namespace

// ---- Switch (1->Many) ----------------------------------------------------------

void ug_switch::ListInterface(std::vector<InterfaceObject>& list) {
    AddInterface(list, ChoicePlug(&choice_));
    AddInterface(list, {.sample_ptr = &input_, .direction = DR_IN, .name = "Input", .flags = IO_NOT_POLYPHONIC,
                        .data_type = DT_AUDIO});
    AddInterface(list, {.direction = DR_OUT, .name = "Spare Output", .flags = kSpareOutputFlags,
                        .data_type = DT_AUDIO});
}

void ug_switch::Open() {
    outputs_.clear();
    for (UPlug* plug : AddedAudioPlugs(*this, kFirstOutput, DR_OUT)) outputs_.push_back(plug->Block()->Data());
    zero_countdowns_.assign(outputs_.size(), 0);
    chosen_ = -1;
    ug_base::Open();
    Choose(sample_clock);
    Update(sample_clock);
}

void ug_switch::OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) {
    Choose(time);
    Update(time);
}

// The output left behind carries 0 from now on, for one block so that its
// readers see nothing but 0 before they sleep.
void ug_switch::Choose(uint32_t time) {
    const int choice = LimitChoice(choice_, outputs_.size());
    if (choice == chosen_) return;
    if (chosen_ >= 0) {
        zero_countdowns_[static_cast<std::size_t>(chosen_)] = BlockSize();
        GetPlug(kFirstOutput + chosen_)->TransmitStatus(time, ST_STATIC);
    }
    chosen_ = choice;
    if (chosen_ >= 0) zero_countdowns_[static_cast<std::size_t>(chosen_)] = 0;
}

void ug_switch::Update(uint32_t time) {
    if (chosen_ < 0) {
        SetProcess(&ug_base::SleepIfIdle);
        return;
    }
    const bool running = IsRunning(*this, kInput);
    if (running) {
        SetProcess(&ug_switch::RouteRunning);
    } else {
        static_input_ = input_[BlockPosition()];
        SetProcess(&ug_switch::RouteStatic);
        ResetStaticCountdown();
    }
    GetPlug(kFirstOutput + chosen_)->TransmitStatus(time, running ? ST_RUN : ST_STATIC);
}

void ug_switch::ZeroReleasedOutputs(int start, int count) {
    for (std::size_t i = 0; i < outputs_.size(); ++i) {
        int& countdown = zero_countdowns_[i];
        if (countdown <= 0) continue;
        std::fill_n(outputs_[i] + start, std::min(countdown, count), 0.0f);
        countdown -= count;
    }
}

void ug_switch::RouteRunning(int start, int count) {
    ZeroReleasedOutputs(start, count);
    std::copy_n(input_ + start, count, outputs_[static_cast<std::size_t>(chosen_)] + start);
}

void ug_switch::RouteStatic(int start, int count) {
    ZeroReleasedOutputs(start, count);
    std::fill_n(outputs_[static_cast<std::size_t>(chosen_)] + start, count, static_input_);
    CountStaticSamples(count);
}

// ---- Switch (Many->1) ----------------------------------------------------------

void ug_switch2::ListInterface(std::vector<InterfaceObject>& list) {
    AddInterface(list, ChoicePlug(&choice_));
    AddInterface(list, {.sample_ptr = &output_, .direction = DR_OUT, .name = "Output", .data_type = DT_AUDIO});
    AddInterface(list, {.direction = DR_IN, .name = "Spare Input", .flags = kSpareInputFlags,
                        .data_type = DT_AUDIO});
}

void ug_switch2::Open() {
    inputs_.clear();
    for (UPlug* plug : AddedAudioPlugs(*this, kFirstInput, DR_IN)) {
        const USampBlock* block = plug->Block();
        inputs_.push_back(block != nullptr ? block->Data() : audio_master->SilentBlock().Data());
    }
    ug_base::Open();
    Update(sample_clock);
}

void ug_switch2::OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) {
    Update(time);
}

void ug_switch2::Update(uint32_t time) {
    const int choice = LimitChoice(choice_, inputs_.size());
    chosen_ = choice >= 0 ? inputs_[static_cast<std::size_t>(choice)] : audio_master->SilentBlock().Data();
    const bool running = choice >= 0 && IsRunning(*this, kFirstInput + choice);
    if (running) {
        SetProcess(&ug_switch2::Run);
    } else {
        static_value_ = chosen_[BlockPosition()];
        SetProcess(&ug_switch2::Static);
        ResetStaticCountdown();
    }
    GetPlug(kOutput)->TransmitStatus(time, running ? ST_RUN : ST_STATIC);
}

void ug_switch2::Run(int start, int count) { std::copy_n(chosen_ + start, count, output_ + start); }

void ug_switch2::Static(int start, int count) {
    std::fill_n(output_ + start, count, static_value_);
    CountStaticSamples(count);
}

// ---- Sample and Hold -----------------------------------------------------------

void ug_sample_hold::ListInterface(std::vector<InterfaceObject>& list) {
    AddInterface(list, {.sample_ptr = &audio_, .direction = DR_IN, .name = "Audio", .default_value = "8",
                        .flags = IO_NOT_POLYPHONIC, .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = &hold_, .direction = DR_IN, .name = "Hold", .default_value = "8",
                        .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = &output_, .direction = DR_OUT, .name = "Output", .data_type = DT_AUDIO});
}

// The inputs are looked at when their first status arrives; until then the
// output holds 0.
void ug_sample_hold::Open() {
    ug_base::Open();
    waiting_for_rise_ = true;
    held_ = 0.0f;
    SetProcess(&ug_sample_hold::Static);
}

// Only Hold can change the output; a running Audio alone leaves it constant.
void ug_sample_hold::OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) {
    if (IsRunning(*this, kHold)) {
        SetProcess(&ug_sample_hold::Run);
        GetPlug(kOutput)->TransmitStatus(time, ST_RUN);
        return;
    }
    const int position = BlockPosition();
    Sample(audio_[position], hold_[position]);
    SetProcess(&ug_sample_hold::Static);
    ResetStaticCountdown();
    GetPlug(kOutput)->TransmitStatus(time, ST_STATIC);
}

// Waiting for Hold to rise above 0, then for it to fall again.
void ug_sample_hold::Sample(float audio, float hold) {
    if ((hold > 0.0f) != waiting_for_rise_) return;
    if (waiting_for_rise_) held_ = audio;
    waiting_for_rise_ = !waiting_for_rise_;
}

void ug_sample_hold::Run(int start, int count) {
    for (int i = start; i < start + count; ++i) {
        Sample(audio_[i], hold_[i]);
        output_[i] = held_;
    }
}

void ug_sample_hold::Static(int start, int count) {
    std::fill_n(output_ + start, count, held_);
    CountStaticSamples(count);
}

// ---- Voltage To List -----------------------------------------------------------

void ug_voltage_to_enum::ListInterface(std::vector<InterfaceObject>& list) {
    AddInterface(list, {.sample_ptr = &signal_, .direction = DR_IN, .help = "Input signal", .name = "Signal in",
                        .flags = IO_NOT_POLYPHONIC, .data_type = DT_AUDIO});
    AddInterface(list, {.direction = DR_OUT, .name = "List Out", .data_type = DT_ENUM, .variable = &list_out_});
}

void ug_voltage_to_enum::Open() {
    list_ = it_enum_list(list_text_);
    entry_count_ = static_cast<int>(std::min<int64_t>(list_.Count(), std::numeric_limits<int16_t>::max()));
    index_ = -1;
    ug_base::Open();
    // A wired input is read when its first status arrives; an unwired one is 0 V for good.
    SetProcess(&ug_base::SleepIfIdle);
    if (GetPlug(kSignal)->connections.empty()) Scan(0.0f, sample_clock);
}

void ug_voltage_to_enum::OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) {
    if (IsRunning(*this, kSignal)) {
        SetProcess(&ug_voltage_to_enum::Run);
        return;
    }
    Scan(signal_[BlockPosition()], time);
    SetProcess(&ug_base::SleepIfIdle);
}

// Entries are spread evenly from 0 V (the first) to 10 V (the last).
void ug_voltage_to_enum::Scan(float x, uint32_t time) {
    if (entry_count_ < 1) return;
    if (index_ >= 0 && !(x < band_low_ || x > band_high_)) return;
    const int last = entry_count_ - 1;
    const float position = std::floor(static_cast<float>(last) * x + 0.5f);
    const int index = position >= 0.0f ? static_cast<int>(std::min(position, static_cast<float>(last))) : 0;
    const auto entries = static_cast<float>(entry_count_);
    constexpr float kUnbounded = std::numeric_limits<float>::infinity();
    band_low_ = index == 0 ? -kUnbounded : (static_cast<float>(index) - 1.0f / 3.0f) / entries;
    band_high_ = index == last ? kUnbounded : (static_cast<float>(index) + 4.0f / 3.0f) / entries;
    if (index == index_) return;
    index_ = index;
    list_out_ = static_cast<int16_t>(list_.ValueAt(index));
    GetPlug(kListOut)->TransmitStatus(time, ST_STATIC);
}

void ug_voltage_to_enum::Run(int start, int count) {
    for (int i = 0; i < count; ++i) Scan(signal_[start + i], sample_clock + static_cast<uint32_t>(i));
}
