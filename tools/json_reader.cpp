#include "tools/json_reader.h"

#include <cctype>
#include <cstdlib>
#include <stdexcept>

namespace tools {

namespace {

class Parser {
public:
    explicit Parser(const std::string& text) : text_(text) {}

    JsonValue Document() {
        JsonValue value = Value();
        SkipSpace();
        if (at_ != text_.size()) Fail("text after the value");
        return value;
    }

private:
    JsonValue Value() {
        SkipSpace();
        JsonValue value;
        char c = Peek();
        if (c == '{') return Object();
        if (c == '[') return Array();
        if (c == '"') {
            value.kind = JsonValue::Kind::kString;
            value.text = String();
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            value.kind = JsonValue::Kind::kNumber;
            value.number = Number();
        } else if (Literal("true")) {
            value.kind = JsonValue::Kind::kBool;
            value.boolean = true;
        } else if (Literal("false")) {
            value.kind = JsonValue::Kind::kBool;
        } else if (!Literal("null")) {
            Fail("no value");
        }
        return value;
    }

    JsonValue Object() {
        return Container(JsonValue::Kind::kObject, '{', '}', [this](JsonValue& object) {
            SkipSpace();
            std::string key = String();
            SkipSpace();
            Expect(':');
            object.members.emplace_back(key, Value());
        });
    }

    JsonValue Array() {
        return Container(JsonValue::Kind::kArray, '[', ']',
                         [this](JsonValue& array) { array.items.push_back(Value()); });
    }

    template <typename ReadElement>
    JsonValue Container(JsonValue::Kind kind, char open, char close, ReadElement read_element) {
        JsonValue value;
        value.kind = kind;
        Expect(open);
        SkipSpace();
        if (Accept(close)) return value;
        do {
            read_element(value);
            SkipSpace();
        } while (Accept(','));
        Expect(close);
        return value;
    }

    std::string String() {
        Expect('"');
        std::string out;
        for (;;) {
            char c = Next();
            if (c == '"') return out;
            if (static_cast<unsigned char>(c) < 0x20) Fail("control character in a string");
            if (c != '\\') {
                out += c;
                continue;
            }
            char escaped = Next();
            const std::string simple = "\"\\/bfnrt";
            const std::string meaning = "\"\\/\b\f\n\r\t";
            if (auto found = simple.find(escaped); found != std::string::npos)
                out += meaning[found];
            else if (escaped == 'u')
                AppendUtf8(out, CodePoint());
            else
                Fail("bad escape");
        }
    }

    unsigned CodePoint() {
        unsigned code = Hex4();
        if (code < 0xD800 || code > 0xDBFF) return code;
        if (Next() != '\\' || Next() != 'u') Fail("lone surrogate");
        unsigned low = Hex4();
        if (low < 0xDC00 || low > 0xDFFF) Fail("lone surrogate");
        return 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }

    unsigned Hex4() {
        std::string digits;
        for (int i = 0; i < 4; ++i) digits += Next();
        char* end = nullptr;
        unsigned value = unsigned(std::strtoul(digits.c_str(), &end, 16));
        if (end != digits.c_str() + 4) Fail("bad \\u escape");
        return value;
    }

    static void AppendUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += char(code);
        } else if (code < 0x800) {
            out += char(0xC0 | code >> 6);
            out += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += char(0xE0 | code >> 12);
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
        } else {
            out += char(0xF0 | code >> 18);
            out += char(0x80 | ((code >> 12) & 0x3F));
            out += char(0x80 | ((code >> 6) & 0x3F));
            out += char(0x80 | (code & 0x3F));
        }
    }

    // -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?
    double Number() {
        size_t start = at_;
        Accept('-');
        if (!Accept('0')) Digits();
        if (Accept('.')) Digits();
        if (Accept('e') || Accept('E')) {
            if (!Accept('+')) Accept('-');
            Digits();
        }
        return std::strtod(text_.substr(start, at_ - start).c_str(), nullptr);
    }

    void Digits() {
        if (!std::isdigit(static_cast<unsigned char>(Peek()))) Fail("digit expected");
        while (std::isdigit(static_cast<unsigned char>(Peek()))) ++at_;
    }

    bool Literal(const std::string& word) {
        if (text_.compare(at_, word.size(), word) != 0) return false;
        at_ += word.size();
        return true;
    }

    void SkipSpace() {
        while (at_ < text_.size() && std::string(" \t\r\n").find(text_[at_]) != std::string::npos) ++at_;
    }
    char Peek() const { return at_ < text_.size() ? text_[at_] : '\0'; }
    char Next() {
        if (at_ >= text_.size()) Fail("text ends too early");
        return text_[at_++];
    }
    bool Accept(char c) {
        if (at_ >= text_.size() || text_[at_] != c) return false;
        ++at_;
        return true;
    }
    void Expect(char c) {
        if (!Accept(c)) Fail(std::string("'") + c + "' expected");
    }
    [[noreturn]] void Fail(const std::string& what) const {
        throw std::runtime_error("not JSON at byte " + std::to_string(at_) + ": " + what);
    }

    const std::string& text_;
    size_t at_ = 0;
};

}  // namespace

JsonValue JsonValue::Text(std::string text) {
    JsonValue value;
    value.kind = Kind::kString;
    value.text = std::move(text);
    return value;
}

JsonValue JsonValue::Number(double number) {
    JsonValue value;
    value.kind = Kind::kNumber;
    value.number = number;
    return value;
}

JsonValue JsonValue::Boolean(bool boolean) {
    JsonValue value;
    value.kind = Kind::kBool;
    value.boolean = boolean;
    return value;
}

JsonValue JsonValue::Array() {
    JsonValue value;
    value.kind = Kind::kArray;
    return value;
}

JsonValue JsonValue::Object() {
    JsonValue value;
    value.kind = Kind::kObject;
    return value;
}

JsonValue& JsonValue::Add(std::string key, JsonValue value) {
    members.emplace_back(std::move(key), std::move(value));
    return *this;
}

JsonValue& JsonValue::Add(JsonValue item) {
    items.push_back(std::move(item));
    return *this;
}

bool JsonValue::Has(const std::string& key) const {
    for (const auto& member : members)
        if (member.first == key) return true;
    return false;
}

const JsonValue& JsonValue::operator[](const std::string& key) const {
    for (const auto& member : members)
        if (member.first == key) return member.second;
    throw std::out_of_range("no member \"" + key + "\"");
}

JsonValue ParseJson(const std::string& text) { return Parser(text).Document(); }

}  // namespace tools
