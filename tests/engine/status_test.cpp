#include <gtest/gtest.h>

#include <algorithm>

#include "support/engine_fixture.h"

namespace {

TEST(PlugTexts, NamesOfStatusDirectionAndEventKind) {
    EXPECT_STREQ(GetStatString(ST_STOP), "ST_STOP");
    EXPECT_STREQ(GetStatString(ST_RUN), "ST_RUN");
    EXPECT_STREQ(GetStatString(3), "GetStatString ERROR");
    EXPECT_STREQ(GetDirectionString(DR_CONTAINER_IO), "DR_CONTAINER_IO");
    EXPECT_STREQ(GetDirectionString(7), "unknowen");
    EXPECT_STREQ(GetEventTypeName(UET_PROG_CHANGE), "UET_PROG_CHANGE");
    EXPECT_STREQ(GetEventTypeName(20), "UnKnowen");
}

TEST(PlugDescriptions, AudioInputsArePolyphonicUnlessMarkedOtherwise) {
    std::vector<InterfaceObject> list;
    AddInterface(list, {.direction = DR_IN, .data_type = DT_AUDIO});
    AddInterface(list, {.direction = DR_IN, .flags = IO_NOT_POLYPHONIC, .data_type = DT_AUDIO});
    AddInterface(list, {.direction = DR_OUT, .data_type = DT_AUDIO});
    EXPECT_EQ(list[0].flags, uint32_t(IO_POLYPHONIC_ACTIVE));
    EXPECT_EQ(list[1].flags, uint32_t(IO_NOT_POLYPHONIC));
    EXPECT_EQ(list[2].flags, 0u);
    EXPECT_FALSE(MakesAudioPlug({.flags = IO_PANEL_ONLY}));
    EXPECT_TRUE(MakesAudioPlug({.flags = IO_PANEL_ONLY | IO_PATCH_PARAMETER_HIGH}));
    EXPECT_FALSE(MakesAudioPlug({.flags = 0x008}));
}

TEST(PlugValues, DefaultTextsByType) {
    engine_fixture engine;
    auto* source = engine.Add<ug_source>(8);
    UPlug* audio = source->GetPlug(0);
    audio->SetValueFromText("2.5");
    EXPECT_FLOAT_EQ(audio->Block()->Get(0), 0.25f);
    EXPECT_FLOAT_EQ(audio->Block()->Get(engine.master->BlockSize() - 1), 0.25f);
    UPlug* level = source->GetPlug(2);
    level->SetValueFromText("-1.5");
    EXPECT_FLOAT_EQ(source->level, -1.5f);

    UPlug* enum_plug = source->AddPlug(DR_OUT, DT_ENUM);
    UPlug* bool_plug = source->AddPlug(DR_OUT, DT_BOOL);
    UPlug* text_plug = source->AddPlug(DR_OUT, DT_TEXT);
    UPlug* double_plug = source->AddPlug(DR_OUT, DT_DOUBLE);
    for (UPlug* plug : {enum_plug, bool_plug, text_plug, double_plug}) plug->CreateStorage(engine.master->BlockSize());
    enum_plug->SetValueFromText("-3");
    bool_plug->SetValueFromText("7");
    text_plug->SetValueFromText("hello");
    double_plug->SetValueFromText("0.125");
    EXPECT_EQ(enum_plug->CarriedValue(), -3);  // sign-extended
    EXPECT_EQ(bool_plug->CarriedValue(), 1);
    EXPECT_EQ(text_plug->Text(), "hello");
    EXPECT_DOUBLE_EQ(*static_cast<double*>(double_plug->variable), 0.125);
}

// Counts the status changes a probe's input receives.
std::vector<int32_t> ReceivedStatuses(const ug_probe& probe) {
    std::vector<int32_t> statuses;
    for (const auto& event : probe.history)
        if (event.kind == UET_STAT_CHANGE) statuses.push_back(event.parm1);
    return statuses;
}

TEST(TransmitStatus, SendsOnlyRealChanges) {
    engine_fixture engine(64);
    auto* source = engine.Add<ug_source>(8);
    auto* probe = engine.Add<ug_probe>(4);
    UPlug* out = source->GetPlug(0);
    Connect(out, probe->GetPlug(0));
    engine.Start();
    engine.master->Process(64);
    probe->history.clear();

    const uint32_t now = engine.master->SampleClock();
    out->TransmitStatus(now, ST_STATIC);
    out->TransmitStatus(now, ST_STATIC);      // same sample: once
    out->TransmitStatus(now + 1, ST_STOP);    // after a one-shot static: nothing
    out->TransmitStatus(now + 2, ST_RUN);
    out->TransmitStatus(now + 3, ST_RUN);     // run after run: nothing
    out->TransmitStatus(now + 4, ST_STATIC);  // static at a new sample: always
    engine.master->Process(64);
    EXPECT_EQ(ReceivedStatuses(*probe), (std::vector<int32_t>{ST_STATIC, ST_RUN, ST_STATIC}));
    // A one-shot static reads as stopped once the module has been told.
    EXPECT_EQ(probe->input_status[0], ST_STATIC);
    EXPECT_EQ(probe->GetPlug(0)->status, ST_STOP);
}

TEST(StaticMode, ConstantInputFillsExactlyOneBlockThenSleeps) {
    engine_fixture engine(64);
    auto* probe = engine.Add<ug_probe>(4);
    probe->ApplyDefault(probe->GetPlug(0), "2.5");
    engine.Start();

    // Opening announces the constant: one block of output, then off the run list.
    engine.master->Process(40);
    engine.master->Process(40);
    int written = 0;
    for (const auto& call : probe->calls) written += call.count;
    EXPECT_EQ(written, 64);
    EXPECT_FALSE(engine.OnRunList(probe));
    EXPECT_TRUE(probe->sleeping);
    const float* out = probe->GetPlug(1)->Block()->Data();
    EXPECT_TRUE(std::all_of(out, out + 64, [](float v) { return v == 0.5f; }));

    // A status change wakes it and it computes again.
    probe->calls.clear();
    UPlug* constant = probe->GetPlug(0)->connections.front()->from;
    constant->Block()->SetAll(0.3f);
    constant->TransmitStatus(engine.master->SampleClock(), ST_STATIC);
    EXPECT_TRUE(engine.OnRunList(probe));
    engine.master->Process(64);
    EXPECT_FALSE(probe->calls.empty());
    EXPECT_FLOAT_EQ(probe->GetPlug(1)->Block()->Get(63), 0.6f);
}

TEST(Defaults, UnconnectedAudioInputIsFedByAHiddenConstant) {
    engine_fixture engine(64);
    auto* probe = engine.Add<ug_probe>(4);
    probe->ApplyDefault(probe->GetPlug(0), "2.5");
    ASSERT_EQ(probe->GetPlug(0)->connections.size(), 1u);
    const USampBlock* hidden = probe->GetPlug(0)->connections.front()->from->Block();
    for (int i = 0; i < 64; ++i) ASSERT_FLOAT_EQ(hidden->Get(i), 0.25f);
}

TEST(Defaults, ConnectedInputChangesTheUpstreamOutputAndAnnouncesIt) {
    engine_fixture engine(64);
    auto* source = engine.Add<ug_source>(8);
    auto* probe = engine.Add<ug_probe>(4);
    Connect(source->GetPlug(2), probe->GetPlug(3));
    engine.Start();
    engine.master->Process(64);
    probe->history.clear();

    probe->ApplyDefault(probe->GetPlug(3), "4.5");
    EXPECT_FLOAT_EQ(source->level, 4.5f);
    engine.master->Process(64);  // the notification arrives, the source announces the change
    engine.master->Process(64);
    ASSERT_FALSE(probe->history.empty());
    EXPECT_EQ(probe->history.back().kind, UET_STAT_CHANGE);
    EXPECT_EQ(probe->history.back().parm1, ST_STATIC);
    EXPECT_FLOAT_EQ(probe->level, 4.5f);
}

TEST(HiddenAdder, SecondAndThirdWireLandOnOneAdder) {
    engine_fixture engine(64);
    auto* a = engine.Add<ug_source>(8);
    auto* b = engine.Add<ug_source>(8);
    auto* c = engine.Add<ug_source>(8);
    auto* probe = engine.Add<ug_probe>(0);
    a->value = 0.1f;
    b->value = 0.2f;
    c->value = 0.4f;
    UPlug* input = probe->GetPlug(0);
    Connect(a->GetPlug(0), input);
    ASSERT_EQ(engine.top->UnitGenerators().size(), 4u);
    Connect(b->GetPlug(0), input);
    ASSERT_EQ(engine.top->UnitGenerators().size(), 5u);
    ug_base* adder = engine.top->UnitGenerators().back().get();
    EXPECT_EQ(input->forward, adder->GetPlug(1));
    Connect(c->GetPlug(0), input);
    EXPECT_EQ(engine.top->UnitGenerators().size(), 5u);
    EXPECT_EQ(adder->GetPlug(1)->connections.size(), 3u);
    ASSERT_EQ(input->connections.size(), 1u);
    EXPECT_EQ(input->connections.front()->from, adder->GetPlug(0));

    adder->sort_order = 4;
    for (ug_base* source : {static_cast<ug_base*>(a), static_cast<ug_base*>(b), static_cast<ug_base*>(c)})
        source->GetPlug(0)->status = ST_RUN;  // running sources: summed per sample
    engine.Start();
    engine.master->Process(64);
    engine.master->Process(64);
    EXPECT_NEAR(probe->GetPlug(1)->Block()->Get(10), 2 * 0.7f, 1e-6);
}

TEST(Suspend, SuspendedUnitGeneratorKeepsOnlyTheNewestOlderStatusChange) {
    engine_fixture engine(64);
    auto* source = engine.Add<ug_source>(8);
    auto* probe = engine.Add<ug_probe>(4);
    Connect(source->GetPlug(2), probe->GetPlug(3));
    engine.Start();
    engine.master->Process(64);
    probe->history.clear();
    probe->Suspend();
    EXPECT_FALSE(engine.OnRunList(probe));

    UPlug* out = source->GetPlug(2);
    for (int block = 0; block < 4; ++block) {
        out->TransmitStatus(engine.master->SampleClock() + 1, ST_STATIC);
        engine.master->Process(64);
    }
    // Each change is dated just past the block that ran last; the block start
    // stays there until the next host call. Changes dated before it are pruned
    // to the newest one; the later ones stay.
    std::vector<uint32_t> pending;
    for (ug_event* e = probe->events.Head(); e != nullptr; e = e->next) pending.push_back(e->time);
    EXPECT_EQ(pending, (std::vector<uint32_t>{64 * 2 + 1, 64 * 3 + 1, 64 * 4 + 1}));
    EXPECT_TRUE(probe->history.empty());

    probe->Resume();
    engine.master->Process(64);
    EXPECT_EQ(ReceivedStatuses(*probe).size(), 3u);
}

}  // namespace
