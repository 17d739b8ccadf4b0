#include "tools/archive_writer.h"

#include <cstring>

namespace tools {

namespace {

constexpr uint16_t kNullTag = 0x0000;
constexpr uint16_t kBigTag = 0x7FFF;
constexpr uint16_t kNewClassTag = 0xFFFF;
constexpr uint32_t kClassMarker16 = 0x8000;
constexpr uint32_t kClassMarker32 = 0x80000000u;
constexpr std::size_t kLongestClassName = 63;
// The reader refuses objects nested deeper than this; an archive it would
// refuse is not written.
constexpr int kDeepestNesting = 256;

// Text length prefixes: one byte below 0xFF; 0xFF and 16 bits below 0xFFFE
// (0xFFFE itself marks a UTF-16 text); else 0xFF, 0xFFFF and 32 bits.
constexpr std::size_t kLongestByteLength = 0xFE;
constexpr std::size_t kLongestShortLength = 0xFFFD;
constexpr std::size_t kLongestShortCount = 0xFFFE;

void RequireThirtyTwoBits(std::size_t size, const char* what) {
    if (size > UINT32_MAX) throw archive_write_error(std::string(what) + " too long for the archive");
}

}  // namespace

archive_writer::archive_writer(const record_table& records) : records_(records) {}

void archive_writer::WriteLittleEndian(uint64_t value, int size) {
    for (int i = 0; i < size; ++i) bytes_.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void archive_writer::WriteBool(bool value) { WriteByte(value ? 1 : 0); }
void archive_writer::WriteByte(uint8_t value) { bytes_.push_back(value); }
void archive_writer::WriteInt16(int16_t value) { WriteUInt16(static_cast<uint16_t>(value)); }
void archive_writer::WriteUInt16(uint16_t value) { WriteLittleEndian(value, 2); }
void archive_writer::WriteInt32(int32_t value) { WriteUInt32(static_cast<uint32_t>(value)); }
void archive_writer::WriteUInt32(uint32_t value) { WriteLittleEndian(value, 4); }

void archive_writer::WriteFloat(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    WriteUInt32(bits);
}

void archive_writer::WriteDouble(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    WriteLittleEndian(bits, 8);
}

void archive_writer::WriteRect(const ws_rect& rect) {
    WriteInt32(rect.left);
    WriteInt32(rect.top);
    WriteInt32(rect.right);
    WriteInt32(rect.bottom);
}

void archive_writer::WritePoint(const ws_point& point) {
    WriteInt32(point.x);
    WriteInt32(point.y);
}

void archive_writer::WriteText(std::string_view text) {
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

void archive_writer::WriteCount(std::size_t count) {
    RequireThirtyTwoBits(count, "a list");
    if (count <= kLongestShortCount) {
        WriteUInt16(static_cast<uint16_t>(count));
    } else {
        WriteUInt16(0xFFFF);
        WriteUInt32(static_cast<uint32_t>(count));
    }
}

void archive_writer::WriteTextList(const std::vector<std::string>& texts) {
    WriteCount(texts.size());
    for (const std::string& text : texts) WriteText(text);
}

void archive_writer::WriteBytes(std::span<const uint8_t> bytes) { bytes_.insert(bytes_.end(), bytes.begin(), bytes.end()); }

uint32_t archive_writer::TakeEntry() {
    if (next_entry_ >= kClassMarker32) throw archive_write_error("too many objects for the archive");
    return next_entry_++;
}

void archive_writer::WriteTag(uint32_t entry, uint32_t marker16, uint32_t marker32) {
    if (entry < kBigTag) {
        WriteUInt16(static_cast<uint16_t>(marker16 | entry));
    } else {
        WriteUInt16(kBigTag);
        WriteUInt32(marker32 | entry);
    }
}

void archive_writer::WriteClass(const runtime_class& record) {
    if (auto known = class_entries_.find(&record); known != class_entries_.end()) {
        WriteTag(known->second, kClassMarker16, kClassMarker32);
        return;
    }
    const std::string_view name = record.name;
    if (name.size() > kLongestClassName) throw archive_write_error("class name \"" + std::string(name) + "\" too long");
    WriteUInt16(kNewClassTag);
    WriteUInt16(static_cast<uint16_t>(record.schema));
    WriteUInt16(static_cast<uint16_t>(name.size()));
    bytes_.insert(bytes_.end(), name.begin(), name.end());
    class_entries_.emplace(&record, TakeEntry());
}

void archive_writer::WriteObject(const CObject* object) {
    if (object == nullptr) {
        WriteUInt16(kNullTag);
        return;
    }
    if (auto known = object_entries_.find(object); known != object_entries_.end()) {
        WriteTag(known->second, 0, 0);
        return;
    }
    const runtime_class& record = *object->GetRuntimeClass();
    auto writer = records_.find(&record);
    if (writer == records_.end())
        throw archive_write_error(std::string("no archive record writer for class \"") + record.name + "\"");
    if (depth_ >= kDeepestNesting)
        throw archive_write_error(std::string("objects nested too deeply at an object of class \"") + record.name + "\"");
    WriteClass(record);
    // The object takes its entry before its fields, so that objects inside it can refer back to it.
    object_entries_.emplace(object, TakeEntry());
    ++depth_;
    writer->second(*this, *object);
    --depth_;
}

}  // namespace tools
