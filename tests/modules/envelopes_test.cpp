#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "modules/envelopes.h"
#include "project/module_registry.h"
#include "support/module_harness.h"

namespace {

constexpr int kBlock = 64;

// The float an input carries for a default text of `volts`, as the engine makes it.
float Volts(float volts) { return volts * 0.1f; }

// Seconds a rate input of `volts` takes to move the level by 10 V.
double SegmentSeconds(double volts) { return std::pow(2.0, (volts * 1200.0 - 8000.0) / 1200.0); }

// Samples a segment takes to move the level by `distance` (1.0 = 10 V).
double SegmentSamples(double distance, double rate_volts, double sample_rate) {
    return std::fabs(distance) * SegmentSeconds(rate_volts) * sample_rate;
}

// An envelope with a record of its output. Settings name input plugs and the
// text to set them to; `wire` may connect sources of its own (a knob for the
// gate unless it does) before the inputs left unconnected take their listed
// defaults.
template <class Module>
class envelope_rig {
public:
    using settings = std::vector<std::pair<std::string, std::string>>;

    explicit envelope_rig(float sample_rate = 44100.0f, const settings& inputs = {},
                          const std::function<void(envelope_rig&)>& wire = nullptr)
        : engine(kBlock, sample_rate) {
        envelope = engine.Add<Module>(20);
        for (const auto& [name, text] : inputs) envelope->ApplyDefault(Plug(name), text);
        if (wire) wire(*this);
        if (Plug("Gate")->connections.empty()) Knob("Gate", 0.0f);
        ApplyInputDefaults(envelope);
        engine.Start();
        for (const auto& [name, knob] : knobs_) knob.source->Hold(Volts(knob.volts));
    }

    UPlug* Plug(const std::string& name) { return envelope->GetPlugByName(name); }
    // A source of `volts` running from the start, into the named input.
    ug_source* Feed(const std::string& name, float volts) {
        auto* source = engine.Add<ug_source>(40);
        source->value = Volts(volts);
        Connect(source->GetPlug(0), Plug(name));
        return source;
    }
    // A running sine into the named input.
    ug_sine_source* FeedSine(const std::string& name, double frequency, double amplitude) {
        auto* source = engine.Add<ug_sine_source>(40);
        source->frequency = frequency;
        source->amplitude = amplitude;
        Connect(source->GetPlug(0), Plug(name));
        return source;
    }
    // A static source of `volts` into the named input, that Set changes.
    void Knob(const std::string& name, float volts) { knobs_[name] = {FeedSine(name, 0.0, 0.0), volts}; }
    // Turns a knob: the input takes the new value from the present sample on.
    void Set(const std::string& name, float volts) { knobs_.at(name).source->Hold(Volts(volts)); }
    void Gate(bool high) { Set("Gate", high ? 5.0f : 0.0f); }
    // Runs whole blocks (the engine must be at a block boundary), recording
    // the output, and returns what `other` held meanwhile.
    std::vector<float> Run(int samples, UPlug* other = nullptr) {
        UPlug* outputs[] = {Plug("Signal Out"), other != nullptr ? other : Plug("Signal Out")};
        auto captured = Capture(engine, outputs, samples);
        out.insert(out.end(), captured[0].begin(), captured[0].end());
        return captured[1];
    }
    int Now() const { return static_cast<int>(out.size()); }
    // Index of the first sample from `from` on that equals `value`, or -1.
    int FirstEqual(int from, float value) const {
        const auto found = std::find(out.begin() + from, out.end(), value);
        return found == out.end() ? -1 : static_cast<int>(found - out.begin());
    }
    // Runs until the output holds `value` and returns the length of the stage
    // that began at `from` and ended on the first sample of that value.
    int StageLength(int from, float value, int limit) {
        while (FirstEqual(from, value) < 0 && Now() < from + limit) Run(kBlock * 16);
        const int end = FirstEqual(from, value);
        return end < 0 ? -1 : end - from + 1;
    }
    bool AllFrom(int from, float value) const {
        return std::all_of(out.begin() + from, out.end(), [value](float v) { return v == value; });
    }

    engine_fixture engine;
    Module* envelope = nullptr;
    std::vector<float> out;

private:
    struct knob {
        ug_sine_source* source;
        float volts;
    };
    std::map<std::string, knob> knobs_;
};

// ---- plug lists ----------------------------------------------------------------

TEST(EnvelopePlugs, ListsInArchiveOrderWithTheirDefaults) {
    using plug_list = std::vector<std::pair<std::string, std::string>>;  // name, default
    plug_list eight_stage = {{"Gate", "1"}};
    const char* rate_defaults[] = {"2", "5", "6", "3", "6", "6", "6", "6"};
    const char* level_defaults[] = {"10", "6", "8", "2", "0", "0", "0", "0"};
    for (int s = 0; s < 8; ++s) {
        eight_stage.emplace_back("Rate " + std::to_string(s), rate_defaults[s]);
        eight_stage.emplace_back("Level " + std::to_string(s), level_defaults[s]);
    }
    eight_stage.insert(eight_stage.end(),
                       {{"Overall Level", "10"}, {"Signal Out", "0"}, {"Sus Seg", "2"}, {"End Seg", "4"}});

    const std::vector<std::pair<std::string, plug_list>> modules = {
        {"ADSR",
         {{"Gate", "1"}, {"Attack", "0"}, {"Decay", "5"}, {"Sustain", "7"}, {"Release", "4"}, {"Overall Level", "10"},
          {"Signal Out", "0"}}},
        {"8 Stage Env", eight_stage},
        {"Multistage Env", {{"Gate", "1"}, {"Overall Level", "10"}, {"Signal Out", "0"}, {"Ignore Program Change", "0"}}},
    };
    for (const auto& [id, plugs] : modules) {
        SCOPED_TRACE(id);
        const Module_Info* info = ModuleRegistry::Instance().FindModule(id);
        ASSERT_NE(info, nullptr);
        EXPECT_NE(info->CreateDspObject(), nullptr);
        ASSERT_EQ(info->plugs.size(), plugs.size());
        for (std::size_t i = 0; i < plugs.size(); ++i) {
            EXPECT_EQ(info->plugs[i].name, plugs[i].first) << i;
            EXPECT_EQ(info->plugs[i].default_value, plugs[i].second) << i;
        }
    }
}

TEST(EnvelopePlugs, HelpListsAndTypes) {
    const auto& adsr = ModuleRegistry::Instance().FindModule("ADSR")->plugs;
    EXPECT_EQ(adsr[0].help, "Triggers the Attack phase when greater then 0 V ");
    EXPECT_EQ(adsr[3].help, "The 'hold' level, while the gate is high (key is down)");
    EXPECT_EQ(adsr[5].help, "Controls the overall output level.  Handy for adding Velocity sensitivity");
    EXPECT_EQ(adsr[6].direction, DR_OUT);
    EXPECT_EQ(adsr[6].help, "");

    const auto& eight = ModuleRegistry::Instance().FindModule("8 Stage Env")->plugs;
    EXPECT_EQ(eight[1].help, "Segment rate ( 0 - fastest, 10 - slowest )");
    EXPECT_EQ(eight[16].help, "End level    (0 - 10V)");
    EXPECT_EQ(eight[19].data_type, DT_ENUM);
    EXPECT_EQ(eight[19].list_values, "None=10,0=0,1,2,3,4,5,6,7");
    EXPECT_EQ(eight[19].help, "Which segment to 'hold' at until key is released");
    EXPECT_EQ(eight[20].list_values, "range 0,7");
    EXPECT_EQ(eight[20].help, "Which segment to stop at, subsequent segments are ignored.");

    const auto& multi = ModuleRegistry::Instance().FindModule("Multistage Env")->plugs;
    EXPECT_EQ(multi[3].direction, DR_PARAMETER);
    EXPECT_EQ(multi[3].data_type, DT_BOOL);
    EXPECT_EQ(multi[3].help, "Prevents this control responding to patch changes from 'Patch Select' module");
}

// ---- ADSR timing -----------------------------------------------------------------

struct adsr_timing_case {
    float sample_rate;
    bool rate_inputs_run;  // rates from running sources: the per-sample renderers
};

class AdsrTiming : public testing::TestWithParam<adsr_timing_case> {};

// Attack 0 V, Decay 5 V to Sustain 7 V, Release 4 V: each stage lasts as long
// as the rate law says for the distance it covers, within a sample.
TEST_P(AdsrTiming, StageTimesFollowTheRateLaw) {
    const auto [rate, rate_inputs_run] = GetParam();
    envelope_rig<ug_adsr> rig(rate, {}, [&](auto& r) {
        if (!rate_inputs_run) return;
        r.Feed("Attack", 0.0f);
        r.Feed("Decay", 5.0f);
        r.Feed("Release", 4.0f);
    });
    const float sustain = Volts(7.0f);
    // A counted stage ends within a sample of the law; one that steps sample
    // by sample adds up float steps, which may drift by a few in ten thousand.
    const auto tolerance = [&](double samples) { return rate_inputs_run ? std::max(1.0, samples * 5e-4) : 1.0; };

    rig.Run(kBlock);
    const int gate_on = rig.Now();
    rig.Gate(true);
    const int attack = rig.StageLength(gate_on, 1.0f, 100000);
    const int decay = rig.StageLength(gate_on + attack, sustain, 200000);
    EXPECT_NEAR(attack, SegmentSamples(1.0, 0.0, rate), 1.0);
    EXPECT_NEAR(attack * 1000.0 / rate, 9.84, 0.03);  // 10 V in about 9.8 ms at any rate
    const double decay_samples = SegmentSamples(1.0 - sustain, 5.0, rate);
    EXPECT_NEAR(decay, decay_samples, tolerance(decay_samples));

    rig.Run(kBlock * 4);
    EXPECT_TRUE(rig.AllFrom(gate_on + attack + decay - 1, sustain));

    const int gate_off = rig.Now();
    rig.Gate(false);
    const int release = rig.StageLength(gate_off, 0.0f, 200000);
    const double release_samples = SegmentSamples(sustain, 4.0, rate);
    EXPECT_NEAR(release, release_samples, tolerance(release_samples));
    rig.Run(kBlock * 2);
    EXPECT_TRUE(rig.AllFrom(gate_off + release - 1, 0.0f));
}

INSTANTIATE_TEST_SUITE_P(SampleRates, AdsrTiming,
                         testing::Values(adsr_timing_case{44100.0f, false}, adsr_timing_case{96000.0f, false},
                                         adsr_timing_case{44100.0f, true}, adsr_timing_case{96000.0f, true}));

struct release_case {
    const char* when;
    double gate_length;  // as a fraction of attack and decay
};

class AdsrRelease : public testing::TestWithParam<release_case> {};

// Whenever the gate falls, the release starts from the level reached, without
// a jump, and lasts as long as that level needs at the Release rate.
TEST_P(AdsrRelease, StartsFromTheLevelReached) {
    const float rate = 44100.0f;
    envelope_rig<ug_adsr> rig(rate, {{"Attack", "3"}});
    const double attack_and_decay = SegmentSamples(1.0, 3.0, rate) + SegmentSamples(0.3, 5.0, rate);
    rig.Gate(true);
    rig.Run(static_cast<int>(GetParam().gate_length * attack_and_decay));
    const int gate_off = rig.Now();
    const float reached = rig.out[gate_off - 1];
    rig.Gate(false);

    const int release = rig.StageLength(gate_off, 0.0f, 400000);
    const double release_step = 1.0 / (SegmentSeconds(4.0) * rate);
    EXPECT_NEAR(release, SegmentSamples(reached, 4.0, rate), 1.0);
    EXPECT_NEAR(rig.out[gate_off], reached - release_step, release_step / 2);
    for (int i = gate_off; i < gate_off + release - 1; ++i) ASSERT_GT(rig.out[i], rig.out[i + 1]) << i;
}

INSTANTIATE_TEST_SUITE_P(GateFalls, AdsrRelease,
                         testing::Values(release_case{"DuringTheAttack", 0.3}, release_case{"DuringTheDecay", 0.8},
                                         release_case{"WhileHolding", 1.5}),
                         [](const auto& info) { return std::string(info.param.when); });

TEST(Adsr, GateRisingDuringReleaseRestartsTheAttackFromTheLevelReached) {
    const float rate = 96000.0f;
    envelope_rig<ug_adsr> rig(rate, {{"Release", "6"}});
    rig.Gate(true);
    rig.Run(static_cast<int>(SegmentSamples(1.0, 0.0, rate) + SegmentSamples(0.3, 5.0, rate)) + kBlock);
    rig.Gate(false);
    rig.Run(kBlock * 40);
    const int gate_on = rig.Now();
    const float reached = rig.out[gate_on - 1];
    ASSERT_LT(reached, Volts(7.0f));
    rig.Gate(true);

    const int attack = rig.StageLength(gate_on, 1.0f, 10000);
    const double attack_step = 1.0 / (SegmentSeconds(0.0) * rate);
    EXPECT_NEAR(attack, SegmentSamples(1.0 - reached, 0.0, rate), 1.0);
    EXPECT_NEAR(rig.out[gate_on], reached + attack_step, attack_step / 2);
}

// A running gate is scanned sample by sample: the stages start on the exact
// samples where the gate crosses 0 V and last as long as with a static gate.
TEST(Adsr, RunningGateIsFollowedToTheSample) {
    const float rate = 44100.0f;
    ug_sine_source* gate_source = nullptr;
    envelope_rig<ug_adsr> rig(rate, {{"Decay", "0"}}, [&](auto& r) { gate_source = r.FeedSine("Gate", 7.0, 0.5); });
    const std::vector<float> gate = rig.Run(kBlock * 100, gate_source->GetPlug(0));
    int rise = 0;
    while (!(gate[rise] > 0.0f)) ++rise;
    int fall = rise;
    while (gate[fall] > 0.0f) ++fall;

    EXPECT_EQ(rig.out[rise - 1], 0.0f);
    EXPECT_EQ(rig.StageLength(rise, 1.0f, 0), static_cast<int>(SegmentSamples(1.0, 0.0, rate)));
    EXPECT_EQ(rig.out[fall - 1], Volts(7.0f));
    EXPECT_LT(rig.out[fall], rig.out[fall - 1]);
    EXPECT_TRUE(rig.engine.OnRunList(rig.envelope));  // a running gate keeps it awake
}

// ---- sleeping and waking -----------------------------------------------------------

// Once a stage settles on a constant the envelope writes it for one block and
// leaves the run list; a gate change brings it back.
TEST(Adsr, WritesOneBlockOfTheHeldLevelThenSleeps) {
    const envelope_rig<ug_adsr>::settings quick_decay = {{"Decay", "0"}};
    envelope_rig<ug_adsr> measured(44100.0f, quick_decay);
    measured.Gate(true);
    const int attack = measured.StageLength(0, 1.0f, 10000);
    const int held_from = attack + measured.StageLength(attack, Volts(7.0f), 10000);  // first sample after the decay

    envelope_rig<ug_adsr> rig(44100.0f, quick_decay);
    rig.Gate(true);
    rig.engine.master->Process(held_from + kBlock);
    EXPECT_TRUE(rig.engine.OnRunList(rig.envelope));
    rig.engine.master->Process(1);
    EXPECT_TRUE(rig.envelope->sleeping);
    EXPECT_FALSE(rig.engine.OnRunList(rig.envelope));
    const float* block = rig.Plug("Signal Out")->Block()->Data();
    EXPECT_TRUE(std::all_of(block, block + kBlock, [](float v) { return v == Volts(7.0f); }));

    rig.engine.master->Process(100);
    rig.Gate(false);
    rig.engine.master->Process(1);
    EXPECT_TRUE(rig.engine.OnRunList(rig.envelope));
    const uint32_t last = (rig.engine.master->SampleClock() - 1) % kBlock;
    EXPECT_LT(block[last], Volts(7.0f));
}

TEST(Adsr, SleepsAfterOneBlockOfSilenceAtTheEnd) {
    envelope_rig<ug_adsr> rig(44100.0f, {{"Decay", "0"}, {"Release", "0"}});
    rig.Run(kBlock * 2);
    EXPECT_TRUE(rig.envelope->sleeping);  // the gate stayed low since the start
    rig.Gate(true);
    rig.Run(kBlock * 20);
    rig.Gate(false);
    const int gate_off = rig.Now();
    const int release = rig.StageLength(gate_off, 0.0f, 10000);
    rig.Run(kBlock * 3);
    EXPECT_TRUE(rig.envelope->sleeping);
    EXPECT_TRUE(rig.AllFrom(gate_off + release - 1, 0.0f));
}

// ---- inputs that change --------------------------------------------------------------

TEST(Adsr, RunningSustainIsFollowedSampleBySampleWhileHolding) {
    ug_sine_source* sustain = nullptr;
    envelope_rig<ug_adsr> rig(44100.0f, {{"Decay", "0"}},
                              [&](auto& r) { sustain = r.FeedSine("Sustain", 30.0, 0.3); });
    rig.Gate(true);
    const std::vector<float> sustain_signal = rig.Run(kBlock * 40, sustain->GetPlug(0));
    for (int i = rig.Now() - 1000; i < rig.Now(); ++i) ASSERT_EQ(rig.out[i], sustain_signal[i]) << i;
}

TEST(Adsr, StaticSustainOrOverallLevelChangeMovesTheHeldOutput) {
    envelope_rig<ug_adsr> rig(44100.0f, {{"Decay", "0"}}, [](auto& r) {
        r.Knob("Sustain", 7.0f);
        r.Knob("Overall Level", 10.0f);
    });
    rig.Gate(true);
    rig.Run(kBlock * 20);
    rig.Set("Sustain", 4.0f);
    rig.Run(kBlock * 4);
    EXPECT_EQ(rig.out.back(), Volts(4.0f));
    rig.Set("Overall Level", 5.0f);
    rig.Run(kBlock * 4);
    EXPECT_EQ(rig.out.back(), Volts(4.0f) * Volts(5.0f));
    EXPECT_TRUE(rig.envelope->sleeping);
}

// A running Overall Level scales the level sample by sample.
TEST(Adsr, RunningOverallLevelScalesEverySample) {
    const float rate = 44100.0f;
    ug_sine_source* overall = nullptr;
    envelope_rig<ug_adsr> rig(rate, {{"Attack", "5"}},
                              [&](auto& r) { overall = r.FeedSine("Overall Level", 50.0, 1.0); });
    rig.Run(kBlock);
    const int gate_on = rig.Now();
    rig.Gate(true);
    const std::vector<float> scale = rig.Run(kBlock * 100, overall->GetPlug(0));
    const double step = 1.0 / (SegmentSeconds(5.0) * rate);
    for (std::size_t n = 0; n < scale.size(); ++n) {
        if (std::fabs(scale[n]) < 0.05f) continue;
        ASSERT_NEAR(rig.out[gate_on + n] / scale[n], static_cast<double>(n + 1) * step, 1e-4) << n;
    }
}

// ---- hard note off -----------------------------------------------------------------------

TEST(Adsr, HardNoteOffFallsToZeroAtTheReleaseRateIgnoringTheSustain) {
    const float rate = 44100.0f;
    envelope_rig<ug_adsr> rig(rate, {{"Decay", "0"}});
    rig.Gate(true);
    rig.Run(kBlock * 20);
    const int note_off = rig.Now() + 10;
    rig.envelope->AddEvent(rig.envelope->NewEvent(static_cast<uint32_t>(note_off), UET_NOTE_OFF_HARD));
    const int fall = rig.StageLength(note_off, 0.0f, 20000);
    EXPECT_EQ(rig.out[note_off - 1], Volts(7.0f));
    EXPECT_NEAR(fall, SegmentSamples(Volts(7.0f), 4.0, rate), 1.0);

    rig.Run(kBlock * 2);
    rig.Gate(false);  // the gate falls late: nothing left to release
    rig.Run(kBlock * 2);
    EXPECT_TRUE(rig.AllFrom(note_off + fall - 1, 0.0f));
    rig.Gate(true);  // the next note
    rig.Run(kBlock * 2);
    EXPECT_GT(rig.out.back(), 0.0f);
}

// ---- eight stages ----------------------------------------------------------------------------

struct stage {
    float level_volts;
    float rate_volts;
};

// Runs the stages in turn from `from`, each ending on the first sample of its level.
void ExpectStages(envelope_rig<ug_8_stage>& rig, int from, float start_volts, const std::vector<stage>& stages) {
    float previous = Volts(start_volts);
    for (const stage& s : stages) {
        SCOPED_TRACE(s.level_volts);
        const float level = Volts(s.level_volts);
        const int length = rig.StageLength(from, level, 2000000);
        EXPECT_NEAR(length, SegmentSamples(level - previous, s.rate_volts, 44100.0), 1.0);
        from += length;
        previous = level;
    }
}

TEST(EightStage, HoldsAtTheSustainSegmentAndReleasesThroughTheRest) {
    envelope_rig<ug_8_stage> rig;
    rig.Gate(true);
    ExpectStages(rig, 0, 0.0f, {{10, 2}, {6, 5}, {8, 6}});
    rig.Run(kBlock * 4);
    EXPECT_EQ(rig.out.back(), Volts(8.0f));
    EXPECT_TRUE(rig.envelope->sleeping);
    const int gate_off = rig.Now();
    rig.Gate(false);
    ExpectStages(rig, gate_off, 8.0f, {{2, 3}, {0, 6}});
}

TEST(EightStage, WithoutSustainRunsToTheEndAndFallsToZeroIgnoringTheEndLevel) {
    envelope_rig<ug_8_stage> rig(44100.0f, {{"Sus Seg", "10"}, {"Level 4", "5"}});
    rig.Gate(true);
    ExpectStages(rig, 0, 0.0f, {{10, 2}, {6, 5}, {8, 6}, {2, 3}, {0, 6}});
    rig.Run(kBlock * 4);
    EXPECT_EQ(rig.out.back(), 0.0f);
    EXPECT_TRUE(rig.envelope->sleeping);
}

TEST(EightStage, EndSegmentZeroKeepsTheOutputAtZero) {
    envelope_rig<ug_8_stage> rig(44100.0f, {{"End Seg", "0"}});
    rig.Gate(true);
    rig.Run(kBlock * 40);
    EXPECT_TRUE(rig.AllFrom(0, 0.0f));
}

// Segment 5 (to 9 V) lies between segment 0 and the end segment 6: it is skipped.
TEST(EightStage, ReleaseBeforeTheSustainJumpsToTheEndSegment) {
    envelope_rig<ug_8_stage> rig(44100.0f, {{"End Seg", "6"}, {"Level 5", "9"}});
    rig.Gate(true);
    rig.Run(kBlock * 10);  // inside segment 0
    const int gate_off = rig.Now();
    const float reached = rig.out[gate_off - 1];
    rig.Gate(false);
    const int fall = rig.StageLength(gate_off, 0.0f, 100000);
    EXPECT_NEAR(fall, SegmentSamples(reached, 6.0, 44100.0), 1.0);  // at Rate 6
    EXPECT_LE(*std::max_element(rig.out.begin() + gate_off, rig.out.end()), reached);
}

// ---- multistage -------------------------------------------------------------------------------

TEST(EnvelopeText, ParsesPointsAndTheHeldOne) {
    const auto points = ParseEnvelopePoints(kDefaultEnvelopeText);
    ASSERT_EQ(points.size(), 3u);
    EXPECT_DOUBLE_EQ(points[0].time, 0.1);
    EXPECT_DOUBLE_EQ(points[0].level, 1.0);
    EXPECT_FALSE(points[0].sustain);
    EXPECT_TRUE(points[1].sustain);
    EXPECT_DOUBLE_EQ(points[2].time, 1.0);
    EXPECT_DOUBLE_EQ(points[2].level, 0.0);

    EXPECT_TRUE(ParseEnvelopePoints("").empty());
    EXPECT_TRUE(ParseEnvelopePoints("(0.5,0.5").empty());  // no closing bracket: no point
    const auto written = ParseEnvelopePoints("S(0.200000,-0.500000)(1.000000,0.250000)");
    ASSERT_EQ(written.size(), 2u);
    EXPECT_TRUE(written[0].sustain);
    EXPECT_DOUBLE_EQ(written[0].level, -0.5);
    EXPECT_DOUBLE_EQ(written[1].level, 0.25);
}

TEST(EnvelopeText, SegmentsJoinThePointsAndCloseAtZero) {
    const auto segments = EnvelopeSegments(ParseEnvelopePoints(kDefaultEnvelopeText));
    const std::vector<envelope_segment> expected = {
        {1.0f, 10.0f, envelope_segment::normal},
        {0.8f, static_cast<float>(0.2 / 0.3), envelope_segment::sustain},
        {0.0f, static_cast<float>(0.8 / 0.6), envelope_segment::last},
        {0.0f, 10.0f, envelope_segment::last},
    };
    ASSERT_EQ(segments.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_FLOAT_EQ(segments[i].level, expected[i].level) << i;
        EXPECT_FLOAT_EQ(segments[i].rate, expected[i].rate) << i;
        EXPECT_EQ(segments[i].kind, expected[i].kind) << i;
    }
    // A point at the time of the one before: the segment lasts 0.1 ms.
    EXPECT_FLOAT_EQ(EnvelopeSegments({{0.0, 0.5, false}})[0].rate, 5000.0f);
    ASSERT_EQ(EnvelopeSegments({}).size(), 1u);
}

std::function<void(envelope_rig<ug_envelope_ms>&)> UseStore(std::shared_ptr<envelope_segment_store> store) {
    return [store](auto& rig) { rig.envelope->SetSegmentStore(store); };
}

TEST(Multistage, DefaultTextRisesDecaysHoldsAndReleases) {
    const double rate = 44100.0;
    envelope_rig<ug_envelope_ms> rig;
    rig.Run(kBlock);
    const int gate_on = rig.Now();
    rig.Gate(true);
    const int attack = rig.StageLength(gate_on, 1.0f, 100000);
    const int decay = rig.StageLength(gate_on + attack, 0.8f, 100000);
    EXPECT_NEAR(attack, 0.1 * rate, 1.0);
    EXPECT_NEAR(decay, 0.3 * rate, 1.0);
    rig.Run(kBlock * 4);
    EXPECT_EQ(rig.out.back(), 0.8f);
    EXPECT_TRUE(rig.envelope->sleeping);

    const int gate_off = rig.Now();
    rig.Gate(false);
    EXPECT_NEAR(rig.StageLength(gate_off, 0.0f, 100000), 0.6 * rate, 1.0);
}

TEST(Multistage, WithoutAHeldPointFinishesWhileTheGateIsHigh) {
    envelope_rig<ug_envelope_ms> rig(44100.0f, {},
                                     UseStore(std::make_shared<envelope_segment_store>("(0.01,1.0)(0.03,0.0)")));
    rig.Gate(true);
    const int attack = rig.StageLength(0, 1.0f, 10000);
    const int fall = rig.StageLength(attack, 0.0f, 10000);
    EXPECT_NEAR(fall, 0.02 * 44100.0, 1.0);
    rig.Run(kBlock * 4);
    EXPECT_EQ(rig.out.back(), 0.0f);
    EXPECT_TRUE(rig.envelope->sleeping);
}

TEST(Multistage, HardNoteOffFadesOutInFifteenSamples) {
    envelope_rig<ug_envelope_ms> rig;
    rig.Gate(true);
    rig.Run(44100);
    const int note_off = rig.Now() + 5;
    rig.envelope->AddEvent(rig.envelope->NewEvent(static_cast<uint32_t>(note_off), UET_NOTE_OFF_HARD));
    EXPECT_NEAR(rig.StageLength(note_off, 0.0f, 1000), 15, 1);
    EXPECT_EQ(rig.out[note_off - 1], 0.8f);
}

// A new list from the editor moves a held envelope to the new held level.
TEST(Multistage, NewSegmentListMovesTheHold) {
    auto store = std::make_shared<envelope_segment_store>();
    envelope_rig<ug_envelope_ms> rig(44100.0f, {}, UseStore(store));
    rig.Gate(true);
    rig.Run(44100);
    ASSERT_EQ(rig.out.back(), 0.8f);

    store->Publish("(0.1,1.0)S(0.4,0.5)(1.0,0.0)");
    rig.engine.master->PostNotification(rig.envelope, ug_envelope_ms::kReloadSegments, 0);
    const int from = rig.Now();
    EXPECT_NEAR(rig.StageLength(from, 0.5f, 100000), 0.3 / (0.5 / 0.3) * 44100.0, 2.0);
}

// A held multistage whose Overall Level changes tells the modules it feeds, so
// a sleeping module downstream takes the new constant.
TEST(Multistage, HeldOutputChangeReachesASleepingModuleDownstream) {
    ug_probe* probe = nullptr;
    envelope_rig<ug_envelope_ms> rig(44100.0f, {}, [&](auto& r) {
        probe = r.engine.template Add<ug_probe>(10);
        Connect(r.Plug("Signal Out"), probe->GetPlug(0));
        r.Knob("Overall Level", 10.0f);
    });
    rig.Gate(true);
    rig.Run(44100);
    ASSERT_TRUE(probe->sleeping);
    rig.Set("Overall Level", 5.0f);
    rig.Run(kBlock * 3);
    EXPECT_FLOAT_EQ(probe->out_[0], 2.0f * 0.8f * Volts(5.0f));
}

}  // namespace
