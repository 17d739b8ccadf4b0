#include "modules/oscillators.h"

#include <cmath>

#include "project/module_registry.h"

namespace {
ug_registration<ug_test_tone> register_test_tone("1 KHz Tone");
}

void ug_test_tone::ListInterface(std::vector<InterfaceObject>& list) {
    AddInterface(list, {.sample_ptr = &out_, .direction = DR_OUT, .help = "Output Signal", .name = "Signal Out",
                        .default_value = "0", .data_type = DT_AUDIO});
}

void ug_test_tone::Open() {
    ug_base::Open();
    angle_ = 0.0f;
    angle_step_ = 6283.1855f / SampleRate();
    SetProcess(&ug_test_tone::Run);
    GetPlug(0)->TransmitStatus(sample_clock, ST_RUN);
}

void ug_test_tone::Run(int start, int count) {
    float* out = out_ + start;
    for (int i = 0; i < count; ++i) {
        angle_ += angle_step_;
        out[i] = 0.5f * std::sin(angle_);
        if (angle_ > 6.283185307179586) angle_ -= 6.2831855f;
    }
}
