#include "modules/cv_sources.h"

#include <algorithm>
#include <atomic>
#include <ctime>

#include "engine/audio_master.h"
#include "project/module_registry.h"

namespace {
ug_registration<ug_random> register_random("random");
ug_registration<ug_monostable> register_monostable("Monostable");
ug_registration<ug_float_to_volts> register_float_to_volts("FloatToVolts");
ug_registration<ug_fixed_values> register_fixed_values("Fixed Values");

// The run-time library's generator as patches know it: one sequence for the
// whole process, 15-bit results, reseeded whenever a "random" module opens.
class runtime_random {
public:
    static void Seed(uint32_t seed) { state_.store(seed, std::memory_order_relaxed); }
    static int Next() {
        uint32_t state = state_.load(std::memory_order_relaxed);
        uint32_t next;
        do {
            next = state * 214013u + 2531011u;
        } while (!state_.compare_exchange_weak(state, next, std::memory_order_relaxed));
        return static_cast<int>((next >> 16) & 0x7fff);
    }

private:
    static inline std::atomic<uint32_t> state_{1};
};

uint32_t TimeAtPosition(const ug_base& ug, int position) {
    return ug.audio_master->BlockStart() + static_cast<uint32_t>(position);
}
}  // namespace

// ---- random --------------------------------------------------------------------

void ug_random::ListInterface(std::vector<InterfaceObject>& list) {
    AddInterface(list, {.direction = DR_IN, .name = "Trigger in", .default_value = "1", .data_type = DT_BOOL,
                        .variable = &trigger_});
    AddInterface(list, {.direction = DR_OUT, .name = "Output", .data_type = DT_AUDIO});
}

void ug_random::Open() {
    OpenWithOutput(1);
    runtime_random::Seed(static_cast<uint32_t>(std::time(nullptr)));
}

// 32767 × 0.00003051851 is 1.0: the values span 0 … 10 V.
void ug_random::OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) {
    if (trigger_ != 0) output_.Set(time, static_cast<float>(runtime_random::Next()) * 0.00003051851f, 1);
}

// ---- Monostable ----------------------------------------------------------------

void ug_monostable::ListInterface(std::vector<InterfaceObject>& list) {
    AddInterface(list, {.sample_ptr = &signal_, .direction = DR_IN, .name = "Signal in", .default_value = "0",
                        .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = &pulse_length_, .direction = DR_IN, .name = "Pulse Length",
                        .default_value = "0.1", .data_type = DT_AUDIO});
    AddInterface(list, {.direction = DR_OUT, .name = "Signal Out", .data_type = DT_AUDIO});
}

void ug_monostable::Open() {
    OpenWithOutput(kOutput);
    input_high_ = in_pulse_ = false;
    SetProcess(&ug_monostable::Run);
}

// A running input is watched sample by sample in Run; a constant one once, here.
void ug_monostable::OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) {
    if (IsRunning(*this, kSignal)) return;
    const int position = BlockPosition();
    EndPulseIfDue(time);
    if (Rises(signal_[position]) && !in_pulse_) StartPulse(time, pulse_length_[position]);
}

// Schmitt trigger: high from 3.33 V up, low again from 1.67 V down.
bool ug_monostable::Rises(float x) {
    if (!input_high_ && x >= 0.33333334f) return input_high_ = true;
    if (input_high_ && x <= 0.16666667f) input_high_ = false;
    return false;
}

void ug_monostable::StartPulse(uint32_t time, float pulse_length) {
    constexpr float kLongest = 1 << 30;  // samples; keeps the end time within the clock's range
    const float samples = pulse_length * SampleRate();
    const int length = samples >= 1.0f ? static_cast<int>(std::min(samples, kLongest)) : 1;
    in_pulse_ = true;
    pulse_end_ = time + static_cast<uint32_t>(length);
    output_.Set(time, 0.5f);
}

void ug_monostable::EndPulseIfDue(uint32_t time) {
    if (!in_pulse_ || TimeBefore(time, pulse_end_)) return;
    in_pulse_ = false;
    output_.Set(time, 0.0f);
}

// The output is written in stretches between the samples where a pulse
// starts or ends. A pulse that ends on the sample of a rise makes way for a
// new one.
void ug_monostable::Run(int start, int count) {
    const bool scanning = IsRunning(*this, kSignal);
    int position = start;
    bool wrote = false;
    for (int i = start; (scanning || in_pulse_) && i < start + count; ++i) {
        const uint32_t time = TimeAtPosition(*this, i);
        const bool ends = in_pulse_ && !TimeBefore(time, pulse_end_);
        const bool rises = scanning && Rises(signal_[i]);
        if (!ends && !(rises && !in_pulse_)) continue;
        wrote |= output_.Process(position, i - position);
        position = i;
        EndPulseIfDue(time);
        if (rises && !in_pulse_) StartPulse(time, pulse_length_[i]);
    }
    wrote |= output_.Process(position, start + count - position);
    if (!wrote && !scanning && !in_pulse_) SleepIfIdle(start, count);
}

// ---- FloatToVolts --------------------------------------------------------------

void ug_float_to_volts::ListInterface(std::vector<InterfaceObject>& list) {
    AddInterface(list, {.direction = DR_IN, .name = "Smoothing", .default_value = "2",
                        .list_values = "None,Fast (4 samp),Smooth (30ms)", .data_type = DT_ENUM,
                        .variable = &smoothing_});
    AddInterface(list, {.direction = DR_IN, .name = "Float In", .data_type = DT_FLOAT, .variable = &value_});
    AddInterface(list, {.direction = DR_OUT, .name = "Volts Out", .data_type = DT_AUDIO});
}

void ug_float_to_volts::Open() {
    OpenWithOutput(kVoltsOut);
    first_value_ = true;
}

void ug_float_to_volts::OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) {
    if (connection->to->index != kFloatIn) return;
    output_.Set(time, value_ * 0.1f, RampLength());
    first_value_ = false;
}

// The value the module opens with is there at once; later ones glide.
int ug_float_to_volts::RampLength() const {
    if (first_value_) return 0;
    switch (smoothing_) {
        case 1: return 4;
        case 2: return static_cast<int>(SampleRate()) / 32;
        default: return 0;
    }
}

// ---- Fixed Values --------------------------------------------------------------

void ug_fixed_values::ListInterface(std::vector<InterfaceObject>& list) {
    AddInterface(list, {.direction = DR_OUT, .name = "Spare Value", .flags = 108, .data_type = DT_AUDIO});
}

void ug_fixed_values::Open() {
    ug_base::Open();
    SetProcess(&ug_base::SleepIfIdle);
}
