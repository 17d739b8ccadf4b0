// Builds JSON text value by value; the writer places the commas and colons.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/json_reader.h"

namespace tools {

class JsonWriter {
public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    JsonWriter& Key(std::string_view key);
    JsonWriter& String(std::string_view text);
    JsonWriter& Integer(long long value);
    JsonWriter& Float(float value);  // null when not finite: JSON has no NaN
    JsonWriter& Bool(bool value);

    const std::string& Text() const { return text_; }

private:
    void BeforeValue();
    JsonWriter& Open(char bracket);
    JsonWriter& Close(char bracket);

    std::string text_;
    std::vector<bool> container_is_empty_;
    bool after_key_ = false;
};

// `text` as a quoted JSON string. Bytes that are not UTF-8 are read as Latin-1.
std::string JsonQuoted(std::string_view text);

// A value as indented text for people to read and edit: an array or object of
// plain values that fits on a line stays on one line. Numbers take the fewest
// digits that read back to the same value.
std::string FormatJson(const JsonValue& value);

}  // namespace tools
