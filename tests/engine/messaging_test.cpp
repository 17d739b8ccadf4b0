#include <gtest/gtest.h>

#include <thread>

#include "engine/message_stream.h"
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

}  // namespace
