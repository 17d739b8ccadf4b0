// Writes the project archive the reader in project/archive.h reads: the same
// little-endian primitives, text and count forms, and objects of named classes
// numbered in the reader's load table. Archives are always written at the
// newest version, so every record has one form only.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "project/archive.h"
#include "project/archive_out.h"

namespace tools {

class archive_writer;

// Writes one object's fields, its base class's first, as the class's
// Serialize reads them.
using record_writer = std::function<void(archive_writer&, const CObject&)>;
// The record writer of each run-time class, looked up by the object's own class.
using record_table = std::map<const runtime_class*, record_writer>;

using ::archive_write_error;

class archive_writer : public archive_byte_writer {
public:
    explicit archive_writer(const record_table& records);

    static constexpr int32_t version = kNewestArchiveVersion;

    // None, an object written before (its entry), or a new object: its class
    // record or class entry, then its fields through its record writer.
    void WriteObject(const CObject* object);
    // A count, then that many object references.
    template <class Range>
    void WriteObjectList(const Range& objects) {
        WriteCount(std::size(objects));
        for (const auto& object : objects) WriteObject(PointerOf(object));
    }

private:
    static const CObject* PointerOf(const CObject* object) { return object; }
    template <class T>
    static const CObject* PointerOf(const std::unique_ptr<T>& object) {
        return object.get();
    }

    // A table entry in a tag: 16 bits, or the 0x7FFF tag and 32 bits when the
    // entry does not fit beside the marker bit.
    void WriteTag(uint32_t entry, uint32_t marker16, uint32_t marker32);
    void WriteClass(const runtime_class& record);
    uint32_t TakeEntry();

    const record_table& records_;
    std::map<const runtime_class*, uint32_t> class_entries_;
    std::map<const CObject*, uint32_t> object_entries_;
    uint32_t next_entry_ = 1;  // entry 0 stands for no object
    int depth_ = 0;            // objects being written inside one another
};

}  // namespace tools
