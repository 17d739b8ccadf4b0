#include "project/archive.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint16_t kNullTag = 0x0000;
constexpr uint16_t kBigObjectTag = 0x7FFF;
constexpr uint16_t kNewClassTag = 0xFFFF;
constexpr uint16_t kClassTag16 = 0x8000;
constexpr uint32_t kClassTag32 = 0x80000000u;
constexpr std::size_t kLongestClassName = 63;
// Objects nest inside objects; a hostile archive must not run the stack out.
constexpr int kDeepestNesting = 256;

// UTF-16 texts become narrow texts: Latin-1 code units pass, others become '?'.
char NarrowChar(uint16_t unit) { return unit < 0x100 ? static_cast<char>(unit) : '?'; }

}  // namespace

archive_error::archive_error(const std::string& what, std::size_t offset)
    : std::runtime_error("archive error at byte " + std::to_string(offset) + ": " + what), offset_(offset) {}

archive_reader::archive_reader(std::span<const uint8_t> bytes) : bytes_(bytes) { table_.emplace_back(); }

archive_reader::~archive_reader() = default;

void archive_reader::Fail(const std::string& what) const { throw archive_error(what, position_); }

void archive_reader::RequireBytes(std::size_t count, const char* what) const {
    if (count > bytes_.size() - position_) Fail(std::string("archive ends inside ") + what);
}

template <class T>
T archive_reader::ReadLittleEndian() {
    RequireBytes(sizeof(T), "a number");
    std::make_unsigned_t<T> value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        value |= static_cast<std::make_unsigned_t<T>>(static_cast<std::make_unsigned_t<T>>(bytes_[position_ + i]) << (8 * i));
    position_ += sizeof(T);
    return static_cast<T>(value);
}

bool archive_reader::ReadBool() { return ReadByte() != 0; }
uint8_t archive_reader::ReadByte() { return ReadLittleEndian<uint8_t>(); }
int16_t archive_reader::ReadInt16() { return ReadLittleEndian<int16_t>(); }
uint16_t archive_reader::ReadUInt16() { return ReadLittleEndian<uint16_t>(); }
int32_t archive_reader::ReadInt32() { return ReadLittleEndian<int32_t>(); }
uint32_t archive_reader::ReadUInt32() { return ReadLittleEndian<uint32_t>(); }

float archive_reader::ReadFloat() {
    const uint32_t bits = ReadUInt32();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

double archive_reader::ReadDouble() {
    const auto bits = ReadLittleEndian<uint64_t>();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

ws_rect archive_reader::ReadRect() {
    ws_rect rect;
    rect.left = ReadInt32();
    rect.top = ReadInt32();
    rect.right = ReadInt32();
    rect.bottom = ReadInt32();
    return rect;
}

ws_point archive_reader::ReadPoint() {
    ws_point point;
    point.x = ReadInt32();
    point.y = ReadInt32();
    return point;
}

std::string archive_reader::ReadText() {
    bool wide = false;
    uint32_t length = ReadByte();
    if (length == 0xFF) {
        length = ReadUInt16();
        if (length == 0xFFFE) {
            wide = true;
            length = ReadByte();
            if (length == 0xFF) length = ReadUInt16();
        }
        if (length == 0xFFFF) length = ReadUInt32();
    }
    const std::size_t size = static_cast<std::size_t>(length) * (wide ? 2 : 1);
    RequireBytes(size, "a text");
    std::string text;
    text.reserve(length);
    for (uint32_t i = 0; i < length; ++i) {
        if (wide)
            text.push_back(NarrowChar(static_cast<uint16_t>(bytes_[position_ + 2 * i] | (bytes_[position_ + 2 * i + 1] << 8))));
        else
            text.push_back(static_cast<char>(bytes_[position_ + i]));
    }
    position_ += size;
    return text;
}

uint32_t archive_reader::ReadCount() {
    const uint16_t count = ReadUInt16();
    return count == 0xFFFF ? ReadUInt32() : count;
}

std::vector<std::string> archive_reader::ReadTextList() {
    const uint32_t count = ReadCount();
    RequireBytes(count, "a text list");
    std::vector<std::string> texts;
    texts.reserve(count);
    for (uint32_t i = 0; i < count; ++i) texts.push_back(ReadText());
    return texts;
}

std::vector<uint8_t> archive_reader::ReadBytes(std::size_t count) {
    RequireBytes(count, "a block of bytes");
    std::vector<uint8_t> data(bytes_.begin() + static_cast<std::ptrdiff_t>(position_),
                              bytes_.begin() + static_cast<std::ptrdiff_t>(position_ + count));
    position_ += count;
    return data;
}

void archive_reader::Skip(std::size_t count) {
    RequireBytes(count, "skipped bytes");
    position_ += count;
}

const runtime_class* archive_reader::ReadClassRecord() {
    const uint16_t schema = ReadUInt16();
    const uint16_t name_length = ReadUInt16();
    if (name_length > kLongestClassName) Fail("class name longer than 63 characters");
    RequireBytes(name_length, "a class name");
    const std::string name(reinterpret_cast<const char*>(bytes_.data() + position_), name_length);
    position_ += name_length;
    const runtime_class* record = runtime_class::Find(name);
    if (record == nullptr || record->create == nullptr) Fail("unknown class \"" + name + "\"");
    if (!record->versionable && schema != record->schema)
        Fail("class \"" + name + "\" stored with schema " + std::to_string(schema) + ", expected " +
             std::to_string(record->schema));
    table_.push_back({record, schema, nullptr});
    current_schema_ = schema;
    return record;
}

CObject* archive_reader::ReadNewObject(const runtime_class* record, const runtime_class* expected) {
    if (expected != nullptr && !record->IsDerivedFrom(expected))
        Fail(std::string("object of class \"") + record->name + "\" where \"" + expected->name + "\" belongs");
    if (being_read_.size() >= kDeepestNesting) Fail("objects nested too deeply");
    std::unique_ptr<CObject> created = record->create();
    CObject* object = created.get();
    unowned_.emplace(object, std::move(created));
    table_.push_back({nullptr, 0, object});
    being_read_.push_back(object);
    object->Serialize(*this);
    being_read_.pop_back();
    return object;
}

void archive_reader::CheckAdoptable(const CObject* object) const {
    if (object == nullptr) Fail("missing object");
    if (std::find(being_read_.begin(), being_read_.end(), object) != being_read_.end())
        Fail("object contains itself");
    if (unowned_.count(const_cast<CObject*>(object)) == 0) Fail("object taken twice");
}

std::vector<std::unique_ptr<CObject>> archive_reader::TakeUnowned() {
    std::vector<std::unique_ptr<CObject>> objects;
    for (auto& [object, owned] : unowned_) objects.push_back(std::move(owned));
    unowned_.clear();
    return objects;
}

CObject* archive_reader::ReadObject(const runtime_class* expected) {
    uint32_t tag = ReadUInt16();
    if (tag == kNullTag) return nullptr;
    if (tag == kNewClassTag) return ReadNewObject(ReadClassRecord(), expected);

    bool is_class = (tag & kClassTag16) != 0;
    uint32_t index = tag & ~uint32_t(kClassTag16);
    if (tag == kBigObjectTag) {
        tag = ReadUInt32();
        is_class = (tag & kClassTag32) != 0;
        index = tag & ~kClassTag32;
    }
    if (index >= table_.size()) Fail("reference to entry " + std::to_string(index) + " of " + std::to_string(table_.size()));
    const table_entry& entry = table_[index];
    if (is_class) {
        if (entry.record == nullptr) Fail("class reference to an entry that is not a class");
        current_schema_ = entry.schema;
        return ReadNewObject(entry.record, expected);
    }
    if (entry.object == nullptr) Fail("object reference to an entry that is not an object");
    if (expected != nullptr && !entry.object->IsKindOf(expected))
        Fail(std::string("object of class \"") + entry.object->GetRuntimeClass()->name + "\" where \"" +
             expected->name + "\" belongs");
    return entry.object;
}
