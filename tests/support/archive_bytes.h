// Builds archive bytes by hand for tests: little-endian numbers, texts in the
// archive's text form, counts, class records and object references.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

class archive_bytes {
public:
    archive_bytes& U8(uint8_t value) {
        bytes.push_back(value);
        return *this;
    }
    archive_bytes& U16(uint16_t value) { return Little(value, 2); }
    archive_bytes& U32(uint32_t value) { return Little(value, 4); }
    archive_bytes& I16(int16_t value) { return U16(static_cast<uint16_t>(value)); }
    archive_bytes& I32(int32_t value) { return U32(static_cast<uint32_t>(value)); }
    archive_bytes& F32(float value) {
        uint32_t bits;
        std::memcpy(&bits, &value, 4);
        return U32(bits);
    }
    archive_bytes& F64(double value) {
        uint64_t bits;
        std::memcpy(&bits, &value, 8);
        return Little(bits, 8);
    }
    archive_bytes& Bool(bool value) { return U8(value ? 1 : 0); }
    archive_bytes& Rect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
        return I32(left).I32(top).I32(right).I32(bottom);
    }
    archive_bytes& Point(int32_t x, int32_t y) { return I32(x).I32(y); }

    // A narrow text with the shortest length prefix.
    archive_bytes& Text(const std::string& text) {
        if (text.size() < 0xFF) {
            U8(static_cast<uint8_t>(text.size()));
        } else if (text.size() < 0xFFFE) {
            U8(0xFF).U16(static_cast<uint16_t>(text.size()));
        } else {
            U8(0xFF).U16(0xFFFF).U32(static_cast<uint32_t>(text.size()));
        }
        bytes.insert(bytes.end(), text.begin(), text.end());
        return *this;
    }
    // A UTF-16 text of plain characters.
    archive_bytes& WideText(const std::u16string& text) {
        U8(0xFF).U16(0xFFFE);
        if (text.size() < 0xFF)
            U8(static_cast<uint8_t>(text.size()));
        else
            U8(0xFF).U16(static_cast<uint16_t>(text.size()));
        for (char16_t unit : text) U16(static_cast<uint16_t>(unit));
        return *this;
    }
    archive_bytes& Count(uint32_t count) { return count < 0xFFFF ? U16(static_cast<uint16_t>(count)) : U16(0xFFFF).U32(count); }

    // A new class record: the class takes the next table entry, then its object.
    archive_bytes& NewClass(const std::string& name, uint16_t schema = 1) {
        U16(0xFFFF).U16(schema).U16(static_cast<uint16_t>(name.size()));
        bytes.insert(bytes.end(), name.begin(), name.end());
        return *this;
    }
    // A new object of a class already in the table.
    archive_bytes& OldClass(uint16_t class_entry) { return U16(static_cast<uint16_t>(0x8000 | class_entry)); }
    // A reference to an object already read, or none (entry 0).
    archive_bytes& Ref(uint16_t object_entry) { return U16(object_entry); }
    archive_bytes& Null() { return U16(0); }

    archive_bytes& Append(const archive_bytes& other) {
        bytes.insert(bytes.end(), other.bytes.begin(), other.bytes.end());
        return *this;
    }

    std::vector<uint8_t> bytes;

private:
    archive_bytes& Little(uint64_t value, int size) {
        for (int i = 0; i < size; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
        return *this;
    }
};
