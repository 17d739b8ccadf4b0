#include "engine/message_stream.h"

#include <algorithm>
#include <cstring>

namespace {
// Texts cross as UTF-16; characters beyond the narrow set become '?'.
char NarrowChar(uint16_t unit) { return unit < 0x100 ? static_cast<char>(unit) : '?'; }
constexpr uint32_t kLongestText = 1 << 16;
}  // namespace

message_out::message_out(lock_free_fifo& queue, int32_t target, int32_t code) : queue_(queue) {
    Write32(static_cast<uint32_t>(target));
    Write32(static_cast<uint32_t>(code));
    Write32(0);  // the payload's length, filled in by Send
}

message_out& message_out::Write8(uint8_t value) {
    if (length_ < bytes_.size()) bytes_[length_++] = value;
    return *this;
}

message_out& message_out::Write16(uint16_t value) { return Write8(value & 0xFF).Write8(value >> 8); }

message_out& message_out::Write32(uint32_t value) { return Write16(value & 0xFFFF).Write16(value >> 16); }

message_out& message_out::WriteFloat(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return Write32(bits);
}

message_out& message_out::WriteText(const std::string& text) {
    const std::size_t room = (bytes_.size() - std::min(bytes_.size(), length_ + 4)) / 2;
    const std::size_t characters = std::min(text.size(), room > 0 ? room - 1 : 0);
    Write32(static_cast<uint32_t>(characters + 1));
    for (std::size_t i = 0; i < characters; ++i) Write16(static_cast<uint8_t>(text[i]));
    return Write16(0);
}

bool message_out::Send() {
    const auto payload = static_cast<uint32_t>(length_ - kHeaderSize);
    for (int i = 0; i < 4; ++i) bytes_[8 + i] = static_cast<uint8_t>(payload >> (8 * i));
    return queue_.WriteMessage({bytes_.data(), length_});
}

uint8_t message_stream::Read8() { return position_ < payload_.size() ? payload_[position_++] : 0; }

uint16_t message_stream::Read16() {
    const uint8_t low = Read8();
    const uint8_t high = Read8();
    return static_cast<uint16_t>(low | (high << 8));
}

uint32_t message_stream::Read32() {
    const uint16_t low = Read16();
    const uint16_t high = Read16();
    return low | (static_cast<uint32_t>(high) << 16);
}

float message_stream::ReadFloat() {
    const uint32_t bits = Read32();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::string message_stream::ReadText() {
    const uint32_t count = std::min(Read32(), kLongestText);
    std::string text;
    bool ended = false;
    for (uint32_t i = 0; i < count; ++i) {
        const uint16_t unit = Read16();
        ended = ended || unit == 0;
        if (!ended) text.push_back(NarrowChar(unit));
    }
    return text;
}
