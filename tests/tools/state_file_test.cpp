// The state file `wirestack state save` writes and `render --state` reads, and
// the round trip through a real plug-in.
#include "tools/state_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tool_run.h"
#include "wav_reader.h"

namespace tools_test {
namespace {

using tools::DecodeState;
using tools::EncodeState;
using tools::HostState;
using tools::StateFileError;

const HostState kState{3, {0xCB, 0xFF, 0x0C, 0x00, 0x42}};

TEST(StateFile, LayoutIsMagicVersionProgramLengthChunk) {
    const std::vector<uint8_t> expected = {'W', 's', 'S', 't', 1, 0, 0, 0, 3,    0,    0,    0,
                                           5,   0,   0,   0,   0xCB, 0xFF, 0x0C, 0x00, 0x42};
    EXPECT_EQ(EncodeState(kState), expected);
    EXPECT_EQ(DecodeState(expected), kState);
}

TEST(StateFile, DamagedFilesAreRefusedNamingTheProblem) {
    const std::vector<uint8_t> good = EncodeState(kState);
    auto changed = [&](size_t at, uint8_t value) {
        std::vector<uint8_t> bytes = good;
        bytes[at] = value;
        return bytes;
    };
    std::vector<uint8_t> longer = good;
    longer.push_back(0);
    std::vector<uint8_t> empty_chunk = EncodeState({0, {}});
    struct Bad {
        const char* what;
        std::vector<uint8_t> bytes;
        const char* named;
    };
    const Bad cases[] = {
        {"empty", {}, "truncated: 0 bytes"},
        {"header only in part", {good.begin(), good.begin() + 15}, "truncated: 15 bytes"},
        {"other magic", changed(0, 'w'), "not a Wirestack state file"},
        {"newer version", changed(4, 2), "version 2"},
        {"cut chunk", {good.begin(), good.end() - 1}, "the chunk is 5 bytes but only 4 follow"},
        {"length of 4 GB", changed(15, 0xFF), "only 5 follow"},
        {"bytes after the chunk", longer, "1 bytes follow the 5-byte chunk"},
        {"no chunk", empty_chunk, "holds no chunk"},
    };
    for (const Bad& bad : cases) {
        try {
            DecodeState(bad.bytes);
            ADD_FAILURE() << "accepted " << bad.what;
        } catch (const StateFileError& error) {
            EXPECT_NE(std::string(error.what()).find(bad.named), std::string::npos) << bad.what << ": " << error.what();
        }
    }
}

// The nested-voices example with a "Patch Select", so that its four programs reach the host.
std::string ProgramsArchive(const TempFolder& folder) {
    const std::string archive = (folder.Path() / "programs.ws1").string();
    ToolRun run = RunWirestack(
        {"compile", std::string(WS_TEST_FIXTURES_DIR) + "/tools/fixtures/programs.json", "-o", archive},
        folder.Path());
    EXPECT_EQ(run.exit_code, 0) << run.err;
    return archive;
}

std::vector<float> RenderSamples(const TempFolder& folder, const std::string& archive,
                                 const std::vector<std::string>& settings, const std::string& file) {
    std::vector<std::string> arguments = {"render", archive, "--notes", "60@0+0.5,67@0.25+0.5:70", "-o", file};
    arguments.insert(arguments.end(), settings.begin(), settings.end());
    ToolRun run = RunWirestack(arguments, folder.Path());
    EXPECT_EQ(run.exit_code, 0) << run.err;
    return ReadWav((folder.Path() / file).string()).samples;
}

TEST(StateCommand, ASavedStateReplaysToTheSameAudio) {
    TempFolder folder;
    const std::string archive = ProgramsArchive(folder);
    ToolRun probe = RunWirestack({"state", "save", archive, "-o", "probe.bin"}, folder.Path());
    ASSERT_EQ(probe.exit_code, 0) << probe.err;
    EXPECT_EQ(Lines(probe.out), std::vector<std::string>{"wrote probe.bin (program 0, chunk of " +
                                                         std::to_string(std::filesystem::file_size(
                                                             folder.Path() / "probe.bin") - 16) +
                                                         " bytes)"});

    const std::vector<std::string> settings = {"--program", "2"};
    std::vector<std::string> save = {"state", "save", archive, "-o", "session.bin"};
    save.insert(save.end(), settings.begin(), settings.end());
    ToolRun saved = RunWirestack(save, folder.Path());
    ASSERT_EQ(saved.exit_code, 0) << saved.err;
    const HostState state = tools::ReadStateFile((folder.Path() / "session.bin").string());
    EXPECT_EQ(state.program, 2);
    EXPECT_FALSE(state.chunk.empty());
    EXPECT_EQ(RenderSamples(folder, archive, {"--state", "session.bin"}, "restored.wav"),
              RenderSamples(folder, archive, settings, "direct.wav"));
}

// A plug-in whose state is a chunk of one level per program shows the round
// trip whatever the Wirestack plug-in offers yet.
TEST(StateCommand, ChunkAndProgramComeBackInAFreshPlugin) {
    TempFolder folder;
    const std::string plugin = WS_FIXTURE_CHUNK_PROBE_PATH;
    ToolRun saved = RunWirestack({"state", "save", plugin, "-o", "s.bin", "--program", "2", "--param", "Level=0.25"},
                                 folder.Path());
    ASSERT_EQ(saved.exit_code, 0) << saved.err;
    EXPECT_EQ(Lines(saved.out), std::vector<std::string>{"wrote s.bin (program 2, chunk of 16 bytes)"});
    const HostState state = tools::ReadStateFile((folder.Path() / "s.bin").string());
    EXPECT_EQ(state.program, 2);

    const auto level = [&](const std::vector<std::string>& settings) {
        std::vector<std::string> arguments = {"render", plugin, "--seconds", "0.01", "-o", "out.wav"};
        arguments.insert(arguments.end(), settings.begin(), settings.end());
        ToolRun run = RunWirestack(arguments, folder.Path());
        EXPECT_EQ(run.exit_code, 0) << run.err;
        return ReadWav((folder.Path() / "out.wav").string()).samples.at(0);
    };
    EXPECT_EQ(level({}), 0.5f);
    EXPECT_EQ(level({"--state", "s.bin"}), 0.25f);
    // Settings given with the state apply on top of it.
    EXPECT_EQ(level({"--state", "s.bin", "--program", "0"}), 0.5f);
    EXPECT_EQ(level({"--state", "s.bin", "--param", "Level=1"}), 1.0f);
}

TEST(StateCommand, ADamagedStateFileFailsBeforeRendering) {
    TempFolder folder;
    const std::string archive = ProgramsArchive(folder);
    std::ofstream(folder.Path() / "short.bin") << "WsSt";
    const std::vector<uint8_t> far_program = EncodeState({99, {1, 2, 3}});
    std::ofstream(folder.Path() / "program.bin", std::ios::binary)
        .write(reinterpret_cast<const char*>(far_program.data()), std::streamsize(far_program.size()));
    struct Bad {
        std::string file;
        std::string named;
    };
    const Bad cases[] = {
        {"short.bin", "short.bin: truncated: 4 bytes"},
        {"missing.bin", "missing.bin"},
        {"program.bin", "the state's program 99 is out of range (the plug-in has 4 programs)"},
    };
    for (const Bad& bad : cases)
        ExpectRenderFailed(RunWirestack({"render", archive, "--state", bad.file}, folder.Path()), bad.named,
                           folder.Path());
}

}  // namespace
}  // namespace tools_test
