// A strict JSON reader for checking what the tools print: anything that is not
// one well-formed JSON value is refused.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tools_test {

struct JsonValue {
    enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };

    Kind kind = Kind::kNull;
    bool boolean = false;
    double number = 0;
    std::string text;
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;

    bool Has(const std::string& key) const;
    // Throws std::out_of_range for a missing key.
    const JsonValue& operator[](const std::string& key) const;
};

// Throws std::runtime_error saying where the text stops being JSON.
JsonValue ParseJson(const std::string& text);

}  // namespace tools_test
