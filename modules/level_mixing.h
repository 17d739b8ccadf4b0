// Level, mixing and arithmetic modules: amplifiers, panners, cross faders and
// adders, and the helpers their relatives in arithmetic.h, routing.h,
// cv_sources.h and followers.h share.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/lookup_tables.h"
#include "engine/ug_base.h"

// Keeps a recursive state out of the denormal range, where it would cost
// many times the work of a normal number on the way to zero.
inline float GuardDenormal(float value) { return (value + 1e-18f) - 1e-18f; }

// An input's last delivered status stays ST_RUN until a new one arrives.
inline bool IsRunning(const ug_base& ug, int plug_index) { return ug.GetPlug(plug_index)->status == ST_RUN; }

// For modules whose registry entry describes its plugs in static rows: those
// rows carry no member addresses, so the plug made at `index` is bound to the
// members this module's own interface list names.
void BindToInterface(ug_base& ug, int index, UPlug* plug);

// A rate-independent table of 514 entries shared by every instance: built by
// the first module that opens, from entry(i), i standing for i/512 of 10 V.
ULookup* SharedTable(ug_base& ug, const char* name, double (*entry)(int index));

// "Response Curve" list values of the VCA.
enum vca_curve_kind : int16_t { VCA_DECIBEL_OLD = 0, VCA_EXPONENTIAL = 1, VCA_LINEAR = 2, VCA_DECIBEL = 3 };

struct vca_tables {
    const ULookup* exponential = nullptr;
    const ULookup* decibel = nullptr;
    const ULookup* decibel_old = nullptr;
};
vca_tables VcaTables(ug_base& ug);

// Gain of a volume voltage (10 V = 1.0) along one response curve. The table
// spares the power functions for every sample up to 10 V; static volumes and
// volumes above 10 V use the formula.
class volume_curve {
public:
    volume_curve() = default;
    volume_curve(const vca_tables& tables, int16_t kind);

    float StaticGain(float volume) const;
    float SampleGain(float volume) const;
    bool IsLinear() const { return kind_ == VCA_LINEAR; }

private:
    float Formula(float volume) const;

    int16_t kind_ = VCA_DECIBEL;
    const ULookup* table_ = nullptr;
};

// "Fade Law" list values of the panner and the cross fader.
enum fade_law_kind : int16_t { FADE_EQUAL_INTENSITY = 0, FADE_EQUAL_POWER = 1, FADE_SQUARE_ROOT = 2 };

struct fade_tables {
    const ULookup* sine_power = nullptr;
    const ULookup* square_root = nullptr;
};
fade_tables FadeTables(ug_base& ug);

// Share of a signal on one side of a fade, for a position 0 … 1 towards that side.
class fade_law {
public:
    fade_law() = default;
    fade_law(const fade_tables& tables, int16_t kind);
    float Gain(float share) const { return table_ != nullptr ? table_->Interpolate(share) : share; }

private:
    const ULookup* table_ = nullptr;
};

// "VCA": Signal times the gain of Volume along the chosen response curve.
class ug_vca : public ug_module<ug_vca> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override;

private:
    enum plug_index { kSignal, kVolume, kOutput, kResponseCurve };
    void Update(uint32_t time);
    bool Silenced(int position) const;
    void RunStaticVolume(int start, int count);
    void RunLinear(int start, int count);
    void RunCurve(int start, int count);
    void Static(int start, int count);

    float* signal_ = nullptr;
    float* volume_ = nullptr;
    float* output_ = nullptr;
    int16_t response_curve_ = VCA_EXPONENTIAL;
    vca_tables tables_;
    volume_curve curve_;
    float gain_ = 0.0f;
    float static_output_ = 0.0f;
};

// "Pan": the input shared between two outputs by the fade law, both scaled
// by Volume on the decibel curve.
class ug_pan : public ug_module<ug_pan> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override;

private:
    enum plug_index { kInput, kPan, kLeft, kRight, kVolume, kFadeLaw };
    struct gains {
        float left;
        float right;
    };
    gains GainsAt(float pan, float volume_gain) const;
    void Update(uint32_t time);
    void RunPerSample(int start, int count);
    void RunBlockGains(int start, int count);
    void Static(int start, int count);

    float* input_ = nullptr;
    float* pan_ = nullptr;
    float* left_ = nullptr;
    float* right_ = nullptr;
    float* volume_ = nullptr;
    int16_t fade_law_kind_ = FADE_EQUAL_POWER;
    fade_tables tables_;
    fade_law law_;
    volume_curve volume_curve_;
    gains gains_{};
    float static_input_ = 0.0f;
};

// "X-Mix": Mix fades from Input A (+5 V) to Input B (-5 V) by the fade law.
class ug_cross_fade : public ug_module<ug_cross_fade> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override;

private:
    enum plug_index { kInputA, kInputB, kMix, kOutput, kFadeLaw };
    void Update(uint32_t time);
    void RunPerSample(int start, int count);
    void RunBlockGains(int start, int count);
    void Static(int start, int count);

    float* input_a_ = nullptr;
    float* input_b_ = nullptr;
    float* mix_ = nullptr;
    float* output_ = nullptr;
    int16_t fade_law_kind_ = FADE_EQUAL_POWER;
    fade_tables tables_;
    fade_law law_;
    float gain_a_ = 0.0f;
    float gain_b_ = 0.0f;
    float static_output_ = 0.0f;
};

// "Float Adder": sums every source wired into its multi-input. Static sources
// are summed once per change; running ones are added sample by sample.
class ug_adder : public ug_module<ug_adder> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override;

private:
    class sources : public input_array {
    public:
        struct entry {
            plug_connection* connection;
            bool running;
        };
        void ConnectionAdded(plug_connection* connection) override;
        void ConnectionRemoved(plug_connection* connection) override;
        std::vector<entry> entries;
    };

    void Rebuild();
    void RunSum(int start, int count);
    void StaticSum(int start, int count);
    void ProcessOutput(uint32_t time);

    sources inputs_;
    input_array* inputs_variable_ = &inputs_;
    std::vector<const float*> running_;
    float static_sum_ = 0.0f;
    float* out_ = nullptr;
};

// "Voice Combiner": an adder that stops polyphony. It is not copied per
// voice, so every voice's copy of the signal lands on its one input.
class ug_voice_combiner : public ug_adder {
public:
    ug_voice_combiner() { flags |= UGF_POLYPHONIC_BARRIER; }
    std::unique_ptr<ug_base> CreateInstance() const override { return std::make_unique<ug_voice_combiner>(); }
};
