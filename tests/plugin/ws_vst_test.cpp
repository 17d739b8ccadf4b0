#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <xmmintrin.h>

#include "support/patch_plugin.h"
#include "support/plugin_host.h"

namespace {

constexpr float kRate = 44100.0f;

// Each output is its input plus a 1 kHz tone at 5 V; MIDI passes through.
const std::string& Passthrough() {
    static const std::unique_ptr<packed_plugin> plugin =
        PackPatchFile(std::string(WS_TEST_FIXTURES_DIR) + "/plugin/fixtures/passthrough.json");
    return plugin->Path();
}

// A host for the pass-through patch.
struct patch_host : plugin_host {
    explicit patch_host(intptr_t version = 2300) : plugin_host(version, Passthrough().c_str()) {}
};

// Zero crossings upward per second of a signal with its mean taken away.
double MeasureFrequency(const std::vector<float>& signal, float offset, float rate) {
    int crossings = 0;
    for (std::size_t i = 1; i < signal.size(); ++i)
        if (signal[i - 1] - offset < 0 && signal[i] - offset >= 0) ++crossings;
    return crossings * rate / static_cast<double>(signal.size());
}

float Peak(const std::vector<float>& signal, float offset) {
    float peak = 0;
    for (float v : signal) peak = std::max(peak, std::fabs(v - offset));
    return peak;
}

TEST(PluginEntry, AHostThatAnswersVersionZeroGetsNoPlugin) {
    patch_host host(0);
    EXPECT_EQ(host.Effect(), nullptr);
}

TEST(PluginEntry, ReportsItsIdentity) {
    patch_host host;
    ASSERT_NE(host.Effect(), nullptr);
    const vst::AEffect& effect = *host.Effect();
    EXPECT_EQ(effect.magic, vst::kEffectMagic);
    EXPECT_EQ(effect.uniqueID, vst::FourCC("WsTk"));
    EXPECT_EQ(effect.numInputs, 2);
    EXPECT_EQ(effect.numOutputs, 2);
    EXPECT_EQ(effect.numPrograms, 1);
    EXPECT_EQ(effect.flags & (vst::effFlagsProgramChunks | vst::effFlagsCanReplacing),
              vst::effFlagsProgramChunks | vst::effFlagsCanReplacing);
    EXPECT_EQ(host.Dispatch(vst::effIdentify), 0x4E764566);
    EXPECT_EQ(host.Dispatch(vst::effGetVstVersion), 2300);
    EXPECT_EQ(host.Text(vst::effGetEffectName), "Wirestack");
    EXPECT_EQ(host.Text(vst::effGetProgramNameIndexed, 0), "Patch   1");
    EXPECT_EQ(host.callback_counts[vst::audioMasterNeedIdle], 1);
}

TEST(PluginEntry, CanDoAnswersOnlyWholeStrings) {
    patch_host host;
    const std::pair<const char*, intptr_t> cases[] = {
        {"receiveVstMidiEvent", 1}, {"sendVstMidiEvent", 1},      {"sendVstTimeInfo", -1},
        {"receiveVstMidi", 0},      {"receiveVstMidiEventX", 0}, {"", 0},
    };
    for (auto [text, answer] : cases)
        EXPECT_EQ(host.Dispatch(vst::effCanDo, 0, 0, const_cast<char*>(text)), answer) << '"' << text << '"';
}

TEST(PluginEntry, ProgramsOutOfRangeAreIgnored) {
    patch_host host;
    const intptr_t programs = host.Effect()->numPrograms;
    host.Dispatch(vst::effSetProgram, 0, programs);
    EXPECT_EQ(host.Dispatch(vst::effGetProgram), 0);
    char name[] = "Lead";
    host.Dispatch(vst::effSetProgramName, 0, 0, name);
    EXPECT_EQ(host.Text(vst::effGetProgramName), "Lead");
    host.Dispatch(vst::effCopyProgram, 0);
    EXPECT_EQ(host.Text(vst::effGetProgramName), "(Copy 1) Lead");
}

TEST(PluginEntry, OutputPinsAndParameterTextsOutsideTheTable) {
    patch_host host;
    vst::VstPinProperties pin;
    std::memset(&pin, 0x55, sizeof pin);
    ASSERT_EQ(host.Dispatch(vst::effGetOutputProperties, 1, 0, &pin), 1);
    EXPECT_EQ(pin.flags, vst::kVstPinIsActive);
    EXPECT_STREQ(pin.label, "Right");
    EXPECT_EQ(pin.future[0], 0);
    EXPECT_EQ(host.Dispatch(vst::effGetOutputProperties, 2, 0, &pin), 0);
    EXPECT_EQ(host.Text(vst::effGetParamName, 5), "");
    EXPECT_EQ(host.Dispatch(vst::effCanBeAutomated, 5), 0);
    EXPECT_EQ(host.Effect()->getParameter(host.Effect(), 5), 0.0f);
    host.Effect()->setParameter(host.Effect(), -1, 0.5f);  // ignored
}

TEST(PluginAudio, ProcessBeforeResumeLeavesTheBuffersAlone) {
    patch_host host;
    plugin_host::buffers in(2, 256, 0.0f), out(2, 256, 7.0f);
    host.Process(in, out, 256);
    EXPECT_EQ(out.data[0][0], 7.0f);
    EXPECT_EQ(out.data[1][255], 7.0f);
}

TEST(PluginAudio, OutputIsTheInputPlusTheToneAtEveryBlockSize) {
    for (const int block : {64, 100, 441, 512}) {
        patch_host host;
        host.Resume(kRate, block);
        // Host calls of a size that is not the announced one still line up.
        const int call = block * 3 / 2;
        plugin_host::buffers in(2, call, 0.1f), out(2, call, 0.0f);
        std::vector<float> left;
        while (left.size() < static_cast<std::size_t>(kRate)) {
            host.Process(in, out, call);
            left.insert(left.end(), out.data[0].begin(), out.data[0].end());
        }
        EXPECT_NEAR(MeasureFrequency(left, 0.1f, kRate), 1000.0, 2.0) << "block " << block;
        EXPECT_NEAR(Peak(left, 0.1f), 0.5f, 1e-3) << "block " << block;
        EXPECT_EQ(out.data[0], out.data[1]);
    }
}

TEST(PluginAudio, TheHostsFloatingPointStateIsLeftAsItWas) {
    patch_host host;
    host.Resume(kRate, 64);
    plugin_host::buffers in(2, 64, 0.0f), out(2, 64, 0.0f);
    const unsigned before = _mm_getcsr();
    host.Process(in, out, 64);
    EXPECT_EQ(_mm_getcsr(), before);
}

TEST(PluginAudio, TheAccumulatingCallAddsToWhatTheHostHolds) {
    patch_host host;
    host.Resume(kRate, 64);
    plugin_host::buffers in(2, 64, 0.0f), replaced(2, 64, 1.0f), added(2, 64, 1.0f);
    host.Process(in, added, 64, {}, false);
    host.Suspend();
    host.Resume(kRate, 64);  // a restart chooses again: this one replaces
    host.Process(in, replaced, 64);
    for (int i = 0; i < 64; ++i) ASSERT_NEAR(added.data[0][i], 1.0f + replaced.data[0][i], 1e-6) << i;
}

TEST(PluginAudio, SampleRateChangeRestartsARunningGraph) {
    patch_host host;
    host.Resume(kRate, 512);
    host.Dispatch(vst::effSetSampleRate, 0, 0, nullptr, 48000.0f);
    plugin_host::buffers in(2, 48000, 0.0f), out(2, 48000, 0.0f);
    host.Process(in, out, 48000);
    EXPECT_NEAR(MeasureFrequency(out.data[0], 0.0f, 48000.0f), 1000.0, 2.0);
}

// MIDI from the host passes through the graph and comes back to the host.
class PluginMidi : public ::testing::Test {
protected:
    void SetUp() override { host.Resume(kRate, 512); }
    void Block(const std::vector<plugin_host::midi_in>& midi) { host.Process(in, out, 512, midi); }

    patch_host host;
    plugin_host::buffers in{2, 512, 0.0f};
    plugin_host::buffers out{2, 512, 0.0f};
};

TEST_F(PluginMidi, EventsKeepTheirSampleAndNegativeOffsetsStartTheBlock) {
    Block({{0x90, 60, 100, 37}, {0x80, 60, 0, -5}});
    ASSERT_EQ(host.received_midi.size(), 2u);
    EXPECT_EQ(host.received_midi[0].deltaFrames, 0);
    EXPECT_EQ(uint8_t(host.received_midi[0].midiData[0]), 0x80);
    EXPECT_EQ(host.received_midi[1].deltaFrames, 37);
    EXPECT_EQ(uint8_t(host.received_midi[1].midiData[2]), 100);
    EXPECT_EQ(host.received_midi[1].byteSize, 24);
}

TEST_F(PluginMidi, AnEventForALaterBlockIsSentInTheBlockItFallsIn) {
    Block({{0x90, 64, 90, 600}});
    EXPECT_TRUE(host.received_midi.empty());
    Block({});
    ASSERT_EQ(host.received_midi.size(), 1u);
    EXPECT_EQ(host.received_midi[0].deltaFrames, 600 - 512);
}

TEST_F(PluginMidi, ProgramChangeAndChannelPressureCarry255) {
    Block({{0xC3, 5, 64, 0}, {0xD0, 20, 64, 1}, {0xB0, 7, 64, 2}});
    ASSERT_EQ(host.received_midi.size(), 3u);
    EXPECT_EQ(uint8_t(host.received_midi[0].midiData[2]), 255);
    EXPECT_EQ(uint8_t(host.received_midi[1].midiData[2]), 255);
    EXPECT_EQ(uint8_t(host.received_midi[2].midiData[2]), 64);
}

TEST_F(PluginMidi, OtherEventTypesAreIgnored) {
    vst::VstEvent sysex{};
    sysex.type = 6;
    std::vector<std::byte> block(offsetof(vst::VstEvents, events) + 2 * sizeof(vst::VstEvent*));
    auto* list = reinterpret_cast<vst::VstEvents*>(block.data());
    list->numEvents = 1;
    list->events[0] = &sysex;
    host.Dispatch(vst::effProcessEvents, 0, 0, list);
    host.Effect()->processReplacing(host.Effect(), in.pointers.data(), out.pointers.data(), 512);
    EXPECT_TRUE(host.received_midi.empty());
}

TEST(PluginThreads, SuspendAndResumeWhileTheAudioThreadKeepsCalling) {
    patch_host host;
    host.Resume(kRate, 256);
    std::atomic<bool> stop{false};
    std::atomic<int> calls{0};
    std::thread audio([&] {
        plugin_host::buffers in(2, 256, 0.0f), out(2, 256, 0.0f);
        while (!stop.load()) {
            host.Effect()->processReplacing(host.Effect(), in.pointers.data(), out.pointers.data(), 256);
            for (float v : out.data[0]) ASSERT_LE(std::fabs(v), 0.5f + 1e-4f);
            ++calls;
        }
    });
    for (int round = 0; round < 200; ++round) {
        host.Suspend();
        host.Resume(round % 2 == 0 ? 48000.0f : kRate, 256);
    }
    while (calls.load() < 100) std::this_thread::yield();
    stop = true;
    audio.join();
}

}  // namespace
