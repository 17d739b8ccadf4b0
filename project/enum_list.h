// Reads list and range texts: "Off,On Panel,On Module", "All=-1,1,2,3", "range 1,200".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class it_enum_list {
public:
    explicit it_enum_list(const std::string& text);

    // Ranges are not spelled out, so a wide range costs nothing.
    int64_t Count() const;
    std::string NameAt(int64_t position) const;
    int ValueAt(int64_t position) const;
    // Position of the entry with that value, or -1.
    int64_t PositionOfValue(int value) const;
    bool IsRange() const { return is_range_; }

private:
    struct entry {
        std::string name;
        int value;
    };
    std::vector<entry> entries_;
    bool is_range_ = false;
    int range_low_ = 0;
    int range_high_ = 0;
};

// A list value written as text: base-10 after optional blanks, 0 when
// unreadable, held at the ends of the int range.
int ReadListValue(const std::string& text);

// Same number of entries with equal values in order; names may differ.
bool ListsCompatible(const std::string& a, const std::string& b);
