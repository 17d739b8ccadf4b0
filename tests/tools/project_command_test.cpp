// The built `wirestack` command on patch texts and project archives: compile,
// decompile and info --tree, run as a person would.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "project/project_document.h"
#include "tool_run.h"
#include "tools/json_reader.h"
#include "tools/patch_text.h"

namespace tools_test {
namespace {

const std::filesystem::path kSynthExample = std::filesystem::path(WS_EXAMPLES_DIR) / "synth_chain.json";
const std::filesystem::path kNestedExample = std::filesystem::path(WS_EXAMPLES_DIR) / "nested_slider.json";

std::string FileText(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void WriteText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

bool HasLine(const std::string& text, const std::string& line) {
    for (const std::string& each : Lines(text))
        if (each.find(line) != std::string::npos) return true;
    return false;
}

// The one line a failure prints.
void ExpectFailureSaying(const ToolRun& run, const std::string& said) {
    EXPECT_NE(run.exit_code, 0);
    EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
    EXPECT_NE(run.err.find(said), std::string::npos) << run.err;
}

// A compiled example, in the folder.
std::filesystem::path Compiled(const TempFolder& folder, const std::filesystem::path& example) {
    const std::filesystem::path archive = folder.Path() / example.filename().replace_extension(".ws1");
    const ToolRun run = RunWirestack({"compile", example.string(), "-o", archive.string()}, folder.Path());
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, "wrote " + archive.string() + "\n");
    return archive;
}

TEST(ProjectCommands, InfoTreeShowsContainersModulesPlugsAndWires) {
    TempFolder folder;
    const ToolRun run = RunWirestack({"info", Compiled(folder, kSynthExample).string(), "--tree"}, folder.Path());
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_TRUE(HasLine(run.out, "unique id:    \"WsSy\""));
    EXPECT_TRUE(HasLine(run.out, "top container: \"Synth\""));
    EXPECT_TRUE(HasLine(run.out, "  container \"Synth\" [Container]"));
    EXPECT_TRUE(HasLine(run.out, "    module \"Osc\" [Oscillator]"));
    EXPECT_TRUE(HasLine(run.out, "      plug 1 \"Attack\" in audio = \"0.5\""));
    EXPECT_TRUE(HasLine(run.out, "    wire \"Osc\" plug 3 \"Audio Out\" -> \"Amp\" plug 0 \"Signal\""));
    EXPECT_TRUE(HasLine(run.out, "      plug 0 \"MIDI In\" out midi = \"\" (1 wire)"));
}

TEST(ProjectCommands, DecompileGivesTheTextThatCompilesToTheSameProject) {
    TempFolder folder;
    for (const auto& example : {kSynthExample, kNestedExample}) {
        const std::filesystem::path archive = Compiled(folder, example);
        const ToolRun run = RunWirestack({"decompile", archive.string()}, folder.Path());
        ASSERT_EQ(run.exit_code, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out, tools::DecompileToPatchText(*tools::CompilePatchText(FileText(example))));

        const std::filesystem::path text = folder.Path() / "again.json";
        const ToolRun to_file = RunWirestack({"decompile", archive.string(), "-o", text.string()}, folder.Path());
        EXPECT_EQ(to_file.out, "wrote " + text.string() + "\n");
        EXPECT_EQ(FileText(text), run.out);
        const ToolRun again = RunWirestack({"compile", text.string()}, folder.Path());
        ASSERT_EQ(again.exit_code, 0) << again.err;
        EXPECT_EQ(FileText(folder.Path() / "again.ws1"), FileText(archive)) << example;
    }
}

// The type ID of the oscillator changed to one the registry does not know.
std::filesystem::path WithUnknownModuleType(const TempFolder& folder) {
    const std::filesystem::path archive = Compiled(folder, kSynthExample);
    std::string bytes = FileText(archive);
    const std::string known = "\x0a" "Oscillator";
    const std::size_t at = bytes.find(known);
    EXPECT_NE(at, std::string::npos);
    bytes.replace(at, known.size(), "\x0a" "Oscillatoz");
    const std::filesystem::path changed = folder.Path() / "unknown.ws1";
    WriteText(changed, bytes);
    return changed;
}

TEST(ProjectCommands, ModulesOfUnknownTypesAreShownAndDecompiledWithAWarning) {
    TempFolder folder;
    const std::filesystem::path archive = WithUnknownModuleType(folder);
    const ToolRun tree = RunWirestack({"info", archive.string(), "--tree"}, folder.Path());
    ASSERT_EQ(tree.exit_code, 0) << tree.err;
    EXPECT_TRUE(HasLine(tree.out, "module \"Osc\" [Oscillatoz] (type not known)"));

    const ToolRun text = RunWirestack({"decompile", archive.string()}, folder.Path());
    ASSERT_EQ(text.exit_code, 0) << text.err;
    EXPECT_EQ(tools::ParseJson(text.out)["modules"].items[0]["modules"].items[1]["type"].text, "Oscillatoz");
    EXPECT_NE(text.err.find("warning: the patch text of"), std::string::npos) << text.err;
}

TEST(ProjectCommands, MalformedArchivesAndMistakesEndWithOneLine) {
    TempFolder folder;
    const std::filesystem::path archive = Compiled(folder, kSynthExample);
    const std::string bytes = FileText(archive);
    const std::filesystem::path cut = folder.Path() / "cut.ws1";
    WriteText(cut, bytes.substr(0, bytes.size() / 2));
    const std::filesystem::path bad_text = folder.Path() / "bad.json";
    WriteText(bad_text, R"({"modules": [{"type": "Oscillator", "plugs": {"Pich": "1"}}]})");

    ExpectFailureSaying(RunWirestack({"info", cut.string(), "--tree"}, folder.Path()), "archive error at byte ");
    ExpectFailureSaying(RunWirestack({"decompile", cut.string()}, folder.Path()), "archive error at byte ");
    ExpectFailureSaying(RunWirestack({"compile", bad_text.string()}, folder.Path()), "no plug \"Pich\"");
    ExpectFailureSaying(RunWirestack({"compile", (folder.Path() / "none.json").string()}, folder.Path()), "cannot read");
    ExpectFailureSaying(RunWirestack({"info", WS_PLUGIN_PATH, "--tree"}, folder.Path()), "--tree shows project archives");
    ExpectFailureSaying(RunWirestack({"decompile"}, folder.Path()), "decompile needs a file");
}

TEST(ProjectCommands, CompileWritesBesideThePatchTextByDefault) {
    TempFolder folder;
    const std::filesystem::path text = folder.Path() / "patch.json";
    std::filesystem::copy_file(kNestedExample, text);
    const ToolRun run = RunWirestack({"compile", "patch.json"}, folder.Path());
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, "wrote patch.ws1\n");
    EXPECT_TRUE(std::filesystem::exists(folder.Path() / "patch.ws1"));
}

}  // namespace
}  // namespace tools_test
