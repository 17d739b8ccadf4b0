#include "tools/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace tools {

namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence starting at `at` (at least two
// bytes long), or 0 when there is none.
size_t MultiByteLength(std::string_view text, size_t at) {
    auto byte = [&](size_t i) { return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0; };
    unsigned char lead = byte(0);
    size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (lead < 0xC2 || lead > 0xF4) return 0;
    for (size_t i = 1; i < length; ++i)
        if (!IsContinuation(byte(i))) return 0;
    // No overlong forms, no surrogates, nothing past U+10FFFF.
    if ((lead == 0xE0 && byte(1) < 0xA0) || (lead == 0xED && byte(1) > 0x9F) ||
        (lead == 0xF0 && byte(1) < 0x90) || (lead == 0xF4 && byte(1) > 0x8F))
        return 0;
    return length;
}

void AppendUnicodeEscape(std::string& out, unsigned code) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", code);
    out += escape;
}

void AppendAscii(std::string& out, char c) {
    switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20)
                AppendUnicodeEscape(out, static_cast<unsigned char>(c));
            else
                out += c;
    }
}

constexpr std::size_t kLineWidth = 100;
constexpr std::size_t kIndentStep = 2;

std::string NumberText(double number) {
    if (!std::isfinite(number)) return "null";
    char digits[32];
    auto result = std::to_chars(digits, digits + sizeof digits, number);
    return std::string(digits, result.ptr);
}

bool IsContainer(const JsonValue& value) {
    return value.kind == JsonValue::Kind::kArray || value.kind == JsonValue::Kind::kObject;
}

std::string ScalarText(const JsonValue& value) {
    switch (value.kind) {
        case JsonValue::Kind::kBool: return value.boolean ? "true" : "false";
        case JsonValue::Kind::kNumber: return NumberText(value.number);
        case JsonValue::Kind::kString: return JsonQuoted(value.text);
        default: return "null";
    }
}

std::size_t MemberCount(const JsonValue& value) {
    return value.kind == JsonValue::Kind::kObject ? value.members.size() : value.items.size();
}

// The n-th member of an object with its key, or the n-th item of an array.
std::string KeyText(const JsonValue& value, std::size_t n) {
    return value.kind == JsonValue::Kind::kObject ? JsonQuoted(value.members[n].first) + ": " : std::string();
}

const JsonValue& Member(const JsonValue& value, std::size_t n) {
    return value.kind == JsonValue::Kind::kObject ? value.members[n].second : value.items[n];
}

// The value on one line when it holds plain values only, else empty.
std::string OneLine(const JsonValue& value) {
    const bool is_object = value.kind == JsonValue::Kind::kObject;
    std::string text(1, is_object ? '{' : '[');
    for (std::size_t i = 0; i < MemberCount(value); ++i) {
        if (IsContainer(Member(value, i))) return {};
        if (i > 0) text += ", ";
        text += KeyText(value, i) + ScalarText(Member(value, i));
    }
    return text + (is_object ? '}' : ']');
}

std::string Formatted(const JsonValue& value, std::size_t indent) {
    if (!IsContainer(value)) return ScalarText(value);
    const bool is_object = value.kind == JsonValue::Kind::kObject;
    const char close = is_object ? '}' : ']';
    if (MemberCount(value) == 0) return std::string{is_object ? '{' : '[', close};
    if (std::string line = OneLine(value); !line.empty() && indent + line.size() <= kLineWidth) return line;
    const std::string inner(indent + kIndentStep, ' ');
    std::string text(1, is_object ? '{' : '[');
    for (std::size_t i = 0; i < MemberCount(value); ++i)
        text += (i == 0 ? "\n" : ",\n") + inner + KeyText(value, i) + Formatted(Member(value, i), indent + kIndentStep);
    return text + "\n" + std::string(indent, ' ') + close;
}

}  // namespace

std::string FormatJson(const JsonValue& value) { return Formatted(value, 0) + "\n"; }

std::string JsonQuoted(std::string_view text) {
    std::string out = "\"";
    for (size_t at = 0; at < text.size();) {
        unsigned char byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x80) {
            AppendAscii(out, text[at++]);
        } else if (size_t length = MultiByteLength(text, at); length > 0) {
            out.append(text.substr(at, length));
            at += length;
        } else {
            AppendUnicodeEscape(out, byte);
            ++at;
        }
    }
    return out + "\"";
}

JsonWriter& JsonWriter::BeginObject() { return Open('{'); }
JsonWriter& JsonWriter::EndObject() { return Close('}'); }
JsonWriter& JsonWriter::BeginArray() { return Open('['); }
JsonWriter& JsonWriter::EndArray() { return Close(']'); }

JsonWriter& JsonWriter::Key(std::string_view key) {
    BeforeValue();
    text_ += JsonQuoted(key) + ":";
    after_key_ = true;
    return *this;
}

JsonWriter& JsonWriter::String(std::string_view text) {
    BeforeValue();
    text_ += JsonQuoted(text);
    return *this;
}

JsonWriter& JsonWriter::Integer(long long value) {
    BeforeValue();
    text_ += std::to_string(value);
    return *this;
}

JsonWriter& JsonWriter::Float(float value) {
    BeforeValue();
    if (!std::isfinite(value)) {
        text_ += "null";
        return *this;
    }
    char digits[32];
    auto result = std::to_chars(digits, digits + sizeof digits, value);
    text_.append(digits, result.ptr);
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
    BeforeValue();
    text_ += value ? "true" : "false";
    return *this;
}

void JsonWriter::BeforeValue() {
    if (after_key_) {
        after_key_ = false;
        return;
    }
    if (container_is_empty_.empty()) return;
    if (!container_is_empty_.back()) text_ += ',';
    container_is_empty_.back() = false;
}

JsonWriter& JsonWriter::Open(char bracket) {
    BeforeValue();
    text_ += bracket;
    container_is_empty_.push_back(true);
    return *this;
}

JsonWriter& JsonWriter::Close(char bracket) {
    text_ += bracket;
    container_is_empty_.pop_back();
    return *this;
}

}  // namespace tools
