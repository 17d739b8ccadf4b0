// A strict JSON reader: anything that is not one well-formed JSON value is
// refused. Patch texts are read with it, and the tests check what the tools print.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tools {

struct JsonValue {
    enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };

    Kind kind = Kind::kNull;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;

    static JsonValue Text(std::string text);
    static JsonValue Number(double number);
    static JsonValue Boolean(bool value);
    static JsonValue Array();
    static JsonValue Object();
    // Appends a member to an object, an item to an array.
    JsonValue& Add(std::string key, JsonValue value);
    JsonValue& Add(JsonValue item);

    bool Has(const std::string& key) const;
    // Throws std::out_of_range for a missing key.
    const JsonValue& operator[](const std::string& key) const;
};

// Throws std::runtime_error saying where the text stops being JSON.
JsonValue ParseJson(const std::string& text);

}  // namespace tools
