// Switches, sample and hold and the voltage-to-list converter measured in a small engine.
#include <gtest/gtest.h>

#include <vector>

#include "modules/routing.h"
#include "support/constant_inputs.h"

namespace {

// Gives a switch `count` of the plugs graph construction makes for wired
// auto-duplicating plugs, and fresh storage for them.
void AddSwitchPlugs(ug_base* module, int32_t direction, int count) {
    for (int i = 0; i < count; ++i) module->AddPlug(direction, DT_AUDIO);
    module->SetupPlugs();
}

std::vector<float> Ramp(int length) {
    std::vector<float> samples;
    for (int i = 0; i < length; ++i) samples.push_back(0.001f * static_cast<float>(i + 1));
    return samples;
}

}  // namespace

TEST(Switch, RoutesTheInputToTheChosenOutputOnly) {
    engine_fixture engine;
    auto* route = engine.Add<ug_switch>(100);
    AddSwitchPlugs(route, DR_OUT, 3);
    auto* input = engine.Add<ug_sine_source>(200);
    Connect(input->GetPlug(0), route->GetPlug(1));
    SetConstant(route, 0, "1");
    engine.Start();
    UPlug* const plugs[] = {input->GetPlug(0), route->GetPlug(2), route->GetPlug(3), route->GetPlug(4)};
    auto captured = Capture(engine, plugs, 128);
    EXPECT_EQ(captured[2], captured[0]);
    EXPECT_EQ(captured[1], std::vector<float>(128, 0.0f));
    EXPECT_EQ(captured[3], std::vector<float>(128, 0.0f));

    // Moving the choice leaves 0 behind; a choice past the last output takes the last.
    SetConstant(route, 0, "7");
    captured = Capture(engine, plugs, 192);
    const std::vector<float> last_block(captured[0].end() - 64, captured[0].end());
    EXPECT_EQ(std::vector<float>(captured[3].end() - 64, captured[3].end()), last_block);
    EXPECT_EQ(std::vector<float>(captured[2].end() - 64, captured[2].end()), std::vector<float>(64, 0.0f));
}

TEST(Switch, ConstantInputIsWrittenForOneBlockThenSleeps) {
    engine_fixture engine;
    auto* route = engine.Add<ug_switch>(100);
    AddSwitchPlugs(route, DR_OUT, 2);
    SetConstant(route, 1, "4");
    SetConstant(route, 0, "0");
    engine.Start();
    UPlug* const plugs[] = {route->GetPlug(2), route->GetPlug(3)};
    const auto captured = Capture(engine, plugs, 128);
    EXPECT_EQ(captured[0], std::vector<float>(128, 0.4f));
    EXPECT_EQ(captured[1], std::vector<float>(128, 0.0f));
    EXPECT_TRUE(route->sleeping);
}

TEST(Switch2, PassesTheChosenInput) {
    engine_fixture engine;
    auto* route = engine.Add<ug_switch2>(100);
    AddSwitchPlugs(route, DR_IN, 2);
    auto* running = engine.Add<ug_sine_source>(200);
    Connect(running->GetPlug(0), route->GetPlug(2));
    SetConstant(route, 3, "3");
    SetConstant(route, 0, "0");
    engine.Start();
    UPlug* const plugs[] = {running->GetPlug(0), route->GetPlug(1)};
    auto captured = Capture(engine, plugs, 128);
    EXPECT_EQ(captured[1], captured[0]);

    SetConstant(route, 0, "1");
    captured = Capture(engine, plugs, 192);
    EXPECT_EQ(captured[1].back(), 0.3f);
    EXPECT_TRUE(route->sleeping);
}

// Hold rises at samples 2 and 8 and stays high between: only those two
// samples of Audio are taken.
TEST(SampleHold, TakesAudioAtEachRiseOfHoldOnly) {
    engine_fixture engine;
    auto* hold = engine.Add<ug_sample_hold>(100);
    auto* audio = engine.Add<ug_samples_source>(200);
    audio->samples = Ramp(64);
    auto* gate = engine.Add<ug_samples_source>(200);
    gate->samples = {0, 0, 1, 1, 1, 1, 0, -1, 1, 1, 1};
    Connect(audio->GetPlug(0), hold->GetPlug(0));
    Connect(gate->GetPlug(0), hold->GetPlug(1));
    engine.Start();
    const std::vector<float> out = Capture(engine, hold->GetPlug(2), 64);
    const float first = audio->samples[2];
    const float second = audio->samples[8];
    const std::vector<float> expected = {0, 0, first, first, first, first, first, first, second, second};
    EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 10), expected);
    EXPECT_EQ(out.back(), second);
}

TEST(SampleHold, ConstantHoldAboveZeroTakesOneValueAndSleeps) {
    engine_fixture engine;
    auto* hold = engine.Add<ug_sample_hold>(100);
    auto* audio = engine.Add<ug_samples_source>(200);
    audio->samples = Ramp(256);
    Connect(audio->GetPlug(0), hold->GetPlug(0));
    SetConstant(hold, 1, "5");
    engine.Start();
    const std::vector<float> out = Capture(engine, hold->GetPlug(2), 192);
    EXPECT_EQ(out, std::vector<float>(192, audio->samples[0]));
    EXPECT_FALSE(engine.OnRunList(hold));
}

// ---- Voltage To List -------------------------------------------------------------

namespace {

struct list_rig {
    engine_fixture engine;
    ug_voltage_to_enum* converter;
    ug_value_recorder* recorder;

    explicit list_rig(const char* list_text) {
        converter = engine.Add<ug_voltage_to_enum>(100);
        converter->SetListText(list_text);
        recorder = engine.Add<ug_value_recorder>(0);
        Connect(converter->GetPlug(1), recorder->GetPlug(ug_value_recorder::kList));
    }
    std::vector<float> Values() const {
        std::vector<float> values;
        for (const auto& change : recorder->changes) values.push_back(change.value);
        return values;
    }
};

}  // namespace

TEST(VoltageToList, VoltsPickEntriesFromFirstToLast) {
    struct volts_case {
        const char* volts;
        float entry_value;
    };
    const volts_case cases[] = {{"0", 10}, {"10", 40}, {"12", 40}, {"-3", 10}, {"3.4", 20}, {"6.6", 30}};
    for (const volts_case& c : cases) {
        SCOPED_TRACE(c.volts);
        list_rig rig("A=10,B=20,C=30,D=40");
        SetConstant(rig.converter, 0, c.volts);
        rig.engine.Start();
        rig.engine.master->Process(128);
        ASSERT_FALSE(rig.recorder->changes.empty());
        EXPECT_EQ(rig.recorder->changes.back().value, c.entry_value);
        EXPECT_TRUE(rig.converter->sleeping);
    }
}

// With 4 entries, entry 1 is kept from 1.67 V to 5.83 V and entry 2 from
// 4.17 V to 8.33 V, so a voltage wandering around 5 V, where the one would
// give way to the other, keeps the entry it has.
TEST(VoltageToList, HysteresisHoldsAnEntryNearItsBoundary) {
    list_rig rig("A,B,C,D");
    auto* signal = rig.engine.Add<ug_samples_source>(200);
    signal->samples = {0.0f, 0.4f, 0.52f, 0.49f, 0.57f, 0.59f, 0.45f, 0.41f, 0.16f};
    Connect(signal->GetPlug(0), rig.converter->GetPlug(0));
    rig.engine.Start();
    rig.engine.master->Process(64);
    EXPECT_EQ(rig.Values(), (std::vector<float>{0, 1, 2, 1, 0}));
    std::vector<uint32_t> times;
    for (const auto& change : rig.recorder->changes) times.push_back(change.time);
    EXPECT_EQ(times, (std::vector<uint32_t>{0, 1, 5, 7, 8}));
}

TEST(VoltageToList, WithoutAListNothingIsChosen) {
    list_rig rig("");
    SetConstant(rig.converter, 0, "5");
    rig.engine.Start();
    rig.engine.master->Process(128);
    for (const auto& change : rig.recorder->changes) EXPECT_EQ(change.value, 0.0f);
}
