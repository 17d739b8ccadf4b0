// The peak follower and the volts-to-float converter measured in a small engine.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "modules/followers.h"
#include "project/module_registry.h"
#include "support/constant_inputs.h"

namespace {

// First sample at which `signal` has crossed `level` (upward when rising).
int Crossing(const std::vector<float>& signal, float level, bool rising) {
    for (int i = 0; i < static_cast<int>(signal.size()); ++i) {
        const float sample = signal[static_cast<std::size_t>(i)];
        if (rising ? sample >= level : sample <= level) return i;
    }
    return -1;
}

void RunFor(engine_fixture& engine, int samples) {
    for (int done = 0; done < samples; done += 64) engine.master->Process(64);
}

}  // namespace

// A step to 5 V with Attack 8 V rises to 1 − 1/e of 5 V in 8 ms; back to
// 0 V with Decay 7 V it falls to 1/e in 7 ms.
TEST(PeakFollower, AttackAndDecayTimeConstantsInMilliseconds) {
    for (float rate : {44100.0f, 96000.0f}) {
        SCOPED_TRACE(rate);
        engine_fixture engine(64, rate);
        auto* follower = engine.Add<ug_peak_det>(100);
        auto* input = engine.Add<ug_samples_source>(200);
        const int step_down = static_cast<int>(rate * 0.2f);
        input->samples.assign(static_cast<std::size_t>(step_down), -0.5f);
        input->samples.push_back(0.0f);
        Connect(input->GetPlug(0), follower->GetPlug(0));
        SetConstant(follower, 1, "8");
        SetConstant(follower, 2, "7");
        engine.Start();
        const std::vector<float> out = Capture(engine, follower->GetPlug(3), static_cast<int>(rate * 0.3f));
        const float attack_samples = 0.008f * rate;
        const float decay_samples = 0.007f * rate;
        EXPECT_NEAR(Crossing(out, 0.5f * (1.0f - std::exp(-1.0f)), true) + 1, attack_samples, 1.0f);
        const std::vector<float> decay(out.begin() + step_down, out.end());
        EXPECT_NEAR(Crossing(decay, 0.5f * std::exp(-1.0f), false) + 1, decay_samples, 1.0f);
    }
}

TEST(PeakFollower, RunningRatesAreReadPerSample) {
    engine_fixture engine;
    auto* follower = engine.Add<ug_peak_det>(100);
    SetConstant(follower, 0, "5");
    auto* attack = engine.Add<ug_source>(200);
    attack->value = 0.8f;
    Connect(attack->GetPlug(0), follower->GetPlug(1));
    engine.Start();
    const std::vector<float> out = Capture(engine, follower->GetPlug(3), 1024);
    EXPECT_NEAR(Crossing(out, 0.5f * (1.0f - std::exp(-1.0f)), true) + 1, 0.008f * 44100.0f, 1.0f);
}

TEST(PeakFollower, SettlesOnAConstantInputAndSleeps) {
    engine_fixture engine;
    auto* follower = engine.Add<ug_peak_det>(100);
    SetConstant(follower, 0, "-3");
    SetConstant(follower, 1, "1");
    auto* probe = engine.Add<ug_probe>(0);
    Connect(follower->GetPlug(3), probe->GetPlug(0));
    engine.Start();
    const std::vector<float> out = Capture(engine, follower->GetPlug(3), 44100);
    EXPECT_NEAR(out.back(), 0.3f, 1e-6f);
    EXPECT_FALSE(engine.OnRunList(follower));
    EXPECT_EQ(probe->input_status[0], ST_STATIC);
}

// ---- VoltsToFloat ----------------------------------------------------------------

namespace {

struct meter_rig {
    engine_fixture engine;
    ug_base* meter;
    ug_value_recorder* recorder;

    // The converter as graph construction makes it: plugs from the registry's rows.
    meter_rig(const char* response, float sample_rate = 44100.0f) : engine(64, sample_rate) {
        meter = engine.top->Add(ModuleRegistry::Instance().CreateUnitGenerator("VoltsToFloat"));
        for (const InterfaceObject& row : ModuleRegistry::Instance().FindModule("VoltsToFloat")->plugs)
            meter->AddPlug(row.direction, row.data_type);
        meter->SetupPlugs();
        meter->sort_order = 100;
        SetConstant(meter, 1, response);
        SetConstant(meter, 2, "10");
        recorder = engine.Add<ug_value_recorder>(0);
        Connect(meter->GetPlug(3), recorder->GetPlug(ug_value_recorder::kFloat));
    }
    float Reading() const { return recorder->changes.back().value; }
};

}  // namespace

TEST(VoltsToFloat, ConstantInputReadings) {
    struct reading_case {
        const char* response;
        const char* volts;
        float reading;
    };
    const reading_case cases[] = {
        {"4", "3", 3.0f},      // Volts DC (Fast): the input itself
        {"2", "-10", 10.0f},   // dB Peak of 10 V: 20 log10(1.0) + 10
        {"3", "10", -10.0f},   // dB HeadRoom: the same, negated
        {"0", "0", -150.0f},   // dB VU of silence
        {"2", "1", -10.0f},    // dB Peak of 1 V: 20 log10(0.1) + 10
    };
    for (const reading_case& c : cases) {
        SCOPED_TRACE(std::string("response ") + c.response + ", " + c.volts + " V");
        meter_rig rig(c.response);
        SetConstant(rig.meter, 0, c.volts);
        rig.engine.Start();
        RunFor(rig.engine, 44100);
        ASSERT_FALSE(rig.recorder->changes.empty());
        EXPECT_NEAR(rig.Reading(), c.reading, 1e-4f);
        EXPECT_TRUE(rig.meter->sleeping);
    }
}

// A slow follower in float arithmetic stalls where its step falls below half
// a unit in the last place: about 1.5e-4 short of 4 V for the VU's 0.1 s.
TEST(VoltsToFloat, SlowFollowersSettleOnTheInput) {
    for (const char* response : {"0", "1", "5", "6"}) {
        SCOPED_TRACE(response);
        meter_rig rig(response);
        SetConstant(rig.meter, 0, "-4");
        rig.engine.Start();
        RunFor(rig.engine, 44100 * 20);
        const float expected_volts = std::string(response) == "5" ? -4.0f : 4.0f;
        const float expected = std::string(response) > "3" ? expected_volts : 20.0f * std::log10(0.4f) + 10.0f;
        EXPECT_NEAR(rig.Reading(), expected, std::abs(expected) * 1e-3f);
        EXPECT_TRUE(rig.meter->sleeping);
    }
}

// The RMS of a 5 V sine is 5 / √2 V; readings come at the update rate.
TEST(VoltsToFloat, RmsOfASineAtTheUpdateRate) {
    for (float rate : {44100.0f, 96000.0f}) {
        SCOPED_TRACE(rate);
        meter_rig rig("6", rate);
        auto* sine = rig.engine.Add<ug_sine_source>(200);
        sine->frequency = 1000.0;
        sine->amplitude = 0.5;
        Connect(sine->GetPlug(0), rig.meter->GetPlug(0));
        rig.engine.Start();
        RunFor(rig.engine, static_cast<int>(rate * 2.0f));
        EXPECT_NEAR(rig.Reading(), 5.0f / std::sqrt(2.0f), 0.02f);
        const auto period = static_cast<uint32_t>(rate / 10.03f);
        const auto& changes = rig.recorder->changes;
        ASSERT_GT(changes.size(), 10u);
        for (std::size_t i = 1; i < changes.size(); ++i) EXPECT_EQ(changes[i].time - changes[i - 1].time, period);
    }
}
