#include "project/archive_out.h"

#include <cstring>

namespace {

// Text length prefixes: one byte below 0xFF; 0xFF and 16 bits below 0xFFFE
// (0xFFFE itself marks a UTF-16 text); else 0xFF, 0xFFFF and 32 bits.
constexpr std::size_t kLongestByteLength = 0xFE;
constexpr std::size_t kLongestShortLength = 0xFFFD;
constexpr std::size_t kLongestShortCount = 0xFFFE;

void RequireThirtyTwoBits(std::size_t size, const char* what) {
    if (size > UINT32_MAX) throw archive_write_error(std::string(what) + " too long for the archive");
}

}  // namespace

void archive_byte_writer::WriteLittleEndian(uint64_t value, int size) {
    for (int i = 0; i < size; ++i) bytes_.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void archive_byte_writer::WriteBool(bool value) { WriteByte(value ? 1 : 0); }
void archive_byte_writer::WriteByte(uint8_t value) { bytes_.push_back(value); }
void archive_byte_writer::WriteInt16(int16_t value) { WriteUInt16(static_cast<uint16_t>(value)); }
void archive_byte_writer::WriteUInt16(uint16_t value) { WriteLittleEndian(value, 2); }
void archive_byte_writer::WriteInt32(int32_t value) { WriteUInt32(static_cast<uint32_t>(value)); }
void archive_byte_writer::WriteUInt32(uint32_t value) { WriteLittleEndian(value, 4); }

void archive_byte_writer::WriteFloat(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    WriteUInt32(bits);
}

void archive_byte_writer::WriteDouble(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    WriteLittleEndian(bits, 8);
}

void archive_byte_writer::WriteRect(const ws_rect& rect) {
    WriteInt32(rect.left);
    WriteInt32(rect.top);
    WriteInt32(rect.right);
    WriteInt32(rect.bottom);
}

void archive_byte_writer::WritePoint(const ws_point& point) {
    WriteInt32(point.x);
    WriteInt32(point.y);
}

void archive_byte_writer::WriteText(std::string_view text) {
    RequireThirtyTwoBits(text.size(), "a text");
    if (text.size() <= kLongestByteLength) {
        WriteByte(static_cast<uint8_t>(text.size()));
    } else {
        WriteByte(0xFF);
        if (text.size() <= kLongestShortLength) {
            WriteUInt16(static_cast<uint16_t>(text.size()));
        } else {
            WriteUInt16(0xFFFF);
            WriteUInt32(static_cast<uint32_t>(text.size()));
        }
    }
    bytes_.insert(bytes_.end(), text.begin(), text.end());
}

void archive_byte_writer::WriteCount(std::size_t count) {
    RequireThirtyTwoBits(count, "a list");
    if (count <= kLongestShortCount) {
        WriteUInt16(static_cast<uint16_t>(count));
    } else {
        WriteUInt16(0xFFFF);
        WriteUInt32(static_cast<uint32_t>(count));
    }
}

void archive_byte_writer::WriteTextList(const std::vector<std::string>& texts) {
    WriteCount(texts.size());
    for (const std::string& text : texts) WriteText(text);
}

void archive_byte_writer::WriteBytes(std::span<const uint8_t> bytes) { bytes_.insert(bytes_.end(), bytes.begin(), bytes.end()); }
