#include <gtest/gtest.h>

#include "support/engine_fixture.h"

namespace {

// A probe whose events the test queues by hand before one block runs.
class EventOrder : public ::testing::Test {
protected:
    void SetUp() override {
        source = engine.Add<ug_source>(8);
        probe = engine.Add<ug_probe>(4);
        Connect(source->GetPlug(0), probe->GetPlug(0));   // input 0
        Connect(source->GetPlug(1), probe->GetPlug(2));   // input 2 (MIDI)
        Connect(source->GetPlug(2), probe->GetPlug(3));   // input 3
        engine.Start();
        engine.master->Process(64);
        probe->history.clear();
        at = engine.master->SampleClock() + 10;
    }
    plug_connection* ConnectionInto(int input) { return probe->GetPlug(input)->connections.front(); }
    std::vector<int32_t> HandledKinds() const {
        std::vector<int32_t> kinds;
        for (const auto& event : probe->history) kinds.push_back(event.kind);
        return kinds;
    }

    engine_fixture engine{64};
    ug_source* source = nullptr;
    ug_probe* probe = nullptr;
    uint32_t at = 0;
};

TEST_F(EventOrder, MidiAtOneSampleIsHandledInQueueOrder) {
    probe->QueueMidi(at, 0x90, probe->GetPlug(2));
    probe->QueueMidi(at, 0x80, probe->GetPlug(2));
    engine.master->Process(64);
    ASSERT_EQ(probe->history.size(), 2u);
    EXPECT_EQ(probe->history[0].parm1, 0x90);
    EXPECT_EQ(probe->history[1].parm1, 0x80);
    EXPECT_EQ(probe->history[0].time, at);
}

TEST_F(EventOrder, StatusChangesComeFirstInInputOrder) {
    probe->QueueMidi(at, 0x90, probe->GetPlug(2));
    probe->QueueStatusChange(at, ConnectionInto(3), ST_STATIC);
    probe->QueueStatusChange(at, ConnectionInto(0), ST_STATIC);
    engine.master->Process(64);
    ASSERT_EQ(HandledKinds(), (std::vector<int32_t>{UET_STAT_CHANGE, UET_STAT_CHANGE, UET_MIDI}));
    EXPECT_EQ(probe->history[0].input_index, 0);
    EXPECT_EQ(probe->history[1].input_index, 3);
}

TEST_F(EventOrder, ANewerStatusChangeForTheSameConnectionReplacesTheOlder) {
    probe->QueueStatusChange(at, ConnectionInto(0), ST_RUN);
    probe->QueueStatusChange(at, ConnectionInto(0), ST_STATIC);
    engine.master->Process(64);
    ASSERT_EQ(probe->history.size(), 1u);
    EXPECT_EQ(probe->history[0].parm1, ST_STATIC);
}

TEST_F(EventOrder, EveryValueOfAnInstantIsInPlaceBeforeAnyChangeIsHandled) {
    source->level = 7.0f;
    // Input 0's change is handled first, yet it already sees input 3's new value.
    probe->QueueStatusChange(at, ConnectionInto(3), ST_STATIC);
    probe->QueueStatusChange(at, ConnectionInto(0), ST_STATIC);
    engine.master->Process(64);
    ASSERT_EQ(probe->history.size(), 2u);
    EXPECT_FLOAT_EQ(probe->history[0].input_value, 7.0f);
}

TEST_F(EventOrder, ProcessingIsSplitExactlyAtEventTimes) {
    probe->QueueMidi(at, 0x90, probe->GetPlug(2));
    probe->QueueMidi(at + 5, 0x80, probe->GetPlug(2));
    probe->calls.clear();
    engine.master->Process(64);
    ASSERT_EQ(probe->calls.size(), 3u);
    EXPECT_EQ(probe->calls[0].count, 10);
    EXPECT_EQ(probe->calls[1].start, 10);
    EXPECT_EQ(probe->calls[1].count, 5);
    EXPECT_EQ(probe->calls[2].start, 15);
    EXPECT_EQ(probe->calls[2].count, 49);
}

TEST_F(EventOrder, UnknownKindsAreIgnored) {
    for (int32_t kind : std::initializer_list<int32_t>{UET_RUN_FUNCTION, UET_IO_FUNC, 22, 99}) probe->AddEvent(probe->NewEvent(at, kind));
    engine.master->Process(64);
    EXPECT_EQ(HandledKinds(), (std::vector<int32_t>{UET_RUN_FUNCTION, UET_IO_FUNC, 22, 99}));
}

TEST_F(EventOrder, RemovingAConnectionDropsItsQueuedStatusChanges) {
    probe->QueueStatusChange(at, ConnectionInto(3), ST_STATIC);
    DestroyConnection(ConnectionInto(3));
    engine.master->Process(64);
    EXPECT_TRUE(probe->history.empty());
}

TEST(SetClock, MovesEarlierEventsUpToTheNewClock) {
    engine_fixture engine{64};
    auto* probe = engine.Add<ug_probe>(4);
    probe->AddEvent(probe->NewEvent(5, UET_MIDI), false);
    probe->AddEvent(probe->NewEvent(20, UET_MIDI), false);
    probe->AddEvent(probe->NewEvent(40, UET_MIDI), false);
    probe->SetClock(30);
    EXPECT_EQ(probe->events.Head()->time, 30u);
    EXPECT_EQ(probe->events.Head()->next->time, 30u);
    EXPECT_EQ(probe->events.Tail()->time, 40u);
    EXPECT_EQ(probe->sample_clock, 30u);
}

TEST(EventPool, SteadyStateReusesRecords) {
    event_pool pool(4);
    std::vector<ug_event*> taken;
    for (int i = 0; i < 4; ++i) taken.push_back(pool.Allocate());
    EXPECT_EQ(pool.Capacity(), 4);
    for (ug_event* event : taken) pool.Free(event);
    for (int round = 0; round < 100; ++round) pool.Free(pool.Allocate());
    EXPECT_EQ(pool.Capacity(), 4);
    EXPECT_EQ(pool.InUse(), 0);
    for (int i = 0; i < 5; ++i) taken[0] = pool.Allocate();  // past the end: the pool grows
    EXPECT_GT(pool.Capacity(), 4);
}

}  // namespace

// Queues MIDI, dated at the start of the sub-block, on a unit generator that
// runs earlier in the walk.
class ug_late_sender : public ug_module<ug_late_sender> {
public:
    void Open() override {
        ug_base::Open();
        SetProcess(&ug_late_sender::Run);
    }
    void Run(int, int) {
        if (target != nullptr) target->QueueMidi(audio_master->SampleClock(), 0x90, target->GetPlug(2));
        target = nullptr;
    }
    ug_base* target = nullptr;
};

TEST(EventTimes, AnEventForAUnitGeneratorWhoseTurnHasPassedComesAtItsNextSubBlock) {
    engine_fixture engine{64};
    auto* probe = engine.Add<ug_probe>(20);
    auto* sender = engine.Add<ug_late_sender>(5);
    engine.Start();
    probe->SetProcess(&ug_base::SleepIfIdle);
    engine.master->Process(64);
    ASSERT_TRUE(probe->sleeping);
    probe->SetProcess(&ug_probe::Run);
    sender->target = probe;
    engine.master->Process(64);  // woken after its place in the walk: nothing handled yet, and no hang
    engine.master->Process(64);
    ASSERT_EQ(probe->history.size(), 1u);
    EXPECT_EQ(probe->history[0].kind, UET_MIDI);
    EXPECT_EQ(probe->history[0].time, 128u);
}
