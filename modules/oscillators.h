// Sound sources driven by pitch: oscillators and the test tone.
#pragma once

#include "engine/ug_base.h"

// "1 KHz Tone": a fixed 1 kHz sine at 5 V peak, always running.
class ug_test_tone : public ug_module<ug_test_tone> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;

private:
    void Run(int start, int count);

    float* out_ = nullptr;
    float angle_ = 0.0f;
    float angle_step_ = 0.0f;
};
