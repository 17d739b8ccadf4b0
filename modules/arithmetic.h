// Arithmetic on voltages: two-input operations, the clipper, the comparator
// and one-input transforms. Each renders by which inputs run, so a constant
// operand is read once per change instead of once per sample.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "modules/level_mixing.h"

// Texts of the three plugs every two-input operation starts with.
struct math_plug_texts {
    const char* input1;
    const char* input1_default;
    const char* input1_help;
    uint32_t input1_flags;
    const char* input2;
    const char* input2_default;
    const char* input2_help;
    uint32_t input2_flags;
    const char* output;
};

// Plugs 0 and 1 are the operands, plug 2 the result; any later plug is a
// setting whose change only calls for the result to be worked out again.
// Module gives `float Apply(float a, float b) const`, and sets kZeroShortCut
// when a constant 0 on either operand makes the result a constant 0.
template <class Module>
class ug_math_base : public ug_module<Module> {
public:
    static constexpr bool kZeroShortCut = false;

    void Open() override {
        ug_base::Open();
        Update(this->sample_clock);
    }
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override { Update(time); }

protected:
    enum plug_index { kInput1, kInput2, kOutput };

    void ListOperands(std::vector<InterfaceObject>& list, const math_plug_texts& texts) {
        AddInterface(list, {.sample_ptr = &input1_, .direction = DR_IN, .help = texts.input1_help,
                            .name = texts.input1, .default_value = texts.input1_default,
                            .flags = texts.input1_flags, .data_type = DT_AUDIO});
        AddInterface(list, {.sample_ptr = &input2_, .direction = DR_IN, .help = texts.input2_help,
                            .name = texts.input2, .default_value = texts.input2_default,
                            .flags = texts.input2_flags, .data_type = DT_AUDIO});
        AddInterface(list, {.sample_ptr = &output_, .direction = DR_OUT, .name = texts.output, .data_type = DT_AUDIO});
    }

private:
    const Module& Self() const { return static_cast<const Module&>(*this); }

    void Update(uint32_t time) {
        const int position = this->BlockPosition();
        const bool running1 = IsRunning(*this, kInput1);
        const bool running2 = IsRunning(*this, kInput2);
        const float a = input1_[position];
        const float b = input2_[position];
        const bool zero = Module::kZeroShortCut && ((!running1 && a == 0.0f) || (!running2 && b == 0.0f));
        if (zero || (!running1 && !running2)) {
            constant_ = zero ? 0.0f : Self().Apply(a, b);
            this->SetProcess(&ug_math_base::Static);
            this->ResetStaticCountdown();
            this->GetPlug(kOutput)->TransmitStatus(time, ST_STATIC);
            return;
        }
        if (running1 && running2) {
            this->SetProcess(&ug_math_base::RunBoth);
        } else if (running1) {
            constant_ = b;
            this->SetProcess(&ug_math_base::RunInput2Constant);
        } else {
            constant_ = a;
            this->SetProcess(&ug_math_base::RunInput1Constant);
        }
        this->GetPlug(kOutput)->TransmitStatus(time, ST_RUN);
    }

    void RunBoth(int start, int count) {
        for (int i = start; i < start + count; ++i) output_[i] = Self().Apply(input1_[i], input2_[i]);
    }
    void RunInput2Constant(int start, int count) {
        const float b = constant_;
        for (int i = start; i < start + count; ++i) output_[i] = Self().Apply(input1_[i], b);
    }
    void RunInput1Constant(int start, int count) {
        const float a = constant_;
        for (int i = start; i < start + count; ++i) output_[i] = Self().Apply(a, input2_[i]);
    }
    void Static(int start, int count) {
        std::fill_n(output_ + start, count, constant_);
        this->CountStaticSamples(count);
    }

    float* input1_ = nullptr;
    float* input2_ = nullptr;
    float* output_ = nullptr;
    float constant_ = 0.0f;  // the constant operand, or the constant result
};

// "Ring Modulator" and "Level Adj": the product, normalised so that 5 V
// times 2 V gives 1 V.
class ug_multiplier : public ug_math_base<ug_multiplier> {
public:
    static constexpr bool kZeroShortCut = true;
    void ListInterface(std::vector<InterfaceObject>& list) override;
    float Apply(float a, float b) const { return a * b; }
};

// "Multiply": volts times volts, 5 V times 2 V gives 10 V.
class ug_math_mult : public ug_math_base<ug_math_mult> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override;
    float Apply(float a, float b) const { return a * b * 10.0f; }
};

// "Divide": volts by volts, 5 V by 2 V gives 2.5 V.
class ug_math_div : public ug_math_base<ug_math_div> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override;
    float Apply(float a, float b) const { return a / b * 0.1f; }
};

class ug_math_sub : public ug_math_base<ug_math_sub> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override;
    float Apply(float a, float b) const { return a - b; }
};

// "Quantiser": the nearest multiple of Step Size; a step of 0 counts as 1e-9.
class ug_quantiser : public ug_math_base<ug_quantiser> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override;
    float Apply(float x, float step) const;
};

// "Comparator": Hi Out Val where A exceeds B, else Lo Out Val.
class ug_comparator : public ug_math_base<ug_comparator> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override;
    float Apply(float a, float b) const { return a > b ? high_ : low_; }
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override;
    void Open() override;

private:
    void ScaleLevels();

    double high_volts_ = 5.0;
    double low_volts_ = -5.0;
    float high_ = 0.5f;
    float low_ = -0.5f;
};

// "Clipper": the signal held between Lo Limit and Hi Limit.
class ug_clipper : public ug_module<ug_clipper> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override;

private:
    enum plug_index { kSignal, kHigh, kLow, kOutput };
    static float Clip(float x, float high, float low) { return x > high ? high : (x < low ? low : x); }
    void Update(uint32_t time);
    void RunConstantLimits(int start, int count);
    void RunPerSample(int start, int count);
    void Static(int start, int count);

    float* signal_ = nullptr;
    float* high_ = nullptr;
    float* low_ = nullptr;
    float* output_ = nullptr;
    float high_limit_ = 0.0f;
    float low_limit_ = 0.0f;
    float static_output_ = 0.0f;
};

// One input, one output, one transform per sample (Module gives
// `static float Transform(float)`).
template <class Module>
class ug_generic_1_1 : public ug_module<Module> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override {
        AddInterface(list, {.sample_ptr = &input_, .direction = DR_IN, .name = "Signal in", .default_value = "0",
                            .data_type = DT_AUDIO});
        AddInterface(list, {.sample_ptr = &output_, .direction = DR_OUT, .name = "Signal Out", .data_type = DT_AUDIO});
    }
    void Open() override {
        ug_base::Open();
        Update(this->sample_clock);
    }
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override { Update(time); }

private:
    void Update(uint32_t time) {
        if (IsRunning(*this, 0)) {
            this->SetProcess(&ug_generic_1_1::Run);
            this->GetPlug(1)->TransmitStatus(time, ST_RUN);
            return;
        }
        static_output_ = Module::Transform(input_[this->BlockPosition()]);
        this->SetProcess(&ug_generic_1_1::Static);
        this->ResetStaticCountdown();
        this->GetPlug(1)->TransmitStatus(time, ST_STATIC);
    }
    void Run(int start, int count) {
        for (int i = start; i < start + count; ++i) output_[i] = Module::Transform(input_[i]);
    }
    void Static(int start, int count) {
        std::fill_n(output_ + start, count, static_output_);
        this->CountStaticSamples(count);
    }

    float* input_ = nullptr;
    float* output_ = nullptr;
    float static_output_ = 0.0f;
};

// "Ceil": the next whole volt upward; a hair below a whole volt still counts as it.
class ug_math_ceil : public ug_generic_1_1<ug_math_ceil> {
public:
    static float Transform(float x);
};

// "Floor": whole volts, rounded toward zero.
class ug_math_floor : public ug_generic_1_1<ug_math_floor> {
public:
    static float Transform(float x);
};

class ug_rectifier : public ug_generic_1_1<ug_rectifier> {
public:
    static float Transform(float x) { return std::abs(x); }
};

class ug_inverter : public ug_generic_1_1<ug_inverter> {
public:
    static float Transform(float x) { return -x; }
};

// "Denormal Detector": 5.0 for a denormal sample of the kind that slows the
// processor (exponent and the top mantissa bits clear, not zero), else 0.
class ug_denormal_detect : public ug_generic_1_1<ug_denormal_detect> {
public:
    static float Transform(float x);
};

// "Denormal Cleaner": such samples become 0, others pass bit for bit.
class ug_denormal_stop : public ug_generic_1_1<ug_denormal_stop> {
public:
    static float Transform(float x);
};
