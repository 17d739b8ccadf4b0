// What the host hands a plug-in, seen through a probe plug-in that writes it
// into its outputs: notes at their exact sample whatever the block size, and a
// transport that follows the render.
#include <gtest/gtest.h>

#include <map>

#include "tool_run.h"
#include "wav_reader.h"

namespace tools_test {
namespace {

constexpr int kRate = 8000;
constexpr size_t kFrames = 400;  // --seconds 0.05

TEST(HostTiming, EventsArriveAtTheirSampleInEveryBlockSize) {
    // Note-ons show as +key, note-offs as -key (see the probe).
    const std::map<size_t, float> expected = {{0, 60}, {100, 64}, {200, -60}, {203, 67}, {280, -64}, {399, -67}};
    for (const char* block : {"1", "7", "100", "512", "8192"}) {
        TempFolder folder;
        ToolRun run = RunWirestack({"render", WS_FIXTURE_EVENT_PROBE_PATH, "--rate", std::to_string(kRate),
                                    "--seconds", "0.05", "--block", block, "--notes",
                                    "64@0.0125+0.0225,60@0+0.025,67@0.025375+0.0245"},
                                   folder.Path());
        SCOPED_TRACE(std::string("block ") + block + ": " + run.err);
        ASSERT_EQ(run.exit_code, 0);
        EXPECT_EQ(Lines(run.err), std::vector<std::string>{"the plug-in sent 3 MIDI events"});

        WavFile wav = ReadWav((folder.Path() / "wirestack.wav").string());
        ASSERT_EQ(wav.Frames(), kFrames);
        std::vector<float> events = wav.Channel(0);
        std::vector<float> positions = wav.Channel(1);
        std::map<size_t, float> found;
        for (size_t frame = 0; frame < kFrames; ++frame) {
            if (events[frame] != 0) found[frame] = events[frame];
            ASSERT_EQ(positions[frame], float(frame)) << "frame " << frame;
        }
        EXPECT_EQ(found, expected);
    }
}

}  // namespace
}  // namespace tools_test
