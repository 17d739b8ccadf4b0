// Reads the project archive: little-endian primitives, texts, counts and
// objects of named classes with back references. Any malformed input ends the
// read with an archive_error that names what was wrong and where.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "project/runtime_class.h"

// The newest archive version this reader accepts.
constexpr int32_t kNewestArchiveVersion = 95710;

struct ws_rect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const ws_rect&) const = default;
};

struct ws_point {
    int32_t x = 0, y = 0;
    bool operator==(const ws_point&) const = default;
};

class archive_error : public std::runtime_error {
public:
    archive_error(const std::string& what, std::size_t offset);
    std::size_t Offset() const { return offset_; }

private:
    std::size_t offset_;
};

class archive_reader {
public:
    explicit archive_reader(std::span<const uint8_t> bytes);
    ~archive_reader();
    archive_reader(const archive_reader&) = delete;
    archive_reader& operator=(const archive_reader&) = delete;

    // The project version all version rules compare with.
    int32_t version = 0;

    bool ReadBool();
    uint8_t ReadByte();
    int16_t ReadInt16();
    uint16_t ReadUInt16();
    int32_t ReadInt32();
    uint32_t ReadUInt32();
    float ReadFloat();
    double ReadDouble();
    ws_rect ReadRect();
    ws_point ReadPoint();
    std::string ReadText();
    // A 16-bit count, or a 32-bit one behind 0xFFFF.
    uint32_t ReadCount();
    std::vector<std::string> ReadTextList();
    std::vector<uint8_t> ReadBytes(std::size_t count);
    void Skip(std::size_t count);

    // An object reference: none, an object read before, or a new object that
    // reads its own fields. `expected` is the class it must be or derive from.
    CObject* ReadObject(const runtime_class* expected);
    template <class T>
    T* ReadObjectOf() {
        return static_cast<T*>(ReadObject(&T::class_info));
    }
    // A count, then that many object references; null references are dropped.
    template <class T>
    std::vector<T*> ReadObjectList() {
        const uint32_t count = ReadCount();
        RequireBytes(static_cast<std::size_t>(count) * 2, "object list");
        std::vector<T*> objects;
        for (uint32_t i = 0; i < count; ++i)
            if (T* object = ReadObjectOf<T>()) objects.push_back(object);
        return objects;
    }

    // Takes an object read from the archive out of the reader's keeping; the
    // reader deletes every object nobody took when it goes. An object still
    // being read cannot be taken: it would end up owning itself.
    template <class T>
    std::unique_ptr<T> Adopt(T* object) {
        CheckAdoptable(object);
        auto found = unowned_.find(object);
        found->second.release();
        unowned_.erase(found);
        return std::unique_ptr<T>(object);
    }
    // The objects nobody took. Other objects may still point at them, so a
    // successful read keeps them as long as what it read.
    std::vector<std::unique_ptr<CObject>> TakeUnowned();
    bool IsUnowned(const CObject* object) const { return unowned_.count(const_cast<CObject*>(object)) != 0; }

    // The schema stored with the class of the object being read.
    int CurrentSchema() const { return current_schema_; }
    std::size_t Offset() const { return position_; }
    bool AtEnd() const { return position_ >= bytes_.size(); }
    [[noreturn]] void Fail(const std::string& what) const;
    // Fails unless `count` more bytes are there.
    void RequireBytes(std::size_t count, const char* what) const;

private:
    struct table_entry {
        const runtime_class* record = nullptr;  // set for class entries
        int schema = 0;                         // the schema stored with a class
        CObject* object = nullptr;              // set for object entries
    };

    void CheckAdoptable(const CObject* object) const;
    const runtime_class* ReadClassRecord();
    CObject* ReadNewObject(const runtime_class* record, const runtime_class* expected);
    template <class T>
    T ReadLittleEndian();

    std::span<const uint8_t> bytes_;
    std::size_t position_ = 0;
    std::vector<table_entry> table_;
    std::map<CObject*, std::unique_ptr<CObject>> unowned_;
    int current_schema_ = 1;
    std::vector<const CObject*> being_read_;
};
