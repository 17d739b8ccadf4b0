// Messages between the audio side and the panel side: a target identity, a
// four-character code, the payload's length, then the payload field by field,
// little-endian. The length lets a reader pass over a message whose target has
// gone, and keeps a handler from reading into the next message.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "engine/lock_free_fifo.h"

// Builds one message in a buffer of its own (no allocation, so the audio
// thread may post) and writes it to a queue whole on Send.
class message_out {
public:
    static constexpr std::size_t kLongestMessage = 1024;
    static constexpr std::size_t kHeaderSize = 12;

    message_out(lock_free_fifo& queue, int32_t target, int32_t code);

    message_out& Write8(uint8_t value);
    message_out& Write16(uint16_t value);
    message_out& Write32(uint32_t value);
    message_out& WriteFloat(float value);
    // A 32-bit count of characters with the terminating zero, then UTF-16 units.
    // A text longer than the message has room for is cut.
    message_out& WriteText(const std::string& text);
    // False when the queue had no room even after its full handler.
    bool Send();

private:
    lock_free_fifo& queue_;
    std::array<uint8_t, kLongestMessage> bytes_{};
    std::size_t length_ = 0;
};

// Reads one message's payload; reading past its end gives zeros.
class message_stream {
public:
    explicit message_stream(std::span<const uint8_t> payload) : payload_(payload) {}

    uint8_t Read8();
    uint16_t Read16();
    uint32_t Read32();
    int32_t ReadInt32() { return static_cast<int32_t>(Read32()); }
    float ReadFloat();
    std::string ReadText();

private:
    std::span<const uint8_t> payload_;
    std::size_t position_ = 0;
};

// Patch values in messages, by kind: a list value in 16 bits, a float in 32,
// a bool in one byte, an integer in 32, a text as a message text.
inline void WriteValue(message_out& out, const std::string& value) { out.WriteText(value); }
inline void WriteValue(message_out& out, int16_t value) { out.Write16(static_cast<uint16_t>(value)); }
inline void WriteValue(message_out& out, float value) { out.WriteFloat(value); }
inline void WriteValue(message_out& out, bool value) { out.Write8(value ? 1 : 0); }
inline void WriteValue(message_out& out, int32_t value) { out.Write32(static_cast<uint32_t>(value)); }
inline void ReadValue(message_stream& stream, std::string& value) { value = stream.ReadText(); }
inline void ReadValue(message_stream& stream, int16_t& value) { value = static_cast<int16_t>(stream.Read16()); }
inline void ReadValue(message_stream& stream, float& value) { value = stream.ReadFloat(); }
inline void ReadValue(message_stream& stream, bool& value) { value = stream.Read8() != 0; }
inline void ReadValue(message_stream& stream, int32_t& value) { value = stream.ReadInt32(); }

// What a queue's reader hands each message to.
struct queued_message {
    int32_t target;
    int32_t code;
    std::span<const uint8_t> payload;
};

// Reads every message in the queue and hands each to `deliver`.
template <class Deliver>
void DeliverMessages(lock_free_fifo& queue, Deliver&& deliver) {
    std::array<uint8_t, message_out::kLongestMessage> payload;
    while (!queue.Empty()) {
        uint8_t header[message_out::kHeaderSize];
        queue.Read(header, sizeof header);
        const auto field = [&header](int i) {
            return static_cast<int32_t>(header[4 * i] | header[4 * i + 1] << 8 | header[4 * i + 2] << 16 |
                                        static_cast<uint32_t>(header[4 * i + 3]) << 24);
        };
        const auto length = static_cast<uint32_t>(field(2));
        if (length > payload.size()) {  // not a message we wrote: start afresh
            queue.Reset();
            return;
        }
        queue.Read(payload.data(), length);
        deliver(queued_message{field(0), field(1), {payload.data(), length}});
    }
}
