// Arithmetic modules measured in a small engine, with constant and running operands.
#include <gtest/gtest.h>

#include <bit>
#include <functional>
#include <string>
#include <vector>

#include "modules/arithmetic.h"
#include "support/constant_inputs.h"

namespace {

// The output in volts of a two-input module after one block, with each
// operand constant or running as asked.
template <class Module>
float TwoInputVolts(float volts1, float volts2, bool running1, bool running2) {
    engine_fixture engine;
    auto* module = engine.Add<Module>(100);
    Drive(engine, module, 0, volts1, running1);
    Drive(engine, module, 1, volts2, running2);
    engine.Start();
    return Capture(engine, module->GetPlug(2), 64).back() * 10.0f;
}

struct two_input_case {
    const char* name;
    std::function<float(float, float, bool, bool)> run;
    float volts1;
    float volts2;
    float expected_volts;
};

}  // namespace

TEST(TwoInputArithmetic, ResultsInVoltsWhicheverOperandsRun) {
    const two_input_case cases[] = {
        {"Ring Modulator", TwoInputVolts<ug_multiplier>, 5.0f, 2.0f, 1.0f},
        {"Multiply", TwoInputVolts<ug_math_mult>, 5.0f, 2.0f, 10.0f},
        {"Divide", TwoInputVolts<ug_math_div>, 5.0f, 2.0f, 2.5f},
        {"Subtract", TwoInputVolts<ug_math_sub>, 5.0f, 2.0f, 3.0f},
        {"Quantiser up", TwoInputVolts<ug_quantiser>, 2.6f, 1.0f, 3.0f},
        {"Quantiser down", TwoInputVolts<ug_quantiser>, 2.4f, 1.0f, 2.0f},
        {"Quantiser half step", TwoInputVolts<ug_quantiser>, 1.3f, 0.5f, 1.5f},
        {"Quantiser step 0", TwoInputVolts<ug_quantiser>, 2.6f, 0.0f, 2.6f},
        {"Comparator high", TwoInputVolts<ug_comparator>, 5.0f, 2.0f, 5.0f},
        {"Comparator low", TwoInputVolts<ug_comparator>, 2.0f, 5.0f, -5.0f},
        {"Comparator equal", TwoInputVolts<ug_comparator>, 2.0f, 2.0f, -5.0f},
    };
    for (const two_input_case& c : cases) {
        for (int running = 0; running < 4; ++running) {
            const bool running1 = (running & 1) != 0;
            const bool running2 = (running & 2) != 0;
            SCOPED_TRACE(std::string(c.name) + (running1 ? ", input 1 running" : "") +
                         (running2 ? ", input 2 running" : ""));
            EXPECT_NEAR(c.run(c.volts1, c.volts2, running1, running2), c.expected_volts, 1e-5f);
        }
    }
}

TEST(RingModulator, ConstantZeroOperandSilencesARunningOneAndSleeps) {
    engine_fixture engine;
    auto* ring = engine.Add<ug_multiplier>(100);
    auto* sine = engine.Add<ug_sine_source>(200);
    Connect(sine->GetPlug(0), ring->GetPlug(0));
    SetConstant(ring, 1, "0");
    auto* probe = engine.Add<ug_probe>(0);
    Connect(ring->GetPlug(2), probe->GetPlug(0));
    engine.Start();
    EXPECT_EQ(Capture(engine, ring->GetPlug(2), 192), std::vector<float>(192, 0.0f));
    EXPECT_FALSE(engine.OnRunList(ring));
    EXPECT_EQ(probe->input_status[0], ST_STATIC);
}

TEST(Comparator, OutputLevelsComeFromTheParameters) {
    engine_fixture engine;
    auto* comparator = engine.Add<ug_comparator>(100);
    SetConstants(comparator, {{0, "1"}, {1, "0"}, {3, "7.5"}, {4, "-1"}});
    engine.Start();
    EXPECT_FLOAT_EQ(Capture(engine, comparator->GetPlug(2), 64).back(), 0.75f);
    SetConstant(comparator, 1, "3");
    EXPECT_FLOAT_EQ(Capture(engine, comparator->GetPlug(2), 128).back(), -0.1f);
}

TEST(Clipper, HoldsTheSignalBetweenTheLimits) {
    engine_fixture engine;
    auto* clipper = engine.Add<ug_clipper>(100);
    auto* signal = engine.Add<ug_samples_source>(200);
    signal->samples = {0.7f, -0.3f, 0.1f, 0.5f, -0.2f};
    Connect(signal->GetPlug(0), clipper->GetPlug(0));
    SetConstant(clipper, 1, "5");
    SetConstant(clipper, 2, "-2");
    engine.Start();
    const std::vector<float> out = Capture(engine, clipper->GetPlug(3), 64);
    const std::vector<float> expected = {0.5f, -0.2f, 0.1f, 0.5f, -0.2f};
    EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 5), expected);
}

TEST(Clipper, RunningLimitsClipPerSample) {
    engine_fixture engine;
    auto* clipper = engine.Add<ug_clipper>(100);
    SetConstant(clipper, 0, "8");
    auto* high = engine.Add<ug_samples_source>(200);
    high->samples = {0.9f, 0.6f, 0.3f};
    Connect(high->GetPlug(0), clipper->GetPlug(1));
    engine.Start();
    const std::vector<float> out = Capture(engine, clipper->GetPlug(3), 64);
    EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 4), (std::vector<float>{0.8f, 0.6f, 0.3f, 0.3f}));
}

// ---- one-input transforms --------------------------------------------------------

namespace {

template <class Module>
std::vector<float> Transformed(const std::vector<float>& samples) {
    engine_fixture engine;
    auto* module = engine.Add<Module>(100);
    auto* source = engine.Add<ug_samples_source>(200);
    source->samples = samples;
    Connect(source->GetPlug(0), module->GetPlug(0));
    engine.Start();
    const std::vector<float> out = Capture(engine, module->GetPlug(1), 64);
    return {out.begin(), out.begin() + static_cast<std::ptrdiff_t>(samples.size())};
}

}  // namespace

TEST(OneInputTransforms, FloorRoundsTowardZeroCeilUpward) {
    EXPECT_EQ(Transformed<ug_math_floor>({-0.25f, 0.27f, 0.3f, 0.0f}), (std::vector<float>{-0.2f, 0.2f, 0.3f, 0.0f}));
    EXPECT_EQ(Transformed<ug_math_ceil>({0.21f, 0.3f, -0.25f, 0.0f}), (std::vector<float>{0.3f, 0.3f, -0.2f, 0.0f}));
}

TEST(OneInputTransforms, RectifierAndInverter) {
    EXPECT_EQ(Transformed<ug_rectifier>({-0.3f, 0.2f}), (std::vector<float>{0.3f, 0.2f}));
    EXPECT_EQ(Transformed<ug_inverter>({-0.3f, 0.2f}), (std::vector<float>{0.3f, -0.2f}));
}

TEST(OneInputTransforms, DenormalDetectorAndCleaner) {
    const float small_denormal = std::bit_cast<float>(0x000116c2u);  // bits 20 … 30 clear
    const float large_denormal = std::bit_cast<float>(0x00700000u);  // top mantissa bits set
    const std::vector<float> in = {small_denormal, -small_denormal, large_denormal, 0.0f, 1e-30f, 0.4f};
    EXPECT_EQ(Transformed<ug_denormal_detect>(in), (std::vector<float>{5.0f, 5.0f, 0.0f, 0.0f, 0.0f, 0.0f}));
    EXPECT_EQ(Transformed<ug_denormal_stop>(in),
              (std::vector<float>{0.0f, 0.0f, large_denormal, 0.0f, 1e-30f, 0.4f}));
}

TEST(OneInputTransforms, ConstantInputWritesOneBlockAndSleeps) {
    engine_fixture engine;
    auto* floor = engine.Add<ug_math_floor>(100);
    SetConstant(floor, 0, "-2.5");
    engine.Start();
    const std::vector<float> out = Capture(engine, floor->GetPlug(1), 128);
    EXPECT_EQ(out, std::vector<float>(128, -0.2f));
    EXPECT_TRUE(floor->sleeping);
}
