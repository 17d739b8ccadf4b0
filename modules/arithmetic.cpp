#include "modules/arithmetic.h"

#include <bit>
#include <cmath>

#include "project/module_registry.h"

namespace {
ug_registration<ug_multiplier> register_ring_modulator("Ring Modulator");
ug_registration<ug_multiplier> register_level_adj("Level Adj");
ug_registration<ug_math_mult> register_multiply("Multiply");
ug_registration<ug_math_div> register_divide("Divide");
ug_registration<ug_math_sub> register_subtract("Subtract");
ug_registration<ug_quantiser> register_quantiser("Quantiser");
ug_registration<ug_comparator> register_comparator("Comparator");
ug_registration<ug_clipper> register_clipper("Clipper");
ug_registration<ug_math_ceil> register_ceil("Ceil");
ug_registration<ug_math_floor> register_floor("Floor");
ug_registration<ug_rectifier> register_rectifier("Rectifier");
ug_registration<ug_inverter> register_inverter("Inverter");
ug_registration<ug_denormal_detect> register_denormal_detect("Denormal Detector");
ug_registration<ug_denormal_stop> register_denormal_stop("Denormal Cleaner");

// Bits 20 … 30: the exponent and the top three bits of the mantissa.
constexpr uint32_t kExponentAndTopMantissa = 0x7ff00000;
constexpr uint32_t kLowMantissa = 0x000fffff;
}  // namespace

// ---- two-input operations ------------------------------------------------------

void ug_multiplier::ListInterface(std::vector<InterfaceObject>& list) {
    ListOperands(list, {.input1 = "Input 1",
                        .input1_default = "8",
                        .input1_help = "The 2 inputs are Multiplied. Then 'normalised' eg 5V multiplied by 2 V = 1V, "
                                       "(5 * 2 ) / 10 ",
                        .input1_flags = IO_NOT_POLYPHONIC,
                        .input2 = "Input 2",
                        .input2_default = "8",
                        .input2_help = "",
                        .input2_flags = IO_NOT_POLYPHONIC,
                        .output = "Output"});
}

void ug_math_mult::ListInterface(std::vector<InterfaceObject>& list) {
    ListOperands(list, {.input1 = "Input 1", .input1_default = "8", .input1_help = "The 2 inputs are Multiplied",
                        .input1_flags = IO_NOT_POLYPHONIC, .input2 = "Input 2", .input2_default = "8",
                        .input2_help = "", .input2_flags = 0, .output = "Output"});
}

void ug_math_div::ListInterface(std::vector<InterfaceObject>& list) {
    ListOperands(list, {.input1 = "Input 1", .input1_default = "8", .input1_help = "Input 1 is Divided by Input 2",
                        .input1_flags = IO_NOT_POLYPHONIC, .input2 = "Input 2", .input2_default = "8",
                        .input2_help = "", .input2_flags = 0, .output = "Output"});
}

void ug_math_sub::ListInterface(std::vector<InterfaceObject>& list) {
    ListOperands(list, {.input1 = "Input 1", .input1_default = "8",
                        .input1_help = "Input 2 is Subtracted from Input 1", .input1_flags = 0, .input2 = "Input 2",
                        .input2_default = "8", .input2_help = "", .input2_flags = 0, .output = "Output"});
}

void ug_quantiser::ListInterface(std::vector<InterfaceObject>& list) {
    ListOperands(list, {.input1 = "Signal In", .input1_default = "0", .input1_help = "", .input1_flags = 0,
                        .input2 = "Step Size", .input2_default = "1",
                        .input2_help = "Quantisation step size in Volts", .input2_flags = 0,
                        .output = "Signal Out"});
}

float ug_quantiser::Apply(float x, float step) const {
    const float s = std::max(step, 1e-9f);
    return s * std::floor((x + s * 0.5f) / s);
}

// ---- Comparator ----------------------------------------------------------------

void ug_comparator::ListInterface(std::vector<InterfaceObject>& list) {
    ListOperands(list, {.input1 = "Input A",
                        .input1_default = "8",
                        .input1_help = "The 2 inputs are compared.  The output goes either high or low depending",
                        .input1_flags = 0,
                        .input2 = "Input B",
                        .input2_default = "8",
                        .input2_help = "",
                        .input2_flags = 0,
                        .output = "Output"});
    AddInterface(list, {.direction = DR_PARAMETER, .name = "Hi Out Val", .default_value = "5",
                        .data_type = DT_DOUBLE, .variable = &high_volts_});
    AddInterface(list, {.direction = DR_PARAMETER, .name = "Lo Out Val", .default_value = "-5",
                        .data_type = DT_DOUBLE, .variable = &low_volts_});
}

void ug_comparator::Open() {
    ScaleLevels();
    ug_math_base::Open();
}

void ug_comparator::OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) {
    ScaleLevels();
    ug_math_base::OnPlugStateChange(time, connection, status);
}

void ug_comparator::ScaleLevels() {
    high_ = static_cast<float>(high_volts_ * 0.1);
    low_ = static_cast<float>(low_volts_ * 0.1);
}

// ---- Clipper -------------------------------------------------------------------

void ug_clipper::ListInterface(std::vector<InterfaceObject>& list) {
    AddInterface(list, {.sample_ptr = &signal_, .direction = DR_IN, .name = "Signal In", .default_value = "0",
                        .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = &high_, .direction = DR_IN, .help = "Clips any input signal above this voltage",
                        .name = "Hi Limit", .default_value = "5", .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = &low_, .direction = DR_IN, .help = "Clips any input signal below this voltage",
                        .name = "Lo Limit", .default_value = "-2", .list_values = "-100, 0, 0, -10",
                        .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = &output_, .direction = DR_OUT, .name = "Signal Out", .data_type = DT_AUDIO});
}

void ug_clipper::Open() {
    ug_base::Open();
    Update(sample_clock);
}

void ug_clipper::OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) { Update(time); }

void ug_clipper::Update(uint32_t time) {
    const int position = BlockPosition();
    high_limit_ = high_[position];
    low_limit_ = low_[position];
    if (IsRunning(*this, kHigh) || IsRunning(*this, kLow)) {
        SetProcess(&ug_clipper::RunPerSample);
    } else if (IsRunning(*this, kSignal)) {
        SetProcess(&ug_clipper::RunConstantLimits);
    } else {
        static_output_ = Clip(signal_[position], high_limit_, low_limit_);
        SetProcess(&ug_clipper::Static);
        ResetStaticCountdown();
        GetPlug(kOutput)->TransmitStatus(time, ST_STATIC);
        return;
    }
    GetPlug(kOutput)->TransmitStatus(time, ST_RUN);
}

void ug_clipper::RunConstantLimits(int start, int count) {
    const float high = high_limit_;
    const float low = low_limit_;
    for (int i = start; i < start + count; ++i) output_[i] = Clip(signal_[i], high, low);
}

void ug_clipper::RunPerSample(int start, int count) {
    for (int i = start; i < start + count; ++i) output_[i] = Clip(signal_[i], high_[i], low_[i]);
}

void ug_clipper::Static(int start, int count) {
    std::fill_n(output_ + start, count, static_output_);
    CountStaticSamples(count);
}

// ---- one-input transforms ------------------------------------------------------

// 6e-7 V of slack keeps whole volts that float arithmetic lands a hair off
// (10 × 0.3f is not exactly 3) on their own step.
float ug_math_ceil::Transform(float x) { return 0.1f * std::ceil(10.0f * x - 6e-7f); }

float ug_math_floor::Transform(float x) { return 0.1f * std::trunc(10.0f * x + 6e-7f); }

float ug_denormal_detect::Transform(float x) {
    const auto bits = std::bit_cast<uint32_t>(x);
    return (bits & kExponentAndTopMantissa) == 0 && (bits & kLowMantissa) != 0 ? 5.0f : 0.0f;
}

float ug_denormal_stop::Transform(float x) {
    return (std::bit_cast<uint32_t>(x) & kExponentAndTopMantissa) == 0 ? 0.0f : x;
}
