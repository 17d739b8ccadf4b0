#include <gtest/gtest.h>

#include "platform/embedded_project.h"
#include "plugin/project_scramble.h"
#include "tool_run.h"

namespace {

using tools_test::RunWirestack;
using tools_test::TempFolder;

TEST(PackCommand, TheLibraryCarriesTheProjectAsTheArchiveHeldIt) {
    TempFolder folder;
    const std::string patch = std::string(WS_EXAMPLES_DIR) + "/synth_chain.json";
    ASSERT_EQ(RunWirestack({"compile", patch, "-o", "synth.ws1"}, folder.Path()).exit_code, 0);
    const auto run = RunWirestack({"pack", "synth.ws1", "-o", "synth.so"}, folder.Path());
    ASSERT_EQ(run.exit_code, 0) << run.err;

    const auto archive = platform::ReadWholeFile((folder.Path() / "synth.ws1").string());
    auto carried = platform::ReadEmbeddedProject((folder.Path() / "synth.so").string());
    ASSERT_TRUE(archive && carried);
    UnscrambleProject(*carried);
    EXPECT_EQ(*carried, *archive);
    // Packing the packed library again replaces the project instead of stacking it.
    ASSERT_EQ(RunWirestack({"pack", "synth.ws1", "-o", "again.so"}, folder.Path()).exit_code, 0);
    EXPECT_EQ(platform::ReadWholeFile((folder.Path() / "again.so").string())->size(),
              platform::ReadWholeFile((folder.Path() / "synth.so").string())->size());
}

TEST(PackCommand, RefusesWhatThePluginCouldNotRead) {
    TempFolder folder;
    platform::WriteWholeFile((folder.Path() / "broken.ws1").string(), std::vector<uint8_t>{0x1E, 0x76, 0x01, 0x00, 0x00});
    const auto broken = RunWirestack({"pack", "broken.ws1", "-o", "out.so"}, folder.Path());
    EXPECT_NE(broken.exit_code, 0);
    EXPECT_EQ(tools_test::Lines(broken.err).size(), 1u) << broken.err;
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "out.so"));
    EXPECT_NE(RunWirestack({"pack", "broken.ws1"}, folder.Path()).exit_code, 0) << "no library to write";
}

}  // namespace
