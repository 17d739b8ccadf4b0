#include "project/enum_list.h"

#include <climits>
#include <cstdlib>
#include <stdexcept>

namespace {

constexpr std::string_view kRangePrefix = "range";

// Entries end at a comma, except that a comma in the very first position does
// not end one: it belongs to the first entry, as the entry count has it.
std::vector<std::string> SplitEntries(const std::string& text) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    std::size_t search_from = 1;
    while (true) {
        const std::size_t comma = text.find(',', search_from);
        if (comma == std::string::npos) break;
        pieces.push_back(text.substr(start, comma - start));
        start = comma + 1;
        search_from = start;
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

}  // namespace

int ReadListValue(const std::string& text) {
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value < INT_MIN) return INT_MIN;
    if (value > INT_MAX) return INT_MAX;
    return static_cast<int>(value);
}

it_enum_list::it_enum_list(const std::string& text) {
    if (text.starts_with(kRangePrefix)) {
        is_range_ = true;
        range_low_ = ReadListValue(text.substr(kRangePrefix.size()));
        const std::size_t comma = text.find(',');
        range_high_ = comma == std::string::npos ? 0 : ReadListValue(text.substr(comma + 1));
        return;
    }
    if (text.empty()) return;
    int previous_value = -1;
    for (const std::string& piece : SplitEntries(text)) {
        const std::size_t equals = piece.find('=', 1);
        if (equals == std::string::npos) {
            entries_.push_back({piece, previous_value + 1});
        } else {
            entries_.push_back({piece.substr(0, equals), ReadListValue(piece.substr(equals + 1))});
        }
        previous_value = entries_.back().value;
    }
}

int64_t it_enum_list::Count() const {
    if (!is_range_) return static_cast<int64_t>(entries_.size());
    // A range written high end first has no entries.
    return range_high_ < range_low_ ? 0 : int64_t{range_high_} - range_low_ + 1;
}

int it_enum_list::ValueAt(int64_t position) const {
    if (position < 0 || position >= Count()) throw std::invalid_argument("list position out of range");
    return is_range_ ? static_cast<int>(range_low_ + position) : entries_[static_cast<std::size_t>(position)].value;
}

std::string it_enum_list::NameAt(int64_t position) const {
    const int value = ValueAt(position);
    return is_range_ ? std::to_string(value) : entries_[static_cast<std::size_t>(position)].name;
}

int64_t it_enum_list::PositionOfValue(int value) const {
    if (is_range_) return value >= range_low_ && value <= range_high_ ? int64_t{value} - range_low_ : -1;
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].value == value) return static_cast<int64_t>(i);
    return -1;
}

bool ListsCompatible(const std::string& a, const std::string& b) {
    const it_enum_list first(a);
    const it_enum_list second(b);
    if (first.Count() != second.Count()) return false;
    if (first.Count() == 0) return true;
    // Two ranges of one length agree everywhere when they start together; this
    // keeps a wide range from being walked entry by entry.
    if (first.IsRange() && second.IsRange()) return first.ValueAt(0) == second.ValueAt(0);
    for (int64_t position = 0; position < first.Count(); ++position)
        if (first.ValueAt(position) != second.ValueAt(position)) return false;
    return true;
}
