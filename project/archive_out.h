// The little-endian primitives, texts and counts of the project archive, as
// project/archive.h reads them; used by the archive writer and by the plug-in's
// chunks, which store their texts the same way.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "project/archive.h"

// Something the archive cannot hold (a class without a record writer, a count
// the format cannot store).
class archive_write_error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class archive_byte_writer {
public:
    void WriteBool(bool value);
    void WriteByte(uint8_t value);
    void WriteInt16(int16_t value);
    void WriteUInt16(uint16_t value);
    void WriteInt32(int32_t value);
    void WriteUInt32(uint32_t value);
    void WriteFloat(float value);
    void WriteDouble(double value);
    void WriteRect(const ws_rect& rect);
    void WritePoint(const ws_point& point);
    // Narrow characters as they are, behind the shortest length prefix.
    void WriteText(std::string_view text);
    // 16 bits, or 0xFFFF and 32 bits for large counts.
    void WriteCount(std::size_t count);
    void WriteTextList(const std::vector<std::string>& texts);
    void WriteBytes(std::span<const uint8_t> bytes);

    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    std::vector<uint8_t> TakeBytes() { return std::move(bytes_); }

private:
    void WriteLittleEndian(uint64_t value, int size);

    std::vector<uint8_t> bytes_;
};
