#include "tools/note_spec.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tools {
namespace {

struct GoodSpec {
    std::string spec;
    std::vector<Note> notes;
};

TEST(NoteSpec, ReadsKeyStartDurationAndVelocity) {
    const GoodSpec cases[] = {
        {"69@0+1:100", {{69, 0, 1, 100}}},
        {"72@0.5+1", {{72, 0.5, 1, 100}}},
        {"69@0+1:100,72@0.5+1", {{69, 0, 1, 100}, {72, 0.5, 1, 100}}},
        {" 60@1.25+0.5:1 , 61@0+2 ", {{60, 1.25, 0.5, 1}, {61, 0, 2, 100}}},
        {"0@0+0.001:127,127@3e1+1e-3", {{0, 0, 0.001, 127}, {127, 30, 0.001, 100}}},
    };
    for (const GoodSpec& good : cases) EXPECT_EQ(ParseNoteSpec(good.spec), good.notes) << good.spec;
}

TEST(NoteSpec, RefusesMalformedNotesNamingThem) {
    struct BadSpec {
        std::string spec;
        std::string named;  // what the message must quote
    };
    const BadSpec cases[] = {
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
    for (const BadSpec& bad : cases) {
        try {
            ParseNoteSpec(bad.spec);
            ADD_FAILURE() << "accepted \"" << bad.spec << "\"";
        } catch (const std::invalid_argument& error) {
            EXPECT_NE(std::string(error.what()).find(bad.named), std::string::npos)
                << bad.spec << " -> " << error.what();
        }
    }
}

TEST(NoteSpec, NotesEndAtTheLatestRelease) {
    EXPECT_EQ(NotesEnd({}), 0);
    EXPECT_DOUBLE_EQ(NotesEnd(ParseNoteSpec("60@0+3,62@1+0.5,64@2.5+0.25")), 3);
}

}  // namespace
}  // namespace tools
