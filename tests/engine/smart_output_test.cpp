// The ramped output record: steps, linear and smooth ramps, the block of
// constant after them and the status the plug announces.
#include <gtest/gtest.h>

#include <vector>

#include "engine/smart_output.h"
#include "support/module_harness.h"

namespace {

// Drives one output through a smart_output and counts the calls that wrote nothing.
class ug_ramped : public ug_module<ug_ramped> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override {
        AddInterface(list, {.direction = DR_OUT, .name = "Out", .data_type = DT_AUDIO});
    }
    void Open() override {
        ug_base::Open();
        output.Attach(GetPlug(0));
        SetProcess(&ug_ramped::Run);
    }
    void Run(int start, int count) {
        if (!output.Process(start, count)) ++idle_calls;
    }

    smart_output output;
    int idle_calls = 0;
};

struct ramp_rig {
    engine_fixture engine;
    ug_ramped* ramped = engine.Add<ug_ramped>(100);
    ug_probe* probe = engine.Add<ug_probe>(0);

    explicit ramp_rig(smart_output record) {
        ramped->output = record;
        Connect(ramped->GetPlug(0), probe->GetPlug(0));
        engine.Start();
        engine.master->Process(64);
        probe->history.clear();
    }
    // Statuses the output announced, with their times.
    std::vector<std::pair<uint32_t, int32_t>> Statuses() const {
        std::vector<std::pair<uint32_t, int32_t>> statuses;
        for (const auto& event : probe->history)
            if (event.kind == UET_STAT_CHANGE) statuses.emplace_back(event.time, event.parm1);
        return statuses;
    }
};

}  // namespace

TEST(SmartOutput, LinearRampEndsOnTheTargetAndAnnouncesItsEnd) {
    ramp_rig rig(smart_output(smart_output::linear, 4));
    rig.ramped->output.Set(64, 1.0f);
    const std::vector<float> out = Capture(rig.engine, rig.ramped->GetPlug(0), 64);
    EXPECT_EQ(std::vector<float>(out.begin(), out.begin() + 6), (std::vector<float>{0.25f, 0.5f, 0.75f, 1.0f, 1.0f, 1.0f}));
    EXPECT_EQ(rig.Statuses(), (std::vector<std::pair<uint32_t, int32_t>>{{64, ST_RUN}, {67, ST_STATIC}}));
}

// The smooth curve is d (3x² − 2x³) with x = k / n, sampled at k = 1 … n.
TEST(SmartOutput, SmoothRampFollowsTheCubic) {
    constexpr int kLength = 40;
    ramp_rig rig(smart_output(smart_output::smooth, kLength));
    rig.ramped->output.Set(64, -2.0f);
    const std::vector<float> out = Capture(rig.engine, rig.ramped->GetPlug(0), 64);
    for (int k = 1; k <= kLength; ++k) {
        const double x = static_cast<double>(k) / kLength;
        EXPECT_NEAR(out[static_cast<std::size_t>(k - 1)], -2.0 * (3 * x * x - 2 * x * x * x), 1e-5) << "k = " << k;
    }
    EXPECT_EQ(out[kLength - 1], -2.0f);
    EXPECT_EQ(out.back(), -2.0f);
}

TEST(SmartOutput, StepTakesOneSampleWithoutRunning) {
    for (int length : {0, 1, 50}) {
        SCOPED_TRACE(length);
        ramp_rig rig(smart_output(smart_output::step, 8));
        rig.engine.master->Process(10);
        rig.ramped->output.Set(74, 0.5f, length);
        const std::vector<float> out = Capture(rig.engine, rig.ramped->GetPlug(0), 64);
        EXPECT_EQ(out[10], 0.5f);
        EXPECT_EQ(rig.Statuses(), (std::vector<std::pair<uint32_t, int32_t>>{{74, ST_STATIC}}));
    }
}

// After the change the constant fills exactly one block; then the owner may sleep.
TEST(SmartOutput, WritesOneBlockAfterTheChangeThenNothing) {
    ramp_rig rig(smart_output(smart_output::linear, 4));
    rig.engine.master->Process(10);
    const int idle_before = rig.ramped->idle_calls;
    rig.ramped->output.Set(74, 1.0f);
    rig.engine.master->Process(54);  // the ramp's 4 samples and 50 of the constant
    rig.engine.master->Process(14);
    EXPECT_EQ(rig.ramped->idle_calls, idle_before);
    rig.engine.master->Process(1);
    EXPECT_EQ(rig.ramped->idle_calls, idle_before + 1);
}

// The owner's buffer may have been overwritten while it was suspended.
TEST(SmartOutput, ResumeWritesTheConstantForAnotherBlock) {
    ramp_rig rig(smart_output(smart_output::step, 1));
    rig.ramped->output.Set(64, 1.0f);
    rig.engine.master->Process(30);
    rig.ramped->output.Resume();
    const int idle_before = rig.ramped->idle_calls;
    rig.engine.master->Process(63);
    rig.engine.master->Process(1);  // without the resume, the block would have ended 29 samples ago
    EXPECT_EQ(rig.ramped->idle_calls, idle_before);
    rig.engine.master->Process(1);
    EXPECT_EQ(rig.ramped->idle_calls, idle_before + 1);
}

TEST(SmartOutput, SettingTheSameTargetWhileIdleDoesNothing) {
    ramp_rig rig(smart_output(smart_output::linear, 4));
    rig.ramped->output.Set(64, 0.0f);
    EXPECT_TRUE(rig.ramped->output.Idle());
    rig.engine.master->Process(64);
    EXPECT_TRUE(rig.Statuses().empty());
}
