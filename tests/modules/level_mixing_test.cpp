// Amplifiers, panners, cross faders and adders measured in a small engine.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "modules/level_mixing.h"
#include "project/module_registry.h"
#include "support/constant_inputs.h"

namespace {

constexpr float kHalfPower = 0.70710678f;

ug_sine_source* AddSine(engine_fixture& engine, ug_base* module, int plug, double amplitude) {
    auto* sine = engine.Add<ug_sine_source>(200);
    sine->amplitude = amplitude;
    Connect(sine->GetPlug(0), module->GetPlug(plug));
    return sine;
}

// Largest |output − gain × input| over the captured samples.
float GainError(const std::vector<float>& input, const std::vector<float>& output, float gain) {
    float worst = 0.0f;
    for (std::size_t i = 0; i < input.size(); ++i) worst = std::max(worst, std::abs(output[i] - gain * input[i]));
    return worst;
}

const char* CurveName(int curve) {
    static const char* const names[] = {"Decibel (old)", "Exponential", "Linear", "Decibel"};
    return names[curve];
}

}  // namespace

// ---- VCA -------------------------------------------------------------------------

TEST(Vca, TenVoltsPassesTheSignalUnchangedInEveryCurve) {
    for (int curve = 0; curve < 4; ++curve) {
        for (bool volume_runs : {false, true}) {
            SCOPED_TRACE(std::string(CurveName(curve)) + (volume_runs ? ", running volume" : ", static volume"));
            engine_fixture engine;
            auto* vca = engine.Add<ug_vca>(100);
            ug_sine_source* signal = AddSine(engine, vca, 0, 0.5);
            Drive(engine, vca, 1, 10.0f, volume_runs);
            SetConstant(vca, 3, std::to_string(curve));
            engine.Start();
            UPlug* const plugs[] = {signal->GetPlug(0), vca->GetPlug(2)};
            const auto captured = Capture(engine, plugs, 256);
            EXPECT_EQ(captured[1], captured[0]);
        }
    }
}

TEST(Vca, ZeroVoltsGivesStaticSilenceAndSleeps) {
    for (int curve = 0; curve < 4; ++curve) {
        SCOPED_TRACE(CurveName(curve));
        engine_fixture engine;
        auto* vca = engine.Add<ug_vca>(100);
        AddSine(engine, vca, 0, 0.5);
        SetConstant(vca, 1, "0");
        SetConstant(vca, 3, std::to_string(curve));
        engine.Start();
        const std::vector<float> out = Capture(engine, vca->GetPlug(2), 256);
        EXPECT_EQ(out, std::vector<float>(256, 0.0f));
        EXPECT_TRUE(vca->sleeping);
    }
}

TEST(Vca, ConstantZeroSignalSleepsWhileVolumeRuns) {
    engine_fixture engine;
    auto* vca = engine.Add<ug_vca>(100);
    SetConstant(vca, 0, "0");
    AddSine(engine, vca, 1, 0.5);
    engine.Start();
    const std::vector<float> out = Capture(engine, vca->GetPlug(2), 256);
    EXPECT_EQ(out, std::vector<float>(256, 0.0f));
    EXPECT_FALSE(engine.OnRunList(vca));
}

// Volume 0.005 V: every curve's gain times v × 1000 (v = 0.0005), on a
// constant 5 V signal.
TEST(Vca, BelowTenMillivoltsTheGainFadesLinearlyToSilence) {
    const double v = 0.0005;
    const double exponential = 1.0 - (1.0 - std::exp(-3.0 * (1.0 - v))) / (1.0 - std::exp(-3.0));
    double decibel = (v - 1.0) * 3.8888888;
    decibel = (decibel + 3.5) * 2.0 - 3.5;
    double decibel_old = (v - 1.0) * 5.0;
    decibel_old = (decibel_old + 4.0) * 3.0 - 4.0;
    const double curve_gain[] = {std::pow(10.0, decibel_old), exponential, v, std::pow(10.0, decibel * 0.5)};
    for (int curve = 0; curve < 4; ++curve) {
        SCOPED_TRACE(CurveName(curve));
        engine_fixture engine;
        auto* vca = engine.Add<ug_vca>(100);
        SetConstant(vca, 0, "5");
        SetConstant(vca, 1, "0.005");
        SetConstant(vca, 3, std::to_string(curve));
        engine.Start();
        const float out = Capture(engine, vca->GetPlug(2), 128).back();
        const double expected = 0.5 * curve_gain[curve] * v * 1000.0;
        EXPECT_NEAR(out, expected, expected * 1e-5);
        EXPECT_TRUE(vca->sleeping);
    }
}

// A running Volume reads the shared tables; a static one uses the formula.
// Both must give the same gain between the table's points.
TEST(Vca, RunningVolumeFollowsTheSameCurveAsStaticVolume) {
    for (int curve = 0; curve < 4; ++curve) {
        for (float volts : {0.37f, 3.1f, 7.77f, 12.0f}) {
            SCOPED_TRACE(std::string(CurveName(curve)) + " at " + std::to_string(volts) + " V");
            float outputs[2];
            for (bool volume_runs : {false, true}) {
                engine_fixture engine;
                auto* vca = engine.Add<ug_vca>(100);
                SetConstant(vca, 0, "10");
                Drive(engine, vca, 1, volts, volume_runs);
                SetConstant(vca, 3, std::to_string(curve));
                engine.Start();
                outputs[volume_runs] = Capture(engine, vca->GetPlug(2), 64).back();
            }
            EXPECT_NEAR(outputs[1], outputs[0], std::abs(outputs[0]) * 2e-4 + 1e-9);
        }
    }
}

TEST(Vca, SharedTablesHoldTheCurvesAtTheirEnds) {
    engine_fixture engine;
    engine.Add<ug_vca>(100);
    engine.Start();
    lookup_table_registry& tables = engine.master->LookupTables();
    for (const char* name : {"UVCA Trunc Exp Curve", "db Curve", "db Curve - old"}) {
        SCOPED_TRACE(name);
        const ULookup* table = tables.GetFloatTable(name, -1);
        ASSERT_TRUE(table->initialised);
        ASSERT_EQ(table->values.size(), 514u);
        EXPECT_NEAR(table->values[0], 0.0f, 1e-8f);  // the exponential's scale is rounded to a float
        EXPECT_FLOAT_EQ(table->values[512], 1.0f);
    }
    // Half of 10 V on the old decibel curve: (0.5 − 1) × 5 = −2.5 decades.
    EXPECT_FLOAT_EQ(tables.GetFloatTable("db Curve - old", -1)->values[256], std::pow(10.0f, -2.5f));
}

// ---- Pan -------------------------------------------------------------------------

TEST(Pan, FadeLawsShareTheInputBetweenTheOutputs) {
    struct pan_case {
        float pan_volts;
        int law;
        float left;
        float right;
    };
    const pan_case cases[] = {
        {0.0f, FADE_EQUAL_POWER, kHalfPower, kHalfPower},
        {0.0f, FADE_EQUAL_INTENSITY, 0.5f, 0.5f},
        {0.0f, FADE_SQUARE_ROOT, kHalfPower, kHalfPower},
        {-5.0f, FADE_EQUAL_POWER, 1.0f, 0.0f},
        {5.0f, FADE_EQUAL_POWER, 0.0f, 1.0f},
        {-2.5f, FADE_EQUAL_INTENSITY, 0.75f, 0.25f},
        {-7.0f, FADE_EQUAL_INTENSITY, 1.0f, 0.0f},
    };
    for (const pan_case& c : cases) {
        for (bool pan_runs : {false, true}) {
            SCOPED_TRACE("pan " + std::to_string(c.pan_volts) + " V, law " + std::to_string(c.law) +
                         (pan_runs ? ", running" : ", static"));
            engine_fixture engine;
            auto* pan = engine.Add<ug_pan>(100);
            ug_sine_source* input = AddSine(engine, pan, 0, 0.5);
            Drive(engine, pan, 1, c.pan_volts, pan_runs);
            SetConstant(pan, 4, "10");
            SetConstant(pan, 5, std::to_string(c.law));
            engine.Start();
            UPlug* const plugs[] = {input->GetPlug(0), pan->GetPlug(2), pan->GetPlug(3)};
            const auto captured = Capture(engine, plugs, 256);
            EXPECT_LT(GainError(captured[0], captured[1], c.left), 1e-5f);
            EXPECT_LT(GainError(captured[0], captured[2], c.right), 1e-5f);
        }
    }
}

TEST(Pan, VolumeScalesBothSidesOnTheDecibelCurve) {
    engine_fixture engine;
    auto* pan = engine.Add<ug_pan>(100);
    SetConstants(pan, {{0, "10"}, {4, "5"}, {5, "0"}});
    engine.Start();
    UPlug* const plugs[] = {pan->GetPlug(2), pan->GetPlug(3)};
    const auto captured = Capture(engine, plugs, 128);
    const float volume_gain = std::pow(10.0f, -0.5f * 3.8888888f * 0.5f);  // c = −0.5 × 3.89, g = 10^(c/2)
    EXPECT_NEAR(captured[0].back(), 0.5f * volume_gain, 1e-6f);
    EXPECT_NEAR(captured[1].back(), 0.5f * volume_gain, 1e-6f);
    EXPECT_TRUE(pan->sleeping);
}

// ---- X-Mix -----------------------------------------------------------------------

TEST(CrossFade, MixMovesFromInputAToInputB) {
    struct mix_case {
        float mix_volts;
        int law;
        float gain_a;
        float gain_b;
    };
    const mix_case cases[] = {
        {5.0f, FADE_EQUAL_POWER, 1.0f, 0.0f},
        {-5.0f, FADE_EQUAL_POWER, 0.0f, 1.0f},
        {0.0f, FADE_EQUAL_INTENSITY, 0.5f, 0.5f},
        {0.0f, FADE_EQUAL_POWER, kHalfPower, kHalfPower},
        {2.5f, FADE_EQUAL_INTENSITY, 0.75f, 0.25f},
    };
    for (const mix_case& c : cases) {
        for (bool mix_runs : {false, true}) {
            SCOPED_TRACE("mix " + std::to_string(c.mix_volts) + " V, law " + std::to_string(c.law) +
                         (mix_runs ? ", running" : ", static"));
            engine_fixture engine;
            auto* mix = engine.Add<ug_cross_fade>(100);
            ug_sine_source* a = AddSine(engine, mix, 0, 0.5);
            SetConstant(mix, 1, "2");
            Drive(engine, mix, 2, c.mix_volts, mix_runs);
            SetConstant(mix, 4, std::to_string(c.law));
            engine.Start();
            UPlug* const plugs[] = {a->GetPlug(0), mix->GetPlug(3)};
            const auto captured = Capture(engine, plugs, 256);
            std::vector<float> without_b = captured[1];
            for (float& sample : without_b) sample -= c.gain_b * 0.2f;
            EXPECT_LT(GainError(captured[0], without_b, c.gain_a), 1e-5f);
        }
    }
}

// ---- adders ----------------------------------------------------------------------

TEST(Adder, SumsRunningAndStaticSources) {
    engine_fixture engine;
    auto* adder = engine.Add<ug_adder>(100);
    SetConstant(adder, 1, "3");
    for (float value : {0.1f, 0.2f}) {
        auto* source = engine.Add<ug_source>(200);
        source->value = value;
        Connect(source->GetPlug(0), adder->GetPlug(1));
    }
    engine.Start();
    const std::vector<float> out = Capture(engine, adder->GetPlug(0), 128);
    for (float sample : out) EXPECT_NEAR(sample, 0.6f, 1e-6f);
    EXPECT_TRUE(engine.OnRunList(adder));
}

TEST(Adder, StaticSourcesOnlyGiveAConstantAndSleep) {
    engine_fixture engine;
    auto* adder = engine.Add<ug_adder>(100);
    SetConstant(adder, 1, "3");
    auto* holder = engine.Add<ug_sine_source>(200);
    Connect(holder->GetPlug(0), adder->GetPlug(1));
    engine.Start();
    holder->Hold(0.25f);
    const std::vector<float> out = Capture(engine, adder->GetPlug(0), 192);
    EXPECT_NEAR(out.back(), 0.55f, 1e-6f);
    EXPECT_FALSE(engine.OnRunList(adder));
}

TEST(VoiceCombiner, SumsLikeAnAdderAndStopsPolyphony) {
    engine_fixture engine;
    auto* combiner = engine.Add<ug_voice_combiner>(100);
    EXPECT_NE(combiner->flags & UGF_POLYPHONIC_BARRIER, 0u);
    EXPECT_NE(combiner->CreateInstance()->flags & UGF_POLYPHONIC_BARRIER, 0u);
    for (float value : {0.1f, 0.3f}) {
        auto* voice = engine.Add<ug_source>(200);
        voice->value = value;
        Connect(voice->GetPlug(0), combiner->GetPlug(1));
    }
    engine.Start();
    EXPECT_NEAR(Capture(engine, combiner->GetPlug(0), 64).back(), 0.4f, 1e-6f);
}

// ---- plug lists ------------------------------------------------------------------

// Projects name plugs by position, so the order of every list is part of the file format.
TEST(LevelMixingRegistry, PlugListsInTheirStoredOrder) {
    struct listing {
        const char* unique_id;
        std::vector<std::string> names;
    };
    const listing listings[] = {
        {"VCA", {"Signal", "Volume", "Output", "Response Curve"}},
        {"Pan", {"Input", "Pan", "Left Out", "Right Out", "Volume", "Fade Law"}},
        {"X-Mix", {"Input A", "Input B", "Mix", "Signal Out", "Fade Law"}},
        {"Float Adder", {"Out", "In"}},
        {"Voice Combiner", {"Out", "In"}},
        {"Ring Modulator", {"Input 1", "Input 2", "Output"}},
        {"Level Adj", {"Input 1", "Input 2", "Output"}},
        {"Quantiser", {"Signal In", "Step Size", "Signal Out"}},
        {"Clipper", {"Signal In", "Hi Limit", "Lo Limit", "Signal Out"}},
        {"Comparator", {"Input A", "Input B", "Output", "Hi Out Val", "Lo Out Val"}},
        {"Ceil", {"Signal in", "Signal Out"}},
        {"Sample and Hold", {"Audio", "Hold", "Output"}},
        {"random", {"Trigger in", "Output"}},
        {"Switch (1->Many)", {"Choice", "Input", "Spare Output"}},
        {"Z-Filter obsolete", {"Choice", "Input", "Spare Output"}},
        {"Switch (Many->1)", {"Choice", "Output", "Spare Input"}},
        {"Monostable", {"Signal in", "Pulse Length", "Signal Out"}},
        {"Peak Follower", {"Signal in", "Attack", "Decay", "Signal Out"}},
        {"Voltage To List", {"Signal in", "List Out"}},
        {"FloatToVolts", {"Smoothing", "Float In", "Volts Out"}},
        {"VoltsToFloat", {"Volts In", "Response", "Update Rate", "Float Out"}},
        {"Fixed Values", {"Spare Value"}},
    };
    for (const listing& expected : listings) {
        SCOPED_TRACE(expected.unique_id);
        const Module_Info* entry = ModuleRegistry::Instance().FindModule(expected.unique_id);
        ASSERT_NE(entry, nullptr);
        ASSERT_TRUE(entry->make_unit_generator);
        std::vector<std::string> names;
        for (const InterfaceObject& plug : entry->plugs) names.push_back(plug.name);
        EXPECT_EQ(names, expected.names);
    }
}
