#include "tools/patch_object.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "tools/patch_references.h"

namespace tools {

namespace {
const std::vector<JsonValue> kNoItems;
}  // namespace

patch_object::patch_object(const JsonValue& value, std::string where) : value_(value), where_(std::move(where)) {
    if (value_.kind != JsonValue::Kind::kObject) Fail("an object {...} belongs here");
    std::set<std::string> keys;
    for (const auto& [key, member] : value_.members)
        if (!keys.insert(key).second) Fail("\"" + key + "\" is given twice");
}

void patch_object::Fail(const std::string& what) const { throw patch_text_error(where_ + ": " + what); }

void patch_object::AllowOnly(std::initializer_list<const char*> known) const {
    for (const auto& [key, member] : value_.members)
        if (std::none_of(known.begin(), known.end(), [&key](const char* name) { return key == name; }))
            Fail("unknown key \"" + key + "\"");
}

const JsonValue* patch_object::Find(const std::string& key) const {
    for (const auto& [name, member] : value_.members)
        if (name == key) return &member;
    return nullptr;
}

const std::string& patch_object::TextOf(const JsonValue& value, const std::string& what) const {
    if (value.kind != JsonValue::Kind::kString) Fail(what + " must be a text in quotes");
    return value.text;
}

int64_t patch_object::WholeNumber(const JsonValue& value, const std::string& what, int64_t lowest,
                                  int64_t highest) const {
    if (value.kind != JsonValue::Kind::kNumber || value.number != std::floor(value.number) ||
        value.number < static_cast<double>(lowest) || value.number > static_cast<double>(highest))
        Fail(what + " must be a whole number from " + std::to_string(lowest) + " to " + std::to_string(highest));
    return static_cast<int64_t>(value.number);
}

std::string patch_object::Text(const std::string& key, const std::string& fallback) const {
    const JsonValue* member = Find(key);
    return member != nullptr ? TextOf(*member, "\"" + key + "\"") : fallback;
}

bool patch_object::Bool(const std::string& key, bool fallback) const {
    const JsonValue* member = Find(key);
    if (member == nullptr) return fallback;
    if (member->kind != JsonValue::Kind::kBool) Fail("\"" + key + "\" must be true or false");
    return member->boolean;
}

int64_t patch_object::Integer(const std::string& key, int64_t fallback, int64_t lowest, int64_t highest) const {
    const JsonValue* member = Find(key);
    return member != nullptr ? WholeNumber(*member, "\"" + key + "\"", lowest, highest) : fallback;
}

const std::vector<JsonValue>& patch_object::Items(const std::string& key) const {
    const JsonValue* member = Find(key);
    if (member == nullptr) return kNoItems;
    if (member->kind != JsonValue::Kind::kArray) Fail("\"" + key + "\" must be a list [...]");
    return member->items;
}

std::vector<int32_t> patch_object::Int32List(const std::string& key, std::size_t count, const char* shape) const {
    const std::vector<JsonValue>& items = Items(key);
    if (items.size() != count) Fail("\"" + key + "\" must be " + shape);
    std::vector<int32_t> numbers;
    for (const JsonValue& item : items)
        numbers.push_back(static_cast<int32_t>(WholeNumber(item, "\"" + key + "\"", INT32_MIN, INT32_MAX)));
    return numbers;
}

ws_rect patch_object::Rect(const std::string& key, const ws_rect& fallback) const {
    if (!Has(key)) return fallback;
    const std::vector<int32_t> sides = Int32List(key, 4, "[left, top, right, bottom]");
    return {sides[0], sides[1], sides[2], sides[3]};
}

ws_point patch_object::Point(const std::string& key, const ws_point& fallback) const {
    if (!Has(key)) return fallback;
    const std::vector<int32_t> size = Int32List(key, 2, "[width, height]");
    return {size[0], size[1]};
}

patch_object patch_object::Object(const std::string& key) const {
    const JsonValue* member = Find(key);
    if (member == nullptr) Fail("\"" + key + "\" is missing");
    return patch_object(*member, where_ + ", \"" + key + "\"");
}

}  // namespace tools
