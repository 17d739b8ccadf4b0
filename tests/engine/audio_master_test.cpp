#include <gtest/gtest.h>

#include "support/engine_fixture.h"

namespace {

TEST(BlockSize, FollowsTheHostBlockSize) {
    const std::pair<int, int> cases[] = {{64, 64},   {96, 96},   {256, 128}, {512, 128}, {1024, 128},
                                         {441, 63},  {100, 100}, {200, 100}, {1, 1},     {4096, 128}};
    for (auto [host, expected] : cases) EXPECT_EQ(CalcBlockSize(host), expected) << "host block " << host;
}

// Collects the sub-block sizes one host call is cut into.
std::vector<int> SubBlocks(engine_fixture& engine, ug_probe* probe, int host_samples) {
    probe->calls.clear();
    engine.master->Process(host_samples);
    std::vector<int> sizes;
    for (const auto& call : probe->calls) sizes.push_back(call.count);
    return sizes;
}

TEST(AudioMaster, HostCallsAreCutOnTheBlockGrid) {
    engine_fixture engine(100);
    auto* source = engine.Add<ug_source>(8);
    auto* probe = engine.Add<ug_probe>(4);
    Connect(source->GetPlug(0), probe->GetPlug(0));
    engine.Start();

    EXPECT_EQ(SubBlocks(engine, probe, 150), (std::vector<int>{100, 50}));
    // The next call first finishes the block that the last one left open.
    EXPECT_EQ(SubBlocks(engine, probe, 150), (std::vector<int>{50, 100}));
    EXPECT_EQ(engine.master->BlockStart(), 200u);
    EXPECT_EQ(engine.master->SampleClock(), 300u);
    // Positions inside the block restart at 0 on every block boundary.
    SubBlocks(engine, probe, 30);
    EXPECT_EQ(probe->calls.front().start, 0);
}

TEST(AudioMaster, A441SampleHostBufferRunsSevenBlocksOf63) {
    engine_fixture engine(441);
    auto* source = engine.Add<ug_source>(8);
    auto* probe = engine.Add<ug_probe>(4);
    Connect(source->GetPlug(0), probe->GetPlug(0));
    engine.Start();
    EXPECT_EQ(SubBlocks(engine, probe, 441), std::vector<int>(7, 63));
}

TEST(AudioMaster, RunListIsInDescendingSortOrderAndKeepsEntryOrderForTies) {
    engine_fixture engine;
    auto* low = engine.Add<ug_source>(1);
    auto* high = engine.Add<ug_source>(9);
    auto* tie_first = engine.Add<ug_source>(5);
    auto* tie_second = engine.Add<ug_source>(5);
    engine.Start();
    std::vector<ug_base*> order;
    for (ug_base* ug = engine.master->RunListHead(); ug != nullptr; ug = ug->run_next) order.push_back(ug);
    // The container sorts highest of all.
    EXPECT_EQ(order, (std::vector<ug_base*>{engine.top.get(), high, tie_first, tie_second, low}));
}

// Takes itself off the run list while the walk is on it, and wakes another
// unit generator chosen by the test.
class ug_leaver : public ug_module<ug_leaver> {
public:
    void Open() override {
        ug_base::Open();
        SetProcess(&ug_leaver::Run);
    }
    void Run(int start, int count) {
        if (to_wake != nullptr) to_wake->Wake();
        audio_master->RemoveFromRunList(this);
        sleeping = true;
    }
    ug_base* to_wake = nullptr;
};

TEST(AudioMaster, WalkGoesOnAfterAUnitGeneratorLeavesTheList) {
    engine_fixture engine(64);
    auto* leaver = engine.Add<ug_leaver>(10);
    auto* after = engine.Add<ug_probe>(5);
    engine.Start();
    engine.master->Process(64);
    EXPECT_FALSE(engine.OnRunList(leaver));
    EXPECT_EQ(after->calls.size(), 1u);
}

TEST(AudioMaster, WokenDuringTheWalkRunsNowOnlyIfItsPlaceIsStillAhead) {
    for (const int woken_order : {20, 5}) {
        engine_fixture engine(64);
        auto* leaver = engine.Add<ug_leaver>(10);
        auto* woken = engine.Add<ug_probe>(woken_order);
        engine.Start();
        engine.master->Process(64);  // the probe runs once here (opened awake)
        woken->SetProcess(&ug_base::SleepIfIdle);
        engine.master->Process(64);  // it goes to sleep
        ASSERT_TRUE(woken->sleeping);
        woken->SetProcess(&ug_probe::Run);
        woken->calls.clear();
        leaver->to_wake = woken;
        leaver->Wake();
        engine.master->Process(64);
        const std::size_t expected = woken_order > 10 ? 0u : 1u;
        EXPECT_EQ(woken->calls.size(), expected) << "sort order " << woken_order;
        engine.master->Process(64);
        EXPECT_EQ(woken->calls.size(), expected + 1) << "sort order " << woken_order;
    }
}

TEST(AudioMaster, TimeInformationIsCorrectedToTheCurrentBlock) {
    engine_fixture engine(128);  // engine blocks of 128 inside host calls of 256
    engine.client.has_time_info = true;
    engine.client.time_info.samplePos = 1000.0;
    engine.client.time_info.tempo = 120.0;
    engine.client.time_info.ppqPos = 2.0;
    engine.client.time_info.flags = vst::kVstTempoValid | vst::kVstPpqPosValid;

    class ug_time_reader : public ug_module<ug_time_reader> {
    public:
        void Open() override {
            ug_base::Open();
            SetProcess(&ug_time_reader::Run);
        }
        void Run(int, int) { positions.push_back(*audio_master->GetTimeInfo(vst::kVstPpqPosValid | vst::kVstBarsValid)); }
        std::vector<vst::VstTimeInfo> positions;
    };
    auto* reader = engine.Add<ug_time_reader>(4);
    engine.Start();
    engine.master->Process(128);  // the host call starts at clock 0 ...
    engine.master->Process(256);  // ... and this one at 128: blocks 128 and 256
    ASSERT_EQ(reader->positions.size(), 3u);
    const vst::VstTimeInfo& second_block = reader->positions[2];
    EXPECT_DOUBLE_EQ(second_block.samplePos, 1000.0 + 128);
    const double quarters_per_sample = 120.0 / (60.0 * 44100.0);
    EXPECT_NEAR(second_block.ppqPos, 2.0 + 128 * quarters_per_sample, 1e-9);
    EXPECT_DOUBLE_EQ(second_block.barStartPos, 2.0);
    EXPECT_TRUE(second_block.flags & vst::kVstPpqPosValid);
    EXPECT_EQ(engine.client.last_wanted_flags & (vst::kVstPpqPosValid | vst::kVstBarsValid),
              vst::kVstPpqPosValid | vst::kVstBarsValid);

    engine.client.has_time_info = false;
    EXPECT_EQ(engine.master->GetTimeInfo(0), nullptr);
}

}  // namespace
