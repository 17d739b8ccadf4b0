// Random steps, the monostable, float-to-volts and fixed values measured in a small engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "modules/cv_sources.h"
#include "project/module_registry.h"
#include "support/constant_inputs.h"

// ---- random ----------------------------------------------------------------------

TEST(Random, EachTriggerStepsToANewValueBetweenZeroAndTenVolts) {
    engine_fixture engine;
    auto* random = engine.Add<ug_random>(100);
    SetConstant(random, 0, "1");
    engine.Start();
    std::vector<float> values;
    for (int trigger = 0; trigger < 20; ++trigger) {
        const std::vector<float> out = Capture(engine, random->GetPlug(1), 192);
        EXPECT_EQ(out.back(), out.front());  // one value per trigger
        values.push_back(out.back());
        EXPECT_TRUE(random->sleeping);
        SetConstant(random, 0, "1");
    }
    for (float value : values) {
        EXPECT_GE(value, 0.0f);
        EXPECT_LE(value, 1.0f);
        // Fifteen-bit steps: a whole multiple of 1/32767.
        const float steps = value / 0.00003051851f;
        EXPECT_NEAR(steps, std::round(steps), 0.01f);
    }
    std::sort(values.begin(), values.end());
    EXPECT_GT(std::unique(values.begin(), values.end()) - values.begin(), 15);
}

TEST(Random, TriggerOffKeepsTheValue) {
    engine_fixture engine;
    auto* random = engine.Add<ug_random>(100);
    SetConstant(random, 0, "1");
    engine.Start();
    const float first = Capture(engine, random->GetPlug(1), 64).back();
    SetConstant(random, 0, "0");
    EXPECT_EQ(Capture(engine, random->GetPlug(1), 128).back(), first);
}

// ---- Monostable ------------------------------------------------------------------

namespace {

// Input rising at sample 10, dropping at 100, rising again at 200 (inside the
// pulse) and at 3000 (after it) and staying up.
std::vector<float> Triggers() {
    std::vector<float> samples(5120, 0.0f);
    for (int i = 10; i < 100; ++i) samples[static_cast<std::size_t>(i)] = 0.5f;
    for (int i = 200; i < 400; ++i) samples[static_cast<std::size_t>(i)] = 0.5f;
    for (int i = 3000; i < 5120; ++i) samples[static_cast<std::size_t>(i)] = 0.5f;
    return samples;
}

// Start and end samples of the stretches where `signal` is at 5 V.
std::vector<std::pair<int, int>> Pulses(const std::vector<float>& signal) {
    std::vector<std::pair<int, int>> pulses;
    for (int i = 0; i < static_cast<int>(signal.size()); ++i) {
        const bool high = signal[static_cast<std::size_t>(i)] == 0.5f;
        const bool was_high = i > 0 && signal[static_cast<std::size_t>(i - 1)] == 0.5f;
        if (high && !was_high) pulses.emplace_back(i, static_cast<int>(signal.size()));
        if (!high && was_high) pulses.back().second = i;
    }
    return pulses;
}

}  // namespace

TEST(Monostable, PulsesForPulseLengthSecondsAndIgnoresRisesDuringThem) {
    for (float rate : {44100.0f, 96000.0f}) {
        SCOPED_TRACE(rate);
        engine_fixture engine(64, rate);
        auto* mono = engine.Add<ug_monostable>(100);
        auto* input = engine.Add<ug_samples_source>(200);
        input->samples = Triggers();
        Connect(input->GetPlug(0), mono->GetPlug(0));
        SetConstant(mono, 1, "0.2");  // 0.02 s
        engine.Start();
        const auto length = static_cast<int>(0.02f * rate);
        const std::vector<float> out = Capture(engine, mono->GetPlug(2), 5120);
        const std::vector<std::pair<int, int>> expected = {{10, 10 + length}, {3000, 3000 + length}};
        EXPECT_EQ(Pulses(out), expected);
    }
}

TEST(Monostable, SchmittTriggerNeedsTheInputToFallBelowOneThirdOfItsThreshold) {
    engine_fixture engine;
    auto* mono = engine.Add<ug_monostable>(100);
    auto* input = engine.Add<ug_samples_source>(200);
    // High at 3.34 V, down to 2 V only (still high), then 1.6 V (low), then up again.
    input->samples = {0.334f, 0.334f, 0.2f, 0.334f, 0.16f, 0.334f, 0.0f};
    Connect(input->GetPlug(0), mono->GetPlug(0));
    engine.Start();  // Pulse Length unconnected: 0 s, so every pulse is one sample
    const std::vector<float> out = Capture(engine, mono->GetPlug(2), 64);
    EXPECT_EQ(Pulses(out), (std::vector<std::pair<int, int>>{{0, 1}, {5, 6}}));
}

TEST(Monostable, ConstantInputRisesOnceAndSleepsAfterThePulse) {
    engine_fixture engine;
    auto* mono = engine.Add<ug_monostable>(100);
    SetConstant(mono, 0, "5");
    SetConstant(mono, 1, "0.01");  // 44 samples
    engine.Start();
    const std::vector<float> out = Capture(engine, mono->GetPlug(2), 256);
    EXPECT_EQ(Pulses(out), (std::vector<std::pair<int, int>>{{0, 44}}));
    EXPECT_TRUE(mono->sleeping);
}

// ---- FloatToVolts ----------------------------------------------------------------

namespace {

struct float_rig {
    engine_fixture engine;
    ug_base* converter;
    ug_source* source = engine.Add<ug_source>(200);

    // The converter as graph construction makes it: plugs from the registry's rows.
    explicit float_rig(const char* smoothing) {
        converter = engine.top->Add(ModuleRegistry::Instance().CreateUnitGenerator("FloatToVolts"));
        for (const InterfaceObject& row : ModuleRegistry::Instance().FindModule("FloatToVolts")->plugs)
            converter->AddPlug(row.direction, row.data_type);
        converter->SetupPlugs();
        converter->sort_order = 100;
        SetConstant(converter, 0, smoothing);
        source->level = 3.0f;
        Connect(source->GetPlug(2), converter->GetPlug(1));
        engine.Start();
    }
    std::vector<float> SetAndCapture(float value, int samples) {
        source->level = value;
        source->GetPlug(2)->TransmitStatus(engine.master->SampleClock(), ST_STATIC);
        return Capture(engine, converter->GetPlug(2), samples);
    }
};

}  // namespace

TEST(FloatToVolts, FirstValueIsThereAtOnce) {
    float_rig rig("2");
    const std::vector<float> out = Capture(rig.engine, rig.converter->GetPlug(2), 64);
    EXPECT_EQ(out, std::vector<float>(64, 0.3f));
}

TEST(FloatToVolts, LaterValuesRampOverTheSmoothingTime) {
    struct smoothing_case {
        const char* smoothing;
        int ramp_samples;
    };
    const smoothing_case cases[] = {{"0", 1}, {"1", 4}, {"2", 44100 / 32}};
    for (const smoothing_case& c : cases) {
        SCOPED_TRACE(c.smoothing);
        float_rig rig(c.smoothing);
        Capture(rig.engine, rig.converter->GetPlug(2), 64);
        const std::vector<float> out = rig.SetAndCapture(5.0f, 2048);
        for (int k : {1, c.ramp_samples / 2, c.ramp_samples - 1}) {
            if (k < 1) continue;
            const float expected = 0.3f + 0.2f * static_cast<float>(k) / static_cast<float>(c.ramp_samples);
            EXPECT_NEAR(out[static_cast<std::size_t>(k - 1)], expected, 1e-5f) << "sample " << k;
        }
        EXPECT_EQ(out[static_cast<std::size_t>(c.ramp_samples - 1)], 0.5f);
        EXPECT_EQ(out.back(), 0.5f);
        EXPECT_TRUE(rig.converter->sleeping);
    }
}

// ---- Fixed Values ----------------------------------------------------------------

TEST(FixedValues, OutputsHoldTheirValuesAndTheModuleNeverRuns) {
    engine_fixture engine;
    auto* fixed = engine.Add<ug_fixed_values>(100);
    EXPECT_EQ(fixed->PlugCount(), 0);  // "Spare Value" makes no plug of its own
    for (int i = 0; i < 2; ++i) fixed->AddPlug(DR_OUT, DT_AUDIO);
    fixed->SetupPlugs();
    fixed->ApplyDefault(fixed->GetPlug(0), "3");
    fixed->ApplyDefault(fixed->GetPlug(1), "-1.5");
    auto* probe = engine.Add<ug_probe>(0);
    Connect(fixed->GetPlug(1), probe->GetPlug(0));
    engine.Start();
    engine.master->Process(64);
    EXPECT_TRUE(fixed->sleeping);
    EXPECT_EQ(fixed->GetPlug(0)->Block()->Get(17), 0.3f);
    EXPECT_EQ(probe->GetPlug(1)->Block()->Get(17), 2.0f * -0.15f);
    EXPECT_EQ(probe->input_status[0], ST_STATIC);
}
