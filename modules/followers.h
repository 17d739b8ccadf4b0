// Level followers: the peak follower, and the converter that reads a voltage
// as a meter would and passes the reading on as a float value.
#pragma once

#include <cstdint>
#include <vector>

#include "modules/level_mixing.h"

// "Peak Follower": the level of the input's magnitude, rising at the Attack
// rate and falling at the Decay rate (time constants in ms = input in volts).
class ug_peak_det : public ug_module<ug_peak_det> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override;

private:
    enum plug_index { kSignal, kAttack, kDecay, kOutput };
    float Coefficient(float time_constant) const;
    void Follow(float magnitude, float attack, float decay) {
        level_ = GuardDenormal(magnitude + (level_ - magnitude) * (magnitude > level_ ? attack : decay));
    }
    void Update(uint32_t time);
    void RunPerSampleRates(int start, int count);
    void RunConstantRates(int start, int count);
    void Static(int start, int count);

    float* signal_ = nullptr;
    float* attack_ = nullptr;
    float* decay_ = nullptr;
    float* output_ = nullptr;
    float attack_coefficient_ = 0.0f;
    float decay_coefficient_ = 0.0f;
    float level_ = 0.0f;
};

// "VoltsToFloat": follows the input like a VU, PPM or peak meter, or as a DC
// or RMS voltage, and passes the reading on a few times a second.
class ug_volts_to_float : public ug_module<ug_volts_to_float> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void PlugCreated(int index, UPlug* plug) override { BindToInterface(*this, index, plug); }
    void Open() override;
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override;

private:
    enum plug_index { kVoltsIn, kResponse, kUpdateRate, kFloatOut };
    // "Response" list values.
    enum response : int16_t {
        VU = 0, PPM = 1, PEAK = 2, HEADROOM = 3, DC_FAST = 4, DC_AVERAGE = 5, RMS = 6
    };
    // What the follower tracks.
    enum class detector { passes, magnitude, signal, root_mean_square };

    void Update(uint32_t time);
    template <detector kind>
    float Detect(float x);
    template <detector kind>
    void Step(float x);
    template <detector kind>
    bool AtRest(float x);
    template <detector kind>
    void Run(int start, int count);
    void Refresh(uint32_t time);
    float Reading() const;

    float* input_ = nullptr;
    int16_t response_ = DC_FAST;
    int16_t update_rate_ = 10;
    float output_ = 0.0f;
    float square_smoothing_ = 0.0f;
    float attack_ = 0.0f;
    float release_ = 0.0f;
    float square_ = 0.0f;
    float level_ = 0.0f;
    float reported_level_ = 0.0f;
    bool reported_ = false;
    int period_ = 1;
    int countdown_ = 1;
};
