// The built `wirestack` command hosting the built plug-in, run as a person would.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/vst2.h"
#include "tools/json_reader.h"
#include "tool_run.h"
#include "wav_reader.h"

namespace tools_test {
namespace {

using tools::JsonValue;
using tools::ParseJson;

// The pass-through patch adds a 1 kHz sine of amplitude 0.5 to each of its inputs.
constexpr double kToneHz = 1000;
constexpr float kToneAmplitude = 0.5f;

// The pass-through patch compiled into a project archive in the folder; the
// command packs it into a copy of the plug-in to host it.
std::string PassthroughArchive(const TempFolder& folder) {
    const std::string patch = std::string(WS_TEST_FIXTURES_DIR) + "/plugin/fixtures/passthrough.json";
    const std::string archive = (folder.Path() / "passthrough.ws1").string();
    EXPECT_EQ(RunWirestack({"compile", patch, "-o", archive}, folder.Path()).exit_code, 0);
    return archive;
}

JsonValue InfoJson(const std::vector<std::string>& source) {
    TempFolder folder;
    std::vector<std::string> arguments = {"info", "--json"};
    arguments.insert(arguments.end(), source.begin(), source.end());
    ToolRun run = RunWirestack(arguments, folder.Path());
    EXPECT_EQ(run.exit_code, 0) << run.err;
    return ParseJson(run.out);
}

TEST(WirestackCommand, InfoJsonShowsWhatAHostSees) {
    TempFolder project;
    JsonValue info = InfoJson({PassthroughArchive(project)});
    for (const char* key : {"effect_name", "vendor", "product", "unique_id", "unique_id_int", "vst_version",
                            "num_inputs", "num_outputs", "num_programs", "num_params", "flags", "is_synth",
                            "category", "can_do", "programs", "current_program", "parameters", "outputs"})
        EXPECT_TRUE(info.Has(key)) << key;
    EXPECT_EQ(info["effect_name"].text, "Wirestack");
    EXPECT_EQ(info["vendor"].text, "Wirestack");
    EXPECT_EQ(info["unique_id"].text, "WsTk");
    EXPECT_EQ(info["unique_id_int"].number, vst::FourCC("WsTk"));
    EXPECT_EQ(info["num_inputs"].number, 2);
    EXPECT_EQ(info["num_outputs"].number, 2);
    for (const char* question : {"receiveVstMidiEvent", "sendVstMidiEvent", "sendVstTimeInfo"})
        EXPECT_EQ(info["can_do"][question].kind, JsonValue::Kind::kNumber) << question;
    EXPECT_EQ(info["programs"].items.size(), size_t(info["num_programs"].number));
    ASSERT_EQ(info["parameters"].items.size(), size_t(info["num_params"].number));
    for (const JsonValue& parameter : info["parameters"].items)
        for (const char* key : {"index", "name", "label", "display", "value", "automatable"})
            EXPECT_TRUE(parameter.Has(key)) << key;
    ASSERT_EQ(info["outputs"].items.size(), 2u);
    for (const JsonValue& output : info["outputs"].items)
        for (const char* key : {"index", "label", "short_label", "flags"}) EXPECT_TRUE(output.Has(key)) << key;
}

struct Tone {
    float peak = 0;
    double crossings_per_second = 0;
};

Tone Measure(const std::vector<float>& samples, double sample_rate) {
    Tone tone;
    size_t crossings = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        tone.peak = std::max(tone.peak, std::abs(samples[i]));
        if (i > 0 && (samples[i - 1] < 0) != (samples[i] < 0)) ++crossings;
    }
    tone.crossings_per_second = double(crossings) * sample_rate / double(samples.size());
    return tone;
}

TEST(WirestackCommand, WithoutASourceItHostsTheBuiltInDemo) {
    const JsonValue info = InfoJson({});
    EXPECT_EQ(info["unique_id"].text, "WsDm");
    EXPECT_EQ(info["is_synth"].kind, JsonValue::Kind::kBool);
    TempFolder folder;
    ToolRun run = RunWirestack({"info"}, folder.Path());
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_NE(run.out.find("WsDm"), std::string::npos) << run.out;

    // Rendered without notes, the demo plays its phrase: 3.5 s of notes and a second of release.
    ASSERT_EQ(RunWirestack({"render", "-o", "demo.wav"}, folder.Path()).exit_code, 0);
    WavFile wav = ReadWav((folder.Path() / "demo.wav").string());
    EXPECT_EQ(wav.Frames(), size_t(4.5 * 44100));
    const Tone first_note = Measure(wav.Channel(0), 44100);
    EXPECT_GT(first_note.peak, 0.1f);
}

TEST(WirestackCommand, RenderWritesTheToneOfEachOutput) {
    struct Case {
        std::vector<std::string> options;
        std::string file;
        uint32_t rate;
        size_t frames;
    };
    const Case cases[] = {
        {{}, "wirestack.wav", 44100, 88200},
        {{"-o", "short.wav", "--seconds", "0.5", "--rate", "48000", "--block", "100"}, "short.wav", 48000, 24000},
        {{"-o", "notes.wav", "--notes", "69@0+0.25,72@0.1+0.2:60", "--block", "1000"}, "notes.wav", 44100, 57330},
    };
    TempFolder project;
    const std::string archive = PassthroughArchive(project);
    for (const Case& c : cases) {
        TempFolder folder;
        std::vector<std::string> arguments = {"render", archive};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        ToolRun run = RunWirestack(arguments, folder.Path());
        SCOPED_TRACE(run.out + run.err);
        ASSERT_EQ(run.exit_code, 0);
        std::ostringstream wrote;
        wrote << "wrote " << c.file << " (2 channels, " << double(c.frames) / c.rate << " seconds, " << c.rate
              << " Hz)";
        EXPECT_EQ(Lines(run.out), std::vector<std::string>{wrote.str()});

        WavFile wav = ReadWav((folder.Path() / c.file).string());
        EXPECT_EQ(wav.format_tag, 3);
        EXPECT_EQ(wav.channels, 2);
        EXPECT_EQ(wav.sample_rate, c.rate);
        ASSERT_EQ(wav.Frames(), c.frames);
        for (size_t channel = 0; channel < 2; ++channel) {
            Tone tone = Measure(wav.Channel(channel), c.rate);
            EXPECT_NEAR(tone.peak, kToneAmplitude, 0.01);
            EXPECT_NEAR(tone.crossings_per_second, 2 * kToneHz, 2 * kToneHz * 0.02);
        }
    }
}

TEST(WirestackCommand, ALibraryItCannotHostFailsInOneLine) {
    TempFolder folder;
    std::ofstream(folder.Path() / "text.so") << "not a library\n";
    const std::string cases[] = {(folder.Path() / "missing.so").string(), (folder.Path() / "text.so").string(),
                                 WS_FIXTURE_NO_ENTRY_PATH, WS_FIXTURE_NULL_ENTRY_PATH};
    for (const std::string& library : cases) {
        for (const char* command : {"info", "render"}) {
            ToolRun run = RunWirestack({command, library}, folder.Path());
            EXPECT_NE(run.exit_code, 0) << library;
            EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
            EXPECT_NE(run.err.find(library), std::string::npos) << run.err;
            EXPECT_FALSE(std::filesystem::exists(folder.Path() / "wirestack.wav"));
        }
    }
}

TEST(WirestackCommand, ABadOptionFailsNamingIt) {
    struct Bad {
        std::vector<std::string> options;
        std::string named;
    };
    const Bad cases[] = {
        {{"--rate", "fast"}, "fast"},
        {{"--rate", "0"}, "\"0\""},
        {{"--block", "8193"}, "8193"},
        {{"--notes", "69@0+1;72@1+1"}, "69@0+1;72@1+1"},
        {{"--seconds", "-2"}, "-2"},
        {{"--param", "no such knob=0.5"}, "no such knob"},
        {{"--param", "99999=0.5"}, "99999"},
        {{"--program", "99999"}, "99999"},
        {{"--volume", "11"}, "--volume"},
    };
    TempFolder project;
    const std::string archive = PassthroughArchive(project);
    for (const Bad& bad : cases) {
        TempFolder folder;
        std::vector<std::string> arguments = {"render", archive};
        arguments.insert(arguments.end(), bad.options.begin(), bad.options.end());
        ToolRun run = RunWirestack(arguments, folder.Path());
        EXPECT_NE(run.exit_code, 0) << bad.named;
        EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
        EXPECT_NE(run.err.find(bad.named), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(folder.Path() / "wirestack.wav"));
    }
}

TEST(WirestackCommand, PrintsUsageWhenAsked) {
    TempFolder folder;
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{}, {"--help"}, {"render", "-h"}}) {
        ToolRun run = RunWirestack(arguments, folder.Path());
        EXPECT_EQ(run.exit_code, 0);
        EXPECT_EQ(run.out.rfind("usage: wirestack", 0), 0u) << run.out;
    }
}

}  // namespace
}  // namespace tools_test
