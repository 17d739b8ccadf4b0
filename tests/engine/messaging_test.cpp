#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/message_stream.h"
#include "engine/panel_queue.h"
#include "support/engine_fixture.h"

namespace {

// A message target that records what reaches it.
class recording_target : public dsp_msg_target {
public:
    void OnMessage(int32_t code, message_stream* stream) override {
        codes.push_back(code);
        values.push_back(stream->ReadInt32());
        texts.push_back(stream->ReadText());
    }
    std::vector<int32_t> codes;
    std::vector<int32_t> values;
    std::vector<std::string> texts;
};

TEST(LockFreeFifo, HoldsOneByteLessThanItsSizeAndWritesMessagesWhole) {
    lock_free_fifo queue(16, lock_free_fifo::when_full::drop);
    EXPECT_EQ(queue.Room(), 15u);
    const std::vector<uint8_t> ten(10, 7), six(6, 8);
    EXPECT_TRUE(queue.WriteMessage(ten));
    EXPECT_FALSE(queue.WriteMessage(six)) << "a message that does not fit is dropped whole";
    uint8_t read[10];
    queue.Read(read, 10);
    EXPECT_EQ(read[9], 7);
    EXPECT_TRUE(queue.Empty());
    EXPECT_TRUE(queue.WriteMessage(six)) << "wraps around the end";
    queue.Read(read, 6);
    EXPECT_EQ(read[5], 8);
}

TEST(Messaging, FramingCarriesNumbersAndTextsAndSkipsUnknownTargets) {
    lock_free_fifo queue(4096, lock_free_fifo::when_full::drop);
    message_out(queue, 99, MessageCode("refr")).Write32(5).WriteText("lost").Send();
    message_out(queue, 7, MessageCode("prnt")).Write32(static_cast<uint32_t>(-3)).WriteText("Sound ON").Send();
    recording_target target;
    DeliverMessages(queue, [&](const queued_message& message) {
        if (message.target != 7) return;
        message_stream stream(message.payload);
        target.OnMessage(message.code, &stream);
    });
    ASSERT_EQ(target.codes.size(), 1u);
    EXPECT_EQ(target.codes[0], MessageCode("prnt"));
    EXPECT_EQ(target.values[0], -3);
    EXPECT_EQ(target.texts[0], "Sound ON");
    EXPECT_TRUE(queue.Empty());
}

TEST(Messaging, PanelMessagesWaitForTheNextHostCallWhileAudioFlows) {
    engine_fixture engine(64);
    recording_target target;
    engine.master->RegisterTarget(&target, 42);
    engine.Start();

    // Not flowing yet: delivered at once, on the writer's thread.
    message_out(engine.master->PanelQueue(), 42, MessageCode("ppca")).Write32(1).WriteText("").Send();
    EXPECT_EQ(target.codes.size(), 1u);

    engine.master->SetAudioFlowing(true);
    message_out(engine.master->PanelQueue(), 42, MessageCode("ppca")).Write32(2).WriteText("").Send();
    EXPECT_EQ(target.codes.size(), 1u);
    engine.master->Process(64);
    ASSERT_EQ(target.values.size(), 2u);
    EXPECT_EQ(target.values[1], 2);
}

TEST(Messaging, AutomationIsDeliveredAtTheStartOfAHostCall) {
    engine_fixture engine(64);
    recording_target target;
    engine.master->RegisterTarget(&target, 43);
    engine.Start();
    std::thread host_thread(
        [&] { message_out(engine.master->AutomationQueue(), 43, MessageCode("ppca")).Write32(9).WriteText("").Send(); });
    host_thread.join();
    EXPECT_TRUE(target.codes.empty());
    engine.master->Process(64);
    ASSERT_EQ(target.values.size(), 1u);
    EXPECT_EQ(target.values[0], 9);
}

TEST(Messaging, AFullQueueOnTheAudioSideDropsWithoutWaiting) {
    lock_free_fifo queue(64, lock_free_fifo::when_full::drop);
    int sent = 0;
    for (int i = 0; i < 10; ++i) sent += message_out(queue, 1, MessageCode("mbox")).WriteText("warning").Send();
    EXPECT_LT(sent, 10);
    int delivered = 0;
    DeliverMessages(queue, [&](const queued_message& message) {
        message_stream stream(message.payload);
        EXPECT_EQ(stream.ReadText(), "warning");
        ++delivered;
    });
    EXPECT_EQ(delivered, sent);
}

TEST(Messaging, AnOverflowedPanelQueueRefusesEverythingUntilThePanelPumps) {
    dsp_to_ui_que queue;
    int sent = 0;
    while (message_out(queue, 1, MessageCode("prnt")).WriteText(std::string(500, 'x')).Send()) ++sent;
    ASSERT_TRUE(queue.Overflowed());
    EXPECT_FALSE(message_out(queue, 1, MessageCode("refr")).Send()) << "even a message that would fit waits for the pump";

    int delivered = 0;
    queue.Pump([&](const queued_message& message) {
        message_stream stream(message.payload);
        EXPECT_EQ(stream.ReadText().size(), 500u) << "what was written before the overflow arrives whole";
        ++delivered;
    });
    EXPECT_EQ(delivered, sent);
    EXPECT_FALSE(queue.Overflowed());
    EXPECT_TRUE(message_out(queue, 1, MessageCode("refr")).Send());
}

TEST(Messaging, ARefreshRequestIsPostedOnceUntilThePanelHasPumped) {
    engine_fixture engine(64);
    ug_probe* probe = engine.Add<ug_probe>(1);
    probe->SetHandle(77);
    const auto refreshes = [&] {
        int count = 0;
        engine.client.to_panel.Pump([&](const queued_message& message) {
            count += message.target == 77 && message.code == MessageCode("refr");
        });
        return count;
    };
    probe->RequestRefresh();
    probe->RequestRefresh();
    EXPECT_EQ(refreshes(), 1);
    probe->RequestRefresh();
    EXPECT_EQ(refreshes(), 1) << "a pump has run, so a new request goes out";
    EXPECT_EQ(refreshes(), 0);
}

// The audio thread posts numbered messages while the panel thread pumps: every
// message that was accepted arrives once, whole and in order.
TEST(Messaging, AudioAndPanelThreadsShareTheRingWithoutTearingMessages) {
    dsp_to_ui_que queue;
    constexpr uint32_t kMessages = 20000;
    std::atomic<bool> done{false};
    std::vector<uint32_t> accepted;
    accepted.reserve(kMessages);
    std::thread audio([&] {
        for (uint32_t i = 0; i < kMessages; ++i)
            if (message_out(queue, 5, MessageCode("updt")).Write32(i).WriteText("level").Send()) accepted.push_back(i);
        done = true;
    });
    std::vector<uint32_t> received;
    const auto pump = [&] {
        queue.Pump([&](const queued_message& message) {
            message_stream stream(message.payload);
            EXPECT_EQ(message.code, MessageCode("updt"));
            received.push_back(stream.Read32());
            EXPECT_EQ(stream.ReadText(), "level");
        });
    };
    while (!done) pump();
    audio.join();
    pump();
    EXPECT_EQ(received, accepted);
    EXPECT_FALSE(received.empty());
}

}  // namespace
