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

}  // namespace

archive_writer::archive_writer(const record_table& records) : records_(records) {}

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
    WriteBytes({reinterpret_cast<const uint8_t*>(name.data()), name.size()});
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
