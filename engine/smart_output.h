// An output that changes its value at an exact sample, as a step or along a
// short ramp, and then writes the new constant for one block so that its
// module can sleep. Control-rate modules (note sources, sliders, converters)
// keep one per driven audio output.
#pragma once

#include <cstdint>

class UPlug;
class USampBlock;

class smart_output {
public:
    enum curve : int { step = 0, linear = 1, smooth = 2 };

    explicit smart_output(curve kind = step, int default_length = 1)
        : default_length_(default_length), kind_(kind) {}

    // Binds the record to an audio output once its block exists (after SetupPlugs).
    void Attach(UPlug* plug);
    // Starts moving towards `target` from the owner's present sample; `time`
    // dates the status the plug announces. A step (or length below 1) takes one sample.
    void Set(uint32_t time, float target, int length);
    void Set(uint32_t time, float target) { Set(time, target, default_length_); }
    // Writes the ramp, then the constant for one block, over block positions
    // start … start + count − 1; false when it had nothing left to write, so
    // the owner may sleep.
    bool Process(int start, int count);
    // The owner was resumed: its buffer may be stale, so the constant is written for a block again.
    void Resume();

    float Value() const { return current_; }
    float Target() const { return target_; }
    bool Idle() const { return idle_; }

private:
    void StartRamp(float distance, int length);
    // Called after the last ramp sample: the value settles on the target exactly.
    void Finish(float* last_sample, uint32_t time);
    uint32_t TimeAt(int position) const;

    float current_ = 0.0f;
    UPlug* plug_ = nullptr;
    USampBlock* block_ = nullptr;
    int default_length_;
    curve kind_;
    int fill_countdown_ = 0;
    bool idle_ = true;
    float next_ = 0.0f;
    float difference1_ = 0.0f;
    float difference2_ = 0.0f;
    float difference3_ = 0.0f;
    int samples_left_ = 0;
    float target_ = 0.0f;
};
