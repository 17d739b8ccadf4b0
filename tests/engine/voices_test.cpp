// Voices and note sources, played through graphs built from documents:
// "Midi to CV" voltages, voice allocation, stealing, the sustain pedal,
// sleeping voices, Mono Mode, pitch bend and glide, and the drum trigger.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numbers>
#include <string>
#include <vector>

#include "modules/note_sources.h"
#include "support/graph_rig.h"

namespace {

constexpr int kBlock = 64;
constexpr float kRate = 44100.0f;

// Keys -> [container: note source]: a container played from MIDI.
struct played_container {
    played_container(const char* container_title, const char* note_source_type) {
        RegisterGraphTestModules();
        keys = AddModule(*root, kSourceModule, "Keys");
        box = AddContainer(*root, container_title);
        note_source = AddModule(*box, note_source_type, container_title);
        Wire(InsideSpare(*box), PlugOf(*note_source, "MIDI In"));
        Wire(PlugOf(*keys, "MIDI Out"), PlugOf(*box, "MIDI In"));
    }
    std::unique_ptr<CContainer> root = MakeContainer("Root");
    CUG* keys;
    CContainer* box;
    CUG* note_source;
};

// MIDI to CV -> Gate probe -> out -> Outside probe. The gate probe is copied
// per voice; its output leaves the voice, so a voice monitor watches it.
struct poly_patch : played_container {
    explicit poly_patch(int polyphony, const std::map<std::string, std::string>& settings = {})
        : played_container("Box", "Midi to CV") {
        CUG* gate_probe = AddModule(*box, kProbeModule, "Gate Probe");
        CUG* outside = AddModule(*root, kProbeModule, "Outside");
        PlugOf(*box, "Polyphony").StoreValueText(std::to_string(polyphony));
        for (const auto& [plug, value] : settings) PlugOf(*note_source, plug).StoreValueText(value);
        Wire(PlugOf(*note_source, "Gate"), PlugOf(*gate_probe, "In"));
        Wire(PlugOf(*gate_probe, "Out"), InsideSpare(*box));
        Wire(PlugOf(*box, "Out"), PlugOf(*outside, "In"));
    }
};

class voice_rig : public graph_rig {
public:
    explicit voice_rig(played_container& patch) : graph_rig(*patch.root, kBlock, kRate), patch_(patch) { Start(); }

    // A MIDI message `offset` samples into the next block.
    void Midi(int offset, int status, int data1, int data2) {
        UnitOf<ug_source>(patch_.keys).GetPlug(1)->TransmitMidi(master.SampleClock() + offset,
                                                                 status | (data1 << 8) | (data2 << 16));
    }
    void NoteOn(int note, int velocity = 100, int offset = 0) { Midi(offset, 0x90, note, velocity); }
    void NoteOff(int note, int offset = 0) { Midi(offset, 0x80, note, 0); }

    ug_container& Voices() { return UnitOf<ug_container>(patch_.box); }
    Voice& VoiceAt(int index) { return Voices().GetVoice(index); }
    UPlug* Output(int voice, const char* name) { return VoiceAt(voice).note_source->GetPlugByName(name); }
    // The voice holding a note, or -1.
    int VoiceHolding(int note) {
        for (int index = 0; index < Voices().VoiceCount(); ++index)
            if (VoiceAt(index).note == note && VoiceAt(index).IsHeld()) return index;
        return -1;
    }

private:
    played_container& patch_;
};

// Pitch of a note: 1 V per octave, 5 V = A 440 Hz (note 69).
float NotePitch(int note) { return (static_cast<float>(note) - 69.0f) / 12.0f * 0.1f + 0.5f; }

struct pitch_case {
    int note;
    float pitch;
};

class MidiToCvNotes : public ::testing::TestWithParam<pitch_case> {};

TEST_P(MidiToCvNotes, GiveGatePitchAndVelocityAtTheirSamples) {
    poly_patch patch(4);
    voice_rig rig(patch);
    rig.Run(4);
    rig.NoteOn(GetParam().note, 100, 10);
    auto on = rig.Record({rig.Output(0, "Gate"), rig.Output(0, "Pitch"), rig.Output(0, "Velocity")}, 2);
    rig.NoteOff(GetParam().note, 20);
    const std::vector<float> off = rig.Record(rig.Output(0, "Gate"), 1);

    for (int i = 0; i < 2 * kBlock; ++i) {
        // The gate opens 3 samples after the note.
        ASSERT_EQ(on[0][i], i < 13 ? 0.0f : 1.0f) << i;
        if (i < 10) continue;
        ASSERT_NEAR(on[1][i], GetParam().pitch, 1e-6f) << i;
        ASSERT_FLOAT_EQ(on[2][i], 100.0f / 127.0f) << i;
    }
    EXPECT_NEAR(GetParam().pitch, NotePitch(GetParam().note), 1e-6f);
    for (int i = 0; i < kBlock; ++i) ASSERT_EQ(off[i], i < 20 ? 1.0f : 0.0f) << i;
}

INSTANTIATE_TEST_SUITE_P(Voices, MidiToCvNotes,
                         ::testing::Values(pitch_case{69, 0.5f}, pitch_case{60, 0.425f}, pitch_case{81, 0.6f}));

TEST(Voices, AreMadeUpToThePolyphonyAndTheOldestIsStolen) {
    poly_patch patch(4);
    voice_rig rig(patch);
    ASSERT_EQ(rig.Voices().VoiceCount(), 4);
    for (int index = 1; index < 4; ++index) {
        EXPECT_NE(rig.VoiceAt(index).note_source, rig.VoiceAt(0).note_source);
        EXPECT_NE(rig.VoiceAt(index).note_source->flags & UGF_CLONE, 0u);
    }
    rig.Run(2);
    std::vector<int> taken;
    for (int note : {60, 62, 64, 65}) {
        rig.NoteOn(note);
        rig.Run(1);
        taken.push_back(rig.VoiceHolding(note));
    }
    // The first note takes voice 0, the others the highest free voice first.
    EXPECT_EQ(taken, (std::vector<int>{0, 3, 2, 1}));

    rig.NoteOn(67, 100, 7);
    const std::vector<float> gate = rig.Record(rig.Output(0, "Gate"), 1);
    EXPECT_EQ(rig.VoiceHolding(67), 0);
    EXPECT_EQ(rig.VoiceHolding(60), -1);
    // The stolen voice's gate falls for 3 samples: envelopes start again.
    for (int i = 0; i < kBlock; ++i) ASSERT_EQ(gate[i], i >= 7 && i < 10 ? 0.0f : 1.0f) << i;
}

TEST(Voices, TheVoiceReleasedLongestAgoIsChosenFirst) {
    poly_patch patch(4);
    voice_rig rig(patch);
    rig.Run(2);
    for (int note : {60, 62, 64, 65}) {
        rig.NoteOn(note);
        rig.Run(1);
    }
    rig.NoteOff(62);  // voice 3
    rig.Run(1);
    rig.NoteOff(64);  // voice 2
    rig.Run(1);
    rig.NoteOn(67);
    rig.Run(1);
    EXPECT_EQ(rig.VoiceHolding(67), 3);
    rig.NoteOn(69);
    rig.Run(1);
    EXPECT_EQ(rig.VoiceHolding(69), 2);
}

TEST(Voices, ANoteStruckAgainCutsItsVoiceShortAndTakesAnother) {
    poly_patch patch(4);
    voice_rig rig(patch);
    rig.Run(2);
    rig.NoteOn(60);
    rig.Run(1);
    const uint32_t second_strike = rig.master.SampleClock() + 5;
    rig.NoteOn(60, 100, 5);
    const std::vector<float> first_gate = rig.Record(rig.Output(0, "Gate"), 1);
    EXPECT_TRUE(rig.VoiceAt(0).hard_released);
    EXPECT_EQ(rig.VoiceAt(0).release_time, second_strike);
    EXPECT_EQ(rig.VoiceHolding(60), 3);
    EXPECT_EQ(first_gate[4], 1.0f);
    EXPECT_EQ(first_gate[5], 0.0f);  // the hard note off closes the first voice's gate
}

TEST(Voices, TheSustainPedalHoldsReleasedNotesUntilItIsLifted) {
    poly_patch patch(4);
    voice_rig rig(patch);
    rig.Run(2);
    rig.Midi(0, 0xB0, 64, 127);
    rig.NoteOn(60);
    rig.Run(1);
    rig.NoteOff(60);
    rig.Run(2);
    EXPECT_TRUE(rig.VoiceAt(0).IsHeld());
    EXPECT_TRUE(rig.VoiceAt(0).pedal_held);

    const uint32_t lifted = rig.master.SampleClock() + 9;
    rig.Midi(9, 0xB0, 64, 0);
    const std::vector<float> gate = rig.Record(rig.Output(0, "Gate"), 1);
    EXPECT_EQ(rig.VoiceAt(0).release_time, lifted);
    EXPECT_FALSE(rig.VoiceAt(0).pedal_held);
    for (int i = 0; i < kBlock; ++i) ASSERT_EQ(gate[i], i < 9 ? 1.0f : 0.0f) << i;
}

bool IsSuspended(const ug_base* ug) { return (ug->flags & UGF_SUSPENDED) != 0; }

TEST(Voices, ASilentReleasedVoiceSleepsAndIsTheNextChoice) {
    poly_patch patch(2);
    voice_rig rig(patch);
    rig.Run(3);
    // Voices that never played go to sleep at once.
    EXPECT_TRUE(rig.VoiceAt(0).suspended);
    EXPECT_TRUE(rig.VoiceAt(1).suspended);

    rig.NoteOn(60);  // voice 0
    rig.Run(1);
    rig.NoteOn(62);  // voice 1
    rig.Run(1);
    EXPECT_FALSE(rig.VoiceAt(0).suspended);
    rig.NoteOff(60);
    rig.Run(1);
    EXPECT_FALSE(rig.VoiceAt(0).suspended);  // its output has just changed
    rig.Run(2);
    Voice& released = rig.VoiceAt(0);
    ASSERT_TRUE(released.suspended);
    EXPECT_EQ(released.release_time, 0u);
    for (ug_base* ug : released.unit_generators)
        EXPECT_EQ(IsSuspended(ug), ug != released.note_source && (ug->flags & UGF_POLYPHONIC) != 0) << ug->Title();
    EXPECT_FALSE(rig.VoiceAt(1).suspended);  // still held

    rig.NoteOn(64);
    rig.Run(1);
    EXPECT_EQ(rig.VoiceHolding(64), 0);
    EXPECT_FALSE(released.suspended);
    for (ug_base* ug : released.unit_generators) EXPECT_FALSE(IsSuspended(ug)) << ug->Title();
}

TEST(Voices, PitchBendGlidesToItsValueInASixtiethOfASecond) {
    poly_patch patch(1);
    voice_rig rig(patch);
    rig.Run(2);
    rig.NoteOn(60);
    rig.Run(1);
    rig.Midi(0, 0xE0, 0x7f, 0x7f);  // +8191
    const std::vector<float> pitch = rig.Record(rig.Output(0, "Pitch"), 14);
    const float bent = 0.425f + 8191.0f / 8192.0f * 12.0f / 120.0f;  // Bend Range 12
    const int glide = static_cast<int>(kRate / 60.0f);
    EXPECT_NEAR(pitch[0], 0.425f, 1e-6f);
    EXPECT_NEAR(pitch[glide / 2], (0.425f + bent) / 2.0f, 2e-4f);
    EXPECT_NEAR(pitch[glide + 1], bent, 1e-6f);
    EXPECT_NEAR(pitch.back(), bent, 1e-6f);
}

TEST(Voices, PortamentoGlidesFromTheLastNote) {
    poly_patch patch(1, {{"Portamento Time", "5"}});
    voice_rig rig(patch);
    rig.Run(2);
    rig.NoteOn(60);
    rig.Run(1);
    rig.NoteOn(72, 100, 1);  // played legato: it takes the one voice and glides
    // 5 V: 2^(5 - 8.667) s.
    const float seconds = std::pow(2.0f, 5.0f - 8000.0f / 1200.0f - 2.0f);
    const int glide = static_cast<int>(seconds * kRate);
    const std::vector<float> pitch = rig.Record(rig.Output(0, "Pitch"), glide / kBlock + 2);
    EXPECT_NEAR(seconds, 0.0787f, 1e-4f);
    EXPECT_NEAR(pitch[1], 0.425f, 1e-5f);
    EXPECT_NEAR(pitch[1 + glide / 2], 0.475f, 1e-4f);
    EXPECT_NEAR(pitch.back(), 0.525f, 1e-6f);
}

TEST(Voices, MonoModeLastPriorityReplaysTheKeyStillHeld) {
    poly_patch patch(4, {{"Mono Mode", "1"}, {"Portamento Time", "5"}});
    voice_rig rig(patch);
    rig.Run(2);
    rig.NoteOn(60, 100);
    rig.Run(1);
    rig.NoteOn(64, 40);
    rig.Run(1);
    EXPECT_EQ(rig.VoiceHolding(64), 0);
    rig.NoteOff(64);
    const std::vector<float> velocity = rig.Record(rig.Output(0, "Velocity"), 100);
    EXPECT_EQ(rig.VoiceHolding(60), 0);
    EXPECT_NEAR(velocity.back(), 100.0f / 127.0f, 1e-6f);
    EXPECT_NEAR(rig.Output(0, "Pitch")->Block()->Get(kBlock - 1), NotePitch(60), 1e-6f);
    for (int index = 1; index < 4; ++index) EXPECT_EQ(rig.VoiceAt(index).start_time, 0u);  // voice 0 only
}

TEST(Voices, MonoModeLowPriorityPlaysTheLowestKey) {
    poly_patch patch(4, {{"Mono Mode", "1"}, {"Mono Note Priority", "1"}});
    voice_rig rig(patch);
    rig.Run(2);
    rig.NoteOn(60);
    rig.Run(1);
    rig.NoteOn(64);  // a higher key: nothing new sounds
    rig.Run(1);
    EXPECT_EQ(rig.VoiceHolding(60), 0);
    EXPECT_EQ(rig.VoiceHolding(64), -1);
    rig.NoteOff(60);
    rig.Run(1);
    EXPECT_EQ(rig.VoiceHolding(64), 0);
    EXPECT_NEAR(rig.Output(0, "Pitch")->Block()->Get(kBlock - 1), NotePitch(64), 1e-6f);
}

TEST(Voices, TwoNoteSourcesInOneVoiceAreReported) {
    RegisterGraphTestModules();
    std::unique_ptr<CContainer> root = MakeContainer("Root");
    CContainer* box = AddContainer(*root, "Box");
    // A container's newest module comes first: "Kept" is built first.
    AddModule(*box, "Midi to CV", "Reported");
    CUG* kept = AddModule(*box, "Midi to CV", "Kept");
    graph_rig rig(*root);
    const std::vector<std::string> messages = rig.client.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages.front(),
              "Reported : You have several 'MidiToCv', 'Soundfont Player', or 'Drum Trigger' modules together. Put "
              "each in it's own container.");
    EXPECT_EQ(graph_rig::UnitOf<ug_container>(box).GetVoice(0).note_source, kept->unit_generator);
}

// Note-source identities spread along wires within a container: a module
// reached from two sources holds 0, a barrier holds none.
TEST(NoteSourceIdentity, SpreadsAlongWiresUpToBarriers) {
    engine_fixture engine;
    auto* first = engine.Add<ug_probe>(0);
    auto* second = engine.Add<ug_probe>(0);
    auto* barrier = engine.Add<ug_probe>(0);
    barrier->flags |= UGF_POLYPHONIC_BARRIER;
    Connect(first->GetPlug(1), second->GetPlug(0));
    Connect(first->GetPlug(1), barrier->GetPlug(0));

    first->SpreadNoteSourceDown(1);
    EXPECT_EQ(std::vector<int32_t>({first->note_source, second->note_source, barrier->note_source}),
              std::vector<int32_t>({1, 1, -1}));
    first->SpreadNoteSourceDown(2);
    EXPECT_EQ(std::vector<int32_t>({first->note_source, second->note_source}), std::vector<int32_t>({0, 0}));

    auto* upstream = engine.Add<ug_probe>(0);
    auto* downstream = engine.Add<ug_probe>(0);
    Connect(upstream->GetPlug(1), downstream->GetPlug(0));
    downstream->SpreadNoteSourceUp(4);
    EXPECT_EQ(upstream->note_source, 4);
}

// Drum Trigger: Kick Trig -> Kick probe, Snare Trig -> Snare probe, both out.
struct drum_patch : played_container {
    drum_patch() : played_container("Drums", "Drum Trigger") {
        kick = AddModule(*box, kProbeModule, "Kick");
        snare = AddModule(*box, kProbeModule, "Snare");
        Wire(PlugOf(*note_source, "Kick Trig"), PlugOf(*kick, "In"));
        Wire(PlugOf(*note_source, "Snare Trig"), PlugOf(*snare, "In"));
        Wire(PlugOf(*kick, "Out"), InsideSpare(*box));
        Wire(PlugOf(*snare, "Out"), InsideSpare(*box));
    }
    CUG* kick;
    CUG* snare;
};

TEST(DrumTrigger, EachDrivenDrumGetsAVoiceOfItsOwn) {
    drum_patch patch;
    graph_rig rig(*patch.root);
    ug_container& voices = graph_rig::UnitOf<ug_container>(patch.box);
    ASSERT_EQ(voices.VoiceCount(), 3);
    for (int index : {1, 2}) {
        const Voice& voice = voices.GetVoice(index);
        EXPECT_EQ(voice.note_source, patch.note_source->unit_generator);
        const ug_base* driven = (index == 1 ? patch.kick : patch.snare)->unit_generator;
        EXPECT_TRUE(voice.Contains(driven)) << index;
    }
    EXPECT_EQ(patch.note_source->unit_generator->flags & UGF_POLYPHONIC, 0u);  // the trigger itself is not copied
}

struct drum_case {
    int note;
    const char* trigger;  // the output that fires, or none
};

class DrumNotes : public ::testing::TestWithParam<drum_case> {};

// Trigger: up 3 samples after the note; a note off 1 ms later still leaves
// it up for 20 ms from the note.
TEST_P(DrumNotes, FireTheirDrumsTriggerForAtLeastTwentyMilliseconds) {
    drum_patch patch;
    voice_rig rig(patch);
    rig.Run(2);
    rig.NoteOn(GetParam().note, 127, 10);
    rig.NoteOff(GetParam().note, 10 + 44);
    ug_base& drums = graph_rig::UnitOf(patch.note_source);
    const auto recorded = rig.Record({drums.GetPlugByName("Kick Trig"), drums.GetPlugByName("Snare Trig")}, 16);
    const int minimum = static_cast<int>(kRate * 20 / 1000);
    for (std::size_t output = 0; output < recorded.size(); ++output) {
        const char* drum = output == 0 ? "Kick" : "Snare";
        const bool fires = GetParam().trigger != nullptr && std::string(GetParam().trigger) == drum;
        for (int i = 0; i < static_cast<int>(recorded[output].size()); ++i) {
            const bool up = fires && i >= 13 && i < 10 + minimum;
            ASSERT_EQ(recorded[output][i], up ? 1.0f : 0.0f) << drum << " at " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(DrumTrigger, DrumNotes,
                         ::testing::Values(drum_case{36, "Kick"}, drum_case{35, "Kick"}, drum_case{40, "Snare"},
                                           drum_case{60, nullptr}, drum_case{42, nullptr}));

TEST(DrumTrigger, VelocityRampsInFourSamplesAndHiHatNotesSetTheDecay) {
    drum_patch patch;
    voice_rig rig(patch);
    rig.Run(2);
    rig.NoteOn(36, 100, 10);
    rig.NoteOn(46, 100, 20);  // open hi-hat
    ug_base& drums = graph_rig::UnitOf(patch.note_source);
    const auto recorded = rig.Record({drums.GetPlug(6), drums.GetPlugByName("Hi Hat Decay")}, 1);
    const float velocity = 100.0f / 127.0f;
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(recorded[0][10 + i], velocity * (i + 1) / 4.0f, 1e-6f) << i;
    EXPECT_FLOAT_EQ(recorded[0][20], velocity);
    EXPECT_EQ(recorded[1][19], 0.0f);
    EXPECT_FLOAT_EQ(recorded[1][20], 0.5f);  // "Open HH Decay", 5 V
}

// A whole voice of sound modules: oscillator, envelope and amplifier per
// voice, summed by a voice combiner outside the voices.
TEST(Voices, VoicesOfSoundModulesMeetAtTheVoiceCombiner) {
    played_container patch("Synth", "Midi to CV");
    CContainer& box = *patch.box;
    CUG* oscillator = AddModule(box, "Oscillator", "Osc");
    CUG* envelope = AddModule(box, "ADSR", "Env");
    CUG* amplifier = AddModule(box, "VCA", "Amp");
    CUG* combiner = AddModule(box, "Voice Combiner", "Mix");
    CUG* outside = AddModule(*patch.root, kProbeModule, "Outside");
    PlugOf(box, "Polyphony").StoreValueText("3");
    Wire(PlugOf(*patch.note_source, "Pitch"), PlugOf(*oscillator, "Pitch"));
    Wire(PlugOf(*patch.note_source, "Gate"), PlugOf(*envelope, "Gate"));
    Wire(PlugOf(*oscillator, "Audio Out"), PlugOf(*amplifier, "Signal"));
    Wire(PlugOf(*envelope, "Signal Out"), PlugOf(*amplifier, "Volume"));
    Wire(PlugOf(*amplifier, "Output"), PlugOf(*combiner, "In"));
    Wire(PlugOf(*combiner, "Out"), InsideSpare(box));
    Wire(PlugOf(box, "Out"), PlugOf(*outside, "In"));

    voice_rig rig(patch);
    ASSERT_EQ(rig.Voices().VoiceCount(), 3);
    for (const CUG* module : {oscillator, envelope, amplifier})
        EXPECT_NE(module->unit_generator->flags & UGF_POLYPHONIC, 0u) << module->Title();
    ug_base& mix = graph_rig::UnitOf(combiner);
    EXPECT_EQ(mix.flags & UGF_POLYPHONIC, 0u);
    EXPECT_EQ(mix.GetPlug(1)->connections.size(), 3u);  // one amplifier per voice

    rig.Run(4);
    rig.NoteOn(69, 127);
    rig.NoteOn(81, 127);
    rig.Run(40);  // past the attack
    const std::vector<float> sound = rig.Record(mix.GetPlug(0), 64);
    // A 440 Hz and an 880 Hz voice, both sounding.
    auto level_at = [&sound](double frequency) {
        double re = 0.0;
        double im = 0.0;
        for (std::size_t i = 0; i < sound.size(); ++i) {
            const double phase = 2.0 * std::numbers::pi * frequency * static_cast<double>(i) / kRate;
            re += sound[i] * std::cos(phase);
            im += sound[i] * std::sin(phase);
        }
        return 2.0 * std::hypot(re, im) / static_cast<double>(sound.size());
    };
    const double between = level_at(660.0);
    EXPECT_GT(level_at(440.0), 10.0 * between);
    EXPECT_GT(level_at(880.0), 10.0 * between);
}

}  // namespace
