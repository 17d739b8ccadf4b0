// `wirestack render` playing a MIDI file and a note list, as the shared peer
// benchmark drives it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "midi_file_builder.h"
#include "tool_run.h"
#include "wav_reader.h"

namespace tools_test {
namespace {

// One tick a millisecond: a second a quarter note over 1000 ticks.
constexpr uint16_t kTicksPerSecond = 1000;

void WriteBytes(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Key 69 from 0 to 1 s at velocity 100 and key 72 from 0.5 to 1.5 s at 80; the
// track ends at 2 s.
Bytes TwoNotesFile() {
    Bytes conductor;
    Append(conductor, At(0, Tempo(1000000)));
    Append(conductor, At(0, kEndOfTrack));
    Bytes notes;
    for (const Bytes& event : {At(0, {0x90, 69, 100}), At(500, {0x90, 72, 80}), At(500, {0x80, 69, 64}),
                               At(500, {0x80, 72, 64}), At(500, kEndOfTrack)})
        Append(notes, event);
    return File(1, kTicksPerSecond, {conductor, notes});
}

std::vector<float> Samples(const TempFolder& folder, const std::string& file) {
    return ReadWav((folder.Path() / file).string()).samples;
}

ToolRun Render(const TempFolder& folder, std::vector<std::string> options) {
    options.insert(options.begin(), "render");
    return RunWirestack(options, folder.Path());
}

TEST(RenderInput, AMidiFileANoteListAndNotesPlayTheSameSamples) {
    TempFolder folder;
    WriteBytes(folder.Path() / "two.mid", TwoNotesFile());
    std::ofstream(folder.Path() / "two.txt") << "# key start duration velocity\n69 0 1 100\n\n72 0.5 1.0 80  # second\n";
    const std::vector<std::string> timing = {"--seconds", "2.5", "--block", "64"};
    for (auto [input, output] : {std::pair<std::vector<std::string>, std::string>{{"--midi", "two.mid"}, "midi.wav"},
                                 {{"--notes-file", "two.txt"}, "list.wav"},
                                 {{"--notes", "69@0+1:100,72@0.5+1:80"}, "notes.wav"}}) {
        input.insert(input.end(), timing.begin(), timing.end());
        input.insert(input.end(), {"-o", output});
        ToolRun run = Render(folder, input);
        ASSERT_EQ(run.exit_code, 0) << run.err;
    }
    const std::vector<float> notes = Samples(folder, "notes.wav");
    ASSERT_EQ(notes.size(), size_t(2.5 * 44100) * 2);
    EXPECT_GT(*std::max_element(notes.begin(), notes.end()), 0.05f);
    EXPECT_EQ(Samples(folder, "midi.wav"), notes);
    EXPECT_EQ(Samples(folder, "list.wav"), notes);
}

TEST(RenderInput, LengthFollowsTheFileUnlessGiven) {
    TempFolder folder;
    WriteBytes(folder.Path() / "two.mid", TwoNotesFile());
    struct Case {
        std::vector<std::string> options;
        size_t frames;
    };
    const Case cases[] = {
        {{"--midi", "two.mid"}, 3 * 44100},  // the end of the track and a second of release
        {{"--midi", "two.mid", "--seconds", "0"}, 0},
        {{"--notes-file", "", "--seconds", "0.1"}, 4410},  // an empty name is no notes
    };
    for (const Case& c : cases) {
        std::vector<std::string> options = c.options;
        options.insert(options.end(), {"-o", "out.wav"});
        ToolRun run = Render(folder, options);
        ASSERT_EQ(run.exit_code, 0) << run.err;
        EXPECT_EQ(ReadWav((folder.Path() / "out.wav").string()).Frames(), c.frames);
    }
}

TEST(RenderInput, ABadInputFileFailsInOneLineNamingIt) {
    TempFolder folder;
    Bytes cut = TwoNotesFile();
    cut.resize(cut.size() - 5);
    WriteBytes(folder.Path() / "cut.mid", cut);
    std::ofstream(folder.Path() / "bad.txt") << "69 0 1 100\n70 0 one 100\n";
    std::ofstream(folder.Path() / "big.txt") << "200 0 1 100\n";
    struct Bad {
        std::vector<std::string> options;
        std::string named;
    };
    const Bad cases[] = {
        {{"--midi", "cut.mid"}, "cut.mid: the chunk at byte 33 is 24 bytes long but only 19 bytes are left"},
        {{"--midi", "missing.mid"}, "missing.mid"},
        {{"--notes-file", "bad.txt"}, "bad.txt: line 2"},
        {{"--notes-file", "big.txt"}, "\"200\""},
        {{"--notes-file", "missing.txt"}, "missing.txt"},
    };
    for (const Bad& bad : cases) ExpectRenderFailed(Render(folder, bad.options), bad.named, folder.Path());
}

}  // namespace
}  // namespace tools_test
