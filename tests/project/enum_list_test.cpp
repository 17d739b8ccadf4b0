// List and range texts: entries, values, counts, and when two lists agree.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "project/enum_list.h"

namespace {

struct list_case {
    const char* text;
    std::vector<std::pair<std::string, int>> entries;  // name and value, in order
};

const list_case kListCases[] = {
    {"range 1,4", {{"1", 1}, {"2", 2}, {"3", 3}, {"4", 4}}},
    {"range -2, 0", {{"-2", -2}, {"-1", -1}, {"0", 0}}},
    {"range 4,1", {}},
    {"range 7", {}},  // no high end: read as 0, below the low end
    {"All=-1,1,2,3", {{"All", -1}, {"1", 0}, {"2", 1}, {"3", 2}}},
    {"Off,On Panel,On Module", {{"Off", 0}, {"On Panel", 1}, {"On Module", 2}}},
    {"A=5,B,C=2,D", {{"A", 5}, {"B", 6}, {"C", 2}, {"D", 3}}},
    {"a, b ,", {{"a", 0}, {" b ", 1}, {"", 2}}},
    {",a,b", {{",a", 0}, {"b", 1}}},  // a leading comma does not end an entry
    {"=5,x", {{"=5", 0}, {"x", 1}}},   // "=" as the first character does not split
    {"", {}},
};

}  // namespace

TEST(EnumList, EntriesNamesAndValues) {
    for (const list_case& test : kListCases) {
        SCOPED_TRACE(test.text);
        const it_enum_list list(test.text);
        ASSERT_EQ(list.Count(), static_cast<int64_t>(test.entries.size()));
        for (std::size_t i = 0; i < test.entries.size(); ++i) {
            EXPECT_EQ(list.NameAt(static_cast<int64_t>(i)), test.entries[i].first);
            EXPECT_EQ(list.ValueAt(static_cast<int64_t>(i)), test.entries[i].second);
            EXPECT_EQ(list.PositionOfValue(test.entries[i].second), static_cast<int64_t>(i)) << "value of entry " << i;
        }
    }
}

TEST(EnumList, WideRangeIsCountedNotSpelledOut) {
    const it_enum_list list("range -2147483648,2147483647");
    EXPECT_TRUE(list.IsRange());
    EXPECT_EQ(list.Count(), int64_t{1} << 32);
    EXPECT_EQ(list.NameAt(list.Count() - 1), "2147483647");
    EXPECT_EQ(list.PositionOfValue(0), int64_t{1} << 31);
    EXPECT_TRUE(ListsCompatible("range -2147483648,2147483647", "range -2147483648,2147483647"));
}

TEST(EnumList, PositionOutsideTheListIsAProgramError) {
    const it_enum_list list("a,b");
    EXPECT_THROW(list.ValueAt(2), std::invalid_argument);
    EXPECT_THROW(list.NameAt(-1), std::invalid_argument);
    EXPECT_EQ(list.PositionOfValue(9), -1);
}

TEST(EnumList, CompatibleListsHaveEqualValuesInOrder) {
    struct compatibility_case {
        const char* a;
        const char* b;
        bool compatible;
    };
    const compatibility_case cases[] = {
        {"0,1", "0,1,2", false},
        {"a,b,c", "p,q,r", true},
        {"a,b,c", "range 0,2", true},
        {"range 1,3", "range 0,2", false},
        {"All=-1,1", "Any=-1,One", true},
        {"x=1,y=0", "a,b", false},
        {"", "", true},
    };
    for (const compatibility_case& test : cases) {
        SCOPED_TRACE(std::string(test.a) + " | " + test.b);
        EXPECT_EQ(ListsCompatible(test.a, test.b), test.compatible);
        EXPECT_EQ(ListsCompatible(test.b, test.a), test.compatible);
    }
}
