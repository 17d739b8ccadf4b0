#include "tools/note_text.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tools {
namespace {

struct GoodNotes {
    std::string text;
    std::vector<Note> notes;
};

TEST(NoteText, ReadsKeyStartDurationAndVelocity) {
    const GoodNotes cases[] = {
        {"69@0+1:100", {{69, 0, 1, 100}}},
        {"72@0.5+1", {{72, 0.5, 1, 100}}},
        {"69@0+1:100,72@0.5+1", {{69, 0, 1, 100}, {72, 0.5, 1, 100}}},
        {" 60@1.25+0.5:1 , 61@0+2 ", {{60, 1.25, 0.5, 1}, {61, 0, 2, 100}}},
        {"0@0+0.001:127,127@3e1+1e-3", {{0, 0, 0.001, 127}, {127, 30, 0.001, 100}}},
    };
    for (const GoodNotes& good : cases) EXPECT_EQ(ParseNotes(good.text), good.notes) << good.text;
}

TEST(NoteText, RefusesMalformedNotesNamingThem) {
    struct BadNotes {
        std::string text;
        std::string named;  // what the message must quote
    };
    const BadNotes cases[] = {
        {"", "\"\""},           {"69", "69"},
        {"69@0", "69@0"},       {"69@0+", "69@0+"},
        {"x@0+1", "x"},         {"128@0+1", "128"},
        {"-1@0+1", "-1"},       {"69@-1+1", "69@-1+1"},
        {"69@0+0", "69@0+0"},   {"69@0+1:0", "69@0+1:0"},
        {"69@0+1:128", "128"},  {"69@0+1:", "69@0+1:"},
        {"69@0+1:1:2", "1:2"},  {"69@0+1,", "69@0+1,"},
        {"69@nan+1", "nan"},    {"69@0+inf", "inf"},
        {"69@0+1e999", "1e999"}, {"69 @0+1", "69 "},
        {"60@0+1,61@0,5+1", "61@0"},
    };
    for (const BadNotes& bad : cases) {
        try {
            ParseNotes(bad.text);
            ADD_FAILURE() << "accepted \"" << bad.text << "\"";
        } catch (const std::invalid_argument& error) {
            EXPECT_NE(std::string(error.what()).find(bad.named), std::string::npos)
                << bad.text << " -> " << error.what();
        }
    }
}

TEST(NoteText, NotesEndAtTheLatestRelease) {
    EXPECT_EQ(NotesEnd({}), 0);
    EXPECT_DOUBLE_EQ(NotesEnd(ParseNotes("60@0+3,62@1+0.5,64@2.5+0.25")), 3);
}

}  // namespace
}  // namespace tools
