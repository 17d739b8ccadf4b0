#include "tools/command_line.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tools {
namespace {

RenderOptions Render(const std::vector<std::string>& arguments) {
    return std::get<RenderOptions>(ParseCommandLine(arguments));
}

TEST(CommandLine, RenderDefaults) {
    RenderOptions options = Render({"render"});
    EXPECT_EQ(options.source, "");
    EXPECT_EQ(options.output, "wirestack.wav");
    EXPECT_FALSE(options.seconds);
    EXPECT_EQ(options.sample_rate, 44100);
    EXPECT_EQ(options.block_size, 512);
    EXPECT_TRUE(options.notes.empty());
    EXPECT_FALSE(options.program);
    EXPECT_TRUE(options.parameters.empty());
}

TEST(CommandLine, RenderTakesEveryOptionInEitherForm) {
    RenderOptions options =
        Render({"render", "--rate=48000", "plug.so", "-o", "out.wav", "--seconds", "1.5", "--block", "8192",
                "--notes", "60@0+1", "--program", "3", "--param", "Cutoff=0.25", "--param=2=1"});
    EXPECT_EQ(options.source, "plug.so");
    EXPECT_EQ(options.output, "out.wav");
    EXPECT_EQ(options.seconds, 1.5);
    EXPECT_EQ(options.sample_rate, 48000);
    EXPECT_EQ(options.block_size, 8192);
    EXPECT_EQ(options.notes, ParseNotes("60@0+1"));
    EXPECT_EQ(options.program, 3);
    ASSERT_EQ(options.parameters.size(), 2u);
    EXPECT_EQ(options.parameters[0].parameter, "Cutoff");
    EXPECT_EQ(options.parameters[0].value, 0.25f);
    EXPECT_EQ(options.parameters[1].parameter, "2");
    EXPECT_EQ(options.parameters[1].value, 1.0f);
}

TEST(CommandLine, RenderPlaysFilesAndRestoresState) {
    RenderOptions midi = Render({"render", "p.so", "--midi", "song.mid", "--state", "s.bin", "--seconds", "0"});
    EXPECT_EQ(midi.midi_file, "song.mid");
    EXPECT_EQ(midi.state_file, "s.bin");
    EXPECT_EQ(midi.seconds, 0.0);
    EXPECT_TRUE(midi.PlaysSomething());
    RenderOptions listed = Render({"render", "--notes-file", ""});
    EXPECT_EQ(listed.notes_file, "");
    EXPECT_TRUE(listed.PlaysSomething());
    EXPECT_FALSE(Render({"render"}).PlaysSomething());
}

TEST(CommandLine, StateSaveTakesTheSettingsOfRender) {
    auto options = std::get<StateSaveOptions>(
        ParseCommandLine({"state", "save", "p.so", "-o", "s.bin", "--program", "2", "--param", "Volume=0.5"}));
    EXPECT_EQ(options.source, "p.so");
    EXPECT_EQ(options.output, "s.bin");
    EXPECT_EQ(options.program, 2);
    ASSERT_EQ(options.parameters.size(), 1u);
    EXPECT_EQ(options.parameters[0].parameter, "Volume");
    EXPECT_EQ(options.parameters[0].value, 0.5f);
}

TEST(CommandLine, InfoAndHelp) {
    auto info = std::get<InfoOptions>(ParseCommandLine({"info", "--json", "x.so"}));
    EXPECT_TRUE(info.json);
    EXPECT_EQ(info.source, "x.so");
    EXPECT_FALSE(std::get<InfoOptions>(ParseCommandLine({"info"})).json);
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {}, {"--help"}, {"-h"}, {"help"}, {"render", "--rate", "1", "--help"}, {"info", "-h"}})
        EXPECT_TRUE(std::holds_alternative<HelpRequest>(ParseCommandLine(arguments)));
}

TEST(CommandLine, ProjectCommands) {
    auto compile = std::get<CompileOptions>(ParseCommandLine({"compile", "patch.json", "-o", "out.ws1"}));
    EXPECT_EQ(compile.source, "patch.json");
    EXPECT_EQ(compile.output, "out.ws1");
    auto decompile = std::get<DecompileOptions>(ParseCommandLine({"decompile", "p.ws1"}));
    EXPECT_EQ(decompile.source, "p.ws1");
    EXPECT_EQ(decompile.output, "");
    EXPECT_TRUE(std::get<InfoOptions>(ParseCommandLine({"info", "p.ws1", "--tree"})).tree);
}

TEST(CommandLine, RefusesBadTextNamingIt) {
    struct Bad {
        std::vector<std::string> arguments;
        std::string named;
    };
    const Bad cases[] = {
        {{"render", "--rate", "0"}, "\"0\""},
        {{"render", "--rate", "-44100"}, "\"-44100\""},
        {{"render", "--rate", "44.1k"}, "\"44.1k\""},
        {{"render", "--block", "0"}, "\"0\""},
        {{"render", "--block", "8193"}, "\"8193\""},
        {{"render", "--seconds", "-1"}, "\"-1\""},
        {{"render", "--seconds", "nan"}, "\"nan\""},
        {{"render", "--notes", "60@x+1"}, "60@x+1"},
        {{"render", "--program", "-1"}, "\"-1\""},
        {{"render", "--param", "Cutoff"}, "\"Cutoff\""},
        {{"render", "--param", "=0.5"}, "\"=0.5\""},
        {{"render", "--param", "Cutoff=1.5"}, "Cutoff=1.5"},
        {{"render", "--param", "Cutoff=high"}, "\"high\""},
        {{"render", "--notes", "60@0+1", "--midi", "a.mid"}, "one of --notes, --notes-file and --midi"},
        {{"render", "--notes-file", "a.txt", "--midi", "a.mid"}, "one of --notes, --notes-file and --midi"},
        {{"state"}, "state needs a subcommand"},
        {{"state", "load", "a.so"}, "state needs a subcommand"},
        {{"state", "save", "a.so"}, "needs -o STATE.bin"},
        {{"state", "save", "a.so", "-o", "s.bin", "--seconds", "1"}, "\"--seconds\""},
        {{"render", "--rate"}, "--rate"},
        {{"render", "--loud"}, "\"--loud\""},
        {{"render", "a.so", "b.so"}, "\"b.so\""},
        {{"info", "--json=yes"}, "\"--json=yes\""},
        {{"info", "--seconds", "1"}, "\"--seconds\""},
        {{"play"}, "\"play\""},
        {{"compile"}, "compile needs a file"},
        {{"decompile", "a.ws1", "--tree"}, "\"--tree\""},
    };
    for (const Bad& bad : cases) {
        try {
            ParseCommandLine(bad.arguments);
            ADD_FAILURE() << "accepted " << testing::PrintToString(bad.arguments);
        } catch (const std::invalid_argument& error) {
            EXPECT_NE(std::string(error.what()).find(bad.named), std::string::npos) << error.what();
        }
    }
}

}  // namespace
}  // namespace tools
