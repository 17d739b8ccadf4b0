// An object of the patch text being read: typed members with defaults, and
// messages that say where in the text a member is wrong.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "project/archive.h"
#include "tools/json_reader.h"

namespace tools {

class patch_object {
public:
    // Fails unless `value` is an object whose keys are all different.
    patch_object(const JsonValue& value, std::string where);

    const std::string& Where() const { return where_; }
    // The same object, told of as being somewhere else.
    patch_object At(std::string where) const { return patch_object(value_, std::move(where)); }
    [[noreturn]] void Fail(const std::string& what) const;
    // Fails at the first key that is not one of `known`.
    void AllowOnly(std::initializer_list<const char*> known) const;

    bool Has(const std::string& key) const { return Find(key) != nullptr; }
    const JsonValue* Find(const std::string& key) const;
    const std::vector<std::pair<std::string, JsonValue>>& Members() const { return value_.members; }
    std::string Text(const std::string& key, const std::string& fallback) const;
    bool Bool(const std::string& key, bool fallback) const;
    int64_t Integer(const std::string& key, int64_t fallback, int64_t lowest, int64_t highest) const;
    ws_rect Rect(const std::string& key, const ws_rect& fallback) const;
    ws_point Point(const std::string& key, const ws_point& fallback) const;
    // An array member; empty when the key is left out.
    const std::vector<JsonValue>& Items(const std::string& key) const;
    // An object member as a patch object of its own.
    patch_object Object(const std::string& key) const;

    // A number that is a whole number within the bounds; `what` names it.
    int64_t WholeNumber(const JsonValue& value, const std::string& what, int64_t lowest, int64_t highest) const;
    const std::string& TextOf(const JsonValue& value, const std::string& what) const;

private:
    std::vector<int32_t> Int32List(const std::string& key, std::size_t count, const char* shape) const;

    const JsonValue& value_;
    std::string where_;
};

}  // namespace tools
