// Filters: state-variable, one-pole low- and high-pass, all-pass, the four-pole
// ladder and the peaking equaliser. Each takes its cutoff as a pitch, works its
// coefficients out only when an input changes or runs, and leaves the run list
// once its output has settled on a constant input.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "engine/lookup_tables.h"
#include "engine/ug_base.h"

// What every filter has: Signal (plug 0) and Pitch (plug 1) inputs, the Freq
// Scale parameter, and the settled state in which it writes a constant.
class filter_base : public ug_base {
public:
    enum freq_scale : int16_t { FS_VOLTS_PER_OCTAVE = 0, FS_VOLTS_PER_KHZ = 1 };

    void Open() override;
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override;
    bool Settled() const { return settled_; }

protected:
    static constexpr int kSignal = 0;
    static constexpr int kPitch = 1;

    void ListSignal(std::vector<InterfaceObject>& list, const char* default_value);
    void ListPitch(std::vector<InterfaceObject>& list, const char* help);
    void ListFreqScale(std::vector<InterfaceObject>& list);
    // The plug list the ladder and the equaliser share; "Mode" is never read,
    // and a null Boost/Cut binding leaves that plug unread too.
    void ListLadderPlugs(std::vector<InterfaceObject>& list, float** resonance, float** out, float** boost_cut);

    // From the inputs' present values; called on every status change but
    // Signal's.
    virtual void UpdateCoefficients() = 0;
    // Installs the run function that suits which inputs run.
    virtual void ChooseRenderer() = 0;
    // Puts a state that a non-finite input or an overflow spoilt back to 0.
    virtual void ForgetNonFiniteState() = 0;
    // Signal holds x: when the state has come to rest, settles (Settle) and
    // answers true.
    virtual bool SettledOn(float x) = 0;
    // Samples between an input change and the first settle check, and
    // between checks while Signal holds still.
    virtual uint32_t FirstCheckDelay() const { return 0; }
    virtual uint32_t RecheckWhileStill() const { return OneSecond(); }

    bool Runs(int input) const { return GetPlug(input)->status == ST_RUN; }
    float ValueNow(const float* samples) const { return samples[BlockPosition()]; }
    // Whether a cutoff is read from a pitch table: 1 V per octave, from 0 V up.
    bool UsesPitchTable(float pitch) const;
    // Cutoff in Hz by the freq scale; a negative kHz pitch means 0 Hz.
    float CutoffHz(float pitch) const;
    uint32_t OneSecond() const { return static_cast<uint32_t>(sample_rate_); }
    // Writes one constant per audio output, in plug order, for one block, then
    // sleeps until an input changes.
    void Settle(std::initializer_list<float> output_values);

    float* signal_ = nullptr;
    float* pitch_ = nullptr;
    int16_t freq_scale_ = FS_VOLTS_PER_OCTAVE;
    float sample_rate_ = 44100.0f;

private:
    void SettleCheck();
    void QueueSettleCheck(uint32_t time);
    void TransmitToOutputs(uint32_t time, state_type status);
    void FillSettled(int start, int count);

    bool settled_ = true;
    std::array<float, 4> settled_values_{};
};

template <class Module>
class filter_module : public filter_base {
public:
    std::unique_ptr<ug_base> CreateInstance() const override { return std::make_unique<Module>(); }
};

// "SV Filter": state-variable filter with low, high, band-pass and band-reject
// outputs; computes only the outputs that are wired when it can.
class ug_filter_sv : public filter_module<ug_filter_sv> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;

private:
    enum outputs { kLowOnly, kHighOnly, kAllOutputs };
    // Which coefficients follow their inputs sample by sample.
    enum modulation { kFixed, kPitchModulated, kFullyModulated };

    void UpdateCoefficients() override;
    void ChooseRenderer() override;
    void ForgetNonFiniteState() override;
    bool SettledOn(float x) override;
    void StartAtSignal();
    float CutoffCoefficient(float pitch) const;
    float ResonanceLimit(float resonance) const;
    bool Wired(int output) const { return !GetPlug(output)->connections.empty(); }
    template <modulation kModulation, outputs kOutputs>
    void Render(int start, int count);

    float* resonance_ = nullptr;
    float* low_pass_ = nullptr;
    float* high_pass_ = nullptr;
    float* band_pass_ = nullptr;
    float* band_reject_ = nullptr;
    float low_ = 0.0f;
    float band_ = 0.0f;
    float f_ = 0.0f;
    float q_ = 2.0f;
    float limit_ = 0.0f;
    const ULookup* cutoff_table_ = nullptr;
    const ULookup* limit_table_ = nullptr;
    bool low_pass_only_ = false;
    bool high_pass_only_ = false;
};

// "1 Pole LP"; its high-pass sibling differs only in what it outputs.
class ug_filter_1pole : public filter_module<ug_filter_1pole> {
public:
    ug_filter_1pole() = default;
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;

protected:
    explicit ug_filter_1pole(bool low_pass) : low_pass_(low_pass) {}

private:
    void UpdateCoefficients() override;
    void ChooseRenderer() override;
    void ForgetNonFiniteState() override;
    bool SettledOn(float x) override;
    void StartAtSignal();
    float Coefficient(float pitch) const;
    template <bool kPitchRuns, bool kLowPass>
    void Render(int start, int count);

    float* out_ = nullptr;
    float y_ = 0.0f;
    float a_ = 0.0f;
    const ULookup* table_ = nullptr;
    bool low_pass_ = true;
};

// "1 Pole HP": outputs the input minus the one-pole low-pass.
class ug_filter_1pole_hp : public ug_filter_1pole {
public:
    ug_filter_1pole_hp() : ug_filter_1pole(false) {}
    std::unique_ptr<ug_base> CreateInstance() const override { return std::make_unique<ug_filter_1pole_hp>(); }
};

// "All Pass": second-order all-pass; Resonance sets the width of the band
// where the phase turns.
class ug_filter_allpass : public filter_module<ug_filter_allpass> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;

private:
    struct coefficients {
        float a1;
        float a2;
    };

    void UpdateCoefficients() override;
    void ChooseRenderer() override;
    void ForgetNonFiniteState() override;
    bool SettledOn(float x) override;
    coefficients Coefficients(float pitch, float resonance) const;
    static float NextW(float w1, float w2, float x, coefficients c);
    template <bool kPerSample>
    void Render(int start, int count);

    float* resonance_ = nullptr;
    float* out_ = nullptr;
    float w1_ = 0.0f;
    float w2_ = 0.0f;
    coefficients coefficients_{};
    const ULookup* decay_table_ = nullptr;
    const ULookup* cosine_table_ = nullptr;
};

// "Moog Filter" (and the obsolete filters that share it): four-pole ladder
// low-pass with resonance feedback and a soft clip on its output.
class ug_filter_biquad : public filter_module<ug_filter_biquad> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;

private:
    struct coefficients {
        float p;
        float k;
        float r;
    };

    void UpdateCoefficients() override;
    void ChooseRenderer() override;
    void ForgetNonFiniteState() override;
    bool SettledOn(float x) override;
    uint32_t FirstCheckDelay() const override { return 50; }
    uint32_t RecheckWhileStill() const override { return static_cast<uint32_t>(4 * BlockSize()); }
    coefficients Coefficients(float pitch, float resonance) const;
    bool OutputHeldOneValue() const;
    template <bool kPerSample, bool kGuardStages>
    void Render(int start, int count);

    float* resonance_ = nullptr;
    float* out_ = nullptr;
    float x0_ = 0.0f;
    float y1_ = 0.0f;
    float y2_ = 0.0f;
    float y3_ = 0.0f;
    float y4_ = 0.0f;
    coefficients coefficients_{};
    const ULookup* kp_table_ = nullptr;
    const ULookup* scale_table_ = nullptr;
};

// "Parametric EQ": peaking equaliser; Boost/Cut in dB is ten times its volts,
// Resonance sets the bandwidth in octaves.
class ug_filter_eq_parametric : public filter_module<ug_filter_eq_parametric> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;

private:
    struct coefficients {
        float b0;
        float b1;
        float b2;
        float a1;
        float a2;
    };
    // The two previous inputs and outputs.
    struct history {
        float x1 = 0.0f;
        float x2 = 0.0f;
        float y1 = 0.0f;
        float y2 = 0.0f;
    };

    void UpdateCoefficients() override;
    void ChooseRenderer() override;
    void ForgetNonFiniteState() override;
    bool SettledOn(float x) override;
    coefficients Coefficients(float pitch, float resonance, float boost_cut) const;
    static float NextY(const history& h, float x, const coefficients& c);
    template <bool kPerSample>
    void Render(int start, int count);

    float* resonance_ = nullptr;
    float* boost_cut_ = nullptr;
    float* out_ = nullptr;
    history history_;
    coefficients coefficients_{};
};
