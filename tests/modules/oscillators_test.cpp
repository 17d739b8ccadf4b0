// The oscillators measured in hand-built graphs: frequency and level, the
// band-limited tables and their fades, pulse, noise, sync, phase modulation,
// the phase-distortion waves and the test tone.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <complex>
#include <cmath>
#include <map>
#include <numeric>
#include <string>
#include <vector>

#include "modules/oscillators.h"
#include "support/module_harness.h"

namespace {

using osc = ug_oscillator2;
using pd = ug_oscillator_pd;

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// Pitch volts (1 V per octave, 5 V = 440 Hz) for a phase increment.
double VoltsForIncrement(double increment, double sample_rate) {
    return 5.0 + std::log2(increment * sample_rate / (440.0 * 4294967296.0));
}

double Mean(std::span<const float> signal) {
    return std::accumulate(signal.begin(), signal.end(), 0.0) / static_cast<double>(signal.size());
}

double RisingFraction(std::span<const float> signal) {
    int rising = 0;
    for (std::size_t i = 1; i < signal.size(); ++i) rising += signal[i] > signal[i - 1] ? 1 : 0;
    return rising / static_cast<double>(signal.size() - 1);
}

double Magnitude(std::span<const float> signal, double hertz, double sample_rate) {
    return std::abs(Phasor(signal, hertz, sample_rate));
}

// One engine with the modules of a test; every module's unconnected inputs get
// their listed defaults unless the test names a value.
struct rig {
    explicit rig(float sample_rate = 44100.0f) : engine(64, sample_rate), sample_rate(sample_rate) {}

    template <class Module = osc>
    Module* Add(const std::map<int, std::string>& values = {}, int sort_order = 10) {
        auto* module = engine.Add<Module>(sort_order);
        pending.push_back({module, values});
        return module;
    }
    // An input held at `value` by a source the test can Hold at other values
    // while the engine runs; each change is announced as static.
    ug_sine_source* Hold(ug_base* module, int input, float value) {
        auto* source = engine.Add<ug_sine_source>(100);
        Connect(source->GetPlug(0), module->GetPlug(input));
        held.push_back({source, value});
        return source;
    }
    ug_function_source* Source(std::function<float(uint32_t)> signal, int sort_order = 100) {
        auto* source = engine.Add<ug_function_source>(sort_order);
        source->signal = std::move(signal);
        return source;
    }
    // Plays `samples` more samples (whole blocks) and returns the output.
    std::vector<float> Play(ug_base* module, int samples, int out_plug = osc::PN_AUDIO_OUT) {
        Start();
        return Capture(engine, module->GetPlug(out_plug), samples);
    }
    std::vector<std::vector<float>> Play(std::initializer_list<ug_base*> oscillators, int samples) {
        Start();
        std::vector<UPlug*> plugs;
        for (ug_base* module : oscillators) plugs.push_back(module->GetPlug(osc::PN_AUDIO_OUT));
        return Capture(engine, plugs, samples);
    }
    void Start() {
        if (started) return;
        for (const auto& [module, values] : pending) ApplyInputDefaults(module, values);
        engine.Start();
        for (const auto& [source, value] : held) source->Hold(value);
        started = true;
    }

    engine_fixture engine;
    double sample_rate;
    std::vector<std::pair<ug_base*, std::map<int, std::string>>> pending;
    std::vector<std::pair<ug_sine_source*, float>> held;
    bool started = false;
};

// ---- pitch and level ------------------------------------------------------------

TEST(OscillatorTest, PitchVoltsSetTheFrequencyAndASineSwingsFiveVolts) {
    struct {
        float sample_rate;
        const char* pitch;
        double hertz;
    } const cases[] = {
        {44100, "5", 440.0}, {44100, "6", 880.0}, {44100, "4", 220.0},
        {96000, "5", 440.0}, {96000, "7.5", 440.0 * std::pow(2.0, 2.5)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sample_rate << " Hz, " << c.pitch << " V");
        rig r(c.sample_rate);
        auto* sine = r.Add({{osc::PN_PITCH, c.pitch}, {osc::PN_WAVEFORM, "0"}});
        const std::vector<float> out = r.Play(sine, static_cast<int>(c.sample_rate));
        EXPECT_NEAR(CrossingFrequency(out, c.sample_rate), c.hertz, 0.01);
        EXPECT_NEAR(*std::ranges::max_element(out), 0.5f, 1e-3);
        EXPECT_NEAR(*std::ranges::min_element(out), -0.5f, 1e-3);
    }
}

TEST(OscillatorTest, SawRisesRampFallsTriangleTurnsEachAtFiveVoltsPeak) {
    struct {
        const char* waveform;
        double rising_fraction;
    } const cases[] = {{"1", 0.99}, {"2", 0.01}, {"3", 0.5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.waveform);
        rig r;
        auto* wave = r.Add({{osc::PN_PITCH, "1"}, {osc::PN_WAVEFORM, c.waveform}});  // 27.5 Hz
        const std::vector<float> out = r.Play(wave, 44100);
        EXPECT_NEAR(RisingFraction(out), c.rising_fraction, 0.01);
        EXPECT_NEAR(*std::ranges::max_element(out), 0.5f, 0.02);
        EXPECT_NEAR(*std::ranges::min_element(out), -0.5f, 0.02);
    }
}

TEST(OscillatorTest, OneVoltPerKilohertzHoldsBetweenZeroAndHalfTheSampleRate) {
    struct {
        const char* pitch;
        double hertz;
    } const cases[] = {{"0.5", 500.0}, {"1.25", 1250.0}, {"-1", 0.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pitch);
        rig r;
        auto* sine = r.Add({{osc::PN_PITCH, c.pitch}, {osc::PN_WAVEFORM, "0"}, {osc::PN_FREQ_SCALE, "1"}});
        const std::vector<float> out = r.Play(sine, 44100);
        EXPECT_NEAR(CrossingFrequency(out, r.sample_rate), c.hertz, 0.01);
        if (c.hertz == 0.0) {
            EXPECT_EQ(*std::ranges::max_element(out), *std::ranges::min_element(out));
        }
    }
    // 30 kHz is held at 22.05 kHz, which no table can play.
    rig r;
    auto* above = r.Add({{osc::PN_PITCH, "30"}, {osc::PN_WAVEFORM, "0"}, {osc::PN_FREQ_SCALE, "1"}});
    const std::vector<float> out = r.Play(above, 4410);
    EXPECT_TRUE(std::ranges::all_of(std::span(out).subspan(osc::kTableFade), [](float s) { return s == 0.0f; }));
}

TEST(OscillatorTest, APitchAboveEveryTablePlaysSilence) {
    for (const char* waveform : {"0", "1", "2", "3", "4"}) {
        SCOPED_TRACE(waveform);
        rig r;
        auto* wave = r.Add({{osc::PN_PITCH, "20"}, {osc::PN_WAVEFORM, waveform}});
        const std::vector<float> out = r.Play(wave, 4410);
        EXPECT_TRUE(std::ranges::all_of(std::span(out).subspan(osc::kTableFade), [](float s) { return s == 0.0f; }));
    }
}

// ---- tables -------------------------------------------------------------------------

// A sweep through the top of one table: the poorer table takes over from the
// first sample whose increment passes the richer table's top, after a fade of
// 20 samples; on the way back the poorer table is kept down to one semitone
// below that point.
TEST(OscillatorTest, TablesSwitchAtTheirTopIncrementWithSemitoneHysteresis) {
    struct {
        const char* waveform;
        int richer_top;  // highest harmonic of the table playing below the switch
        int poorer_top;
    } const cases[] = {
        {"1", 256, 210}, {"1", 12, 8}, {"1", 2, 1}, {"3", 255, 231}, {"3", 9, 5}, {"3", 3, 1},
    };
    constexpr int kPerSemitone = 2000;
    constexpr int kUpCrossing = 1000;    // first sample above the switch point
    constexpr int kTurn = kPerSemitone;  // half a semitone above
    constexpr int kDownCrossing = 5000;  // first sample more than a semitone below
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.waveform << ": " << c.richer_top << " -> " << c.poorer_top);
        rig r;
        const double top = std::floor(2147483648.0 / c.richer_top * std::pow(2.0, -1.0 / 6.0));
        const double top_volts = VoltsForIncrement(top, r.sample_rate);
        // Semitones from the switch point; a quarter sample off so that no sample lands on it.
        auto semitones = [](uint32_t n) {
            const double t = n + 0.25;
            return n < kTurn ? -0.5 + t / kPerSemitone : 0.5 - (t - kTurn) / kPerSemitone;
        };
        auto* sweep = r.Source([&](uint32_t n) { return static_cast<float>((top_volts + semitones(n) / 12.0) / 10.0); });
        auto* wave = r.Add({{osc::PN_WAVEFORM, c.waveform}, {osc::PN_SMOOTH_PEAKS, "0"}});
        Connect(sweep->GetPlug(0), wave->GetPlug(osc::PN_PITCH));
        r.Start();

        // A table's top harmonic, from the increment it is played up to.
        auto top_harmonic = [](const Uwavetable* table) {
            return std::round(2147483648.0 * std::pow(2.0, -1.0 / 6.0) / table->max_increment);
        };
        std::vector<std::pair<int, double>> switches;  // last sample of the fade, top harmonic after it
        double playing = -1.0;
        for (int n = 0; n < 6000; ++n) {
            r.engine.master->Process(1);
            const double now = top_harmonic(wave->CurrentTable());
            if (now != playing && n > 2 * osc::kTableFade) switches.push_back({n, now});
            playing = now;
        }
        ASSERT_EQ(switches.size(), 2u);
        EXPECT_NEAR(switches[0].first, kUpCrossing + osc::kTableFade - 1, 1);
        EXPECT_EQ(switches[0].second, c.poorer_top);
        EXPECT_NEAR(switches[1].first, kDownCrossing + osc::kTableFade - 1, 1);
        EXPECT_EQ(switches[1].second, c.richer_top);
    }
}

// From silence above the top into a sine and back: the new table's weight
// rises by 1/21 a sample over 20 samples.
TEST(OscillatorTest, ATableChangeFadesOverTwentySamples) {
    const double step = kTwoPi * 440.0 / 44100.0;
    rig r;
    auto* sine = r.Add({{osc::PN_WAVEFORM, "0"}});
    ug_sine_source* pitch = r.Hold(sine, osc::PN_PITCH, 2.0f);  // 20 V
    r.Play(sine, 640);
    pitch->Hold(0.5f);
    const std::vector<float> in = r.Play(sine, 640);
    for (int m = 0; m < 40; ++m) {
        const double weight = std::min(1.0, (m + 1) / 21.0);
        EXPECT_NEAR(in[m], weight * 0.5 * std::sin(m * step), 1e-4) << m;
    }

    pitch->Hold(2.0f);
    const std::vector<float> out = r.Play(sine, 64);
    for (int m = 0; m < 40; ++m) {
        const double weight = std::max(0.0, 1.0 - (m + 1) / 21.0);
        EXPECT_NEAR(out[m], weight * 0.5 * std::sin(640 * step), 1e-4) << m;  // the new increment holds the phase
    }
    EXPECT_EQ(out[osc::kTableFade], 0.0f);
}

// ---- pulse ----------------------------------------------------------------------------

TEST(OscillatorTest, PulseHasNoDcAtAnyWidth) {
    for (const char* width : {"-8", "-5", "0", "3", "7"}) {
        SCOPED_TRACE(width);
        rig r;
        // 441 Hz: exactly 100 samples a cycle.
        auto* pulse = r.Add({{osc::PN_PITCH, "0.441"}, {osc::PN_FREQ_SCALE, "1"}, {osc::PN_WAVEFORM, "4"},
                             {osc::PN_PULSE_WIDTH, width}});
        const std::vector<float> out = r.Play(pulse, 44100);
        const std::span<const float> cycles = std::span(out).subspan(100, 44000);
        const double high_part = (1.0 - std::stod(width) / 10.0) / 2.0;
        const double high_level = 1.005 * (1.0 - high_part);
        const double low_level = -1.005 * high_part;
        EXPECT_NEAR(Mean(cycles), 0.0, 1e-3);
        EXPECT_NEAR(*std::ranges::max_element(cycles), high_level, 0.05);
        EXPECT_NEAR(*std::ranges::min_element(cycles), low_level, 0.05);
        const auto midway = static_cast<float>((high_level + low_level) / 2.0);
        const auto high = std::ranges::count_if(cycles, [midway](float s) { return s > midway; });
        EXPECT_NEAR(high / 44000.0, high_part, 0.015);  // within a sample and a half of each cycle's 100
    }
}

// ---- renderers for running inputs ------------------------------------------------------

// A running input that happens to hold a constant must sound exactly like the
// same constant as a static input.
TEST(OscillatorTest, RunningInputsPlayExactlyLikeStaticOnes) {
    struct {
        const char* waveform;
        int input;
        const char* volts;
        std::map<int, std::string> others;
    } const cases[] = {
        {"1", osc::PN_PITCH, "5.3", {}},
        {"3", osc::PN_PITCH, "7.1", {}},
        {"0", osc::PN_PITCH, "0.6", {{osc::PN_FREQ_SCALE, "1"}}},
        {"4", osc::PN_PITCH, "4.8", {{osc::PN_PULSE_WIDTH, "-3"}}},
        {"4", osc::PN_PULSE_WIDTH, "3.5", {}},
        {"0", osc::PN_PHASE_MOD, "2", {}},
        {"2", osc::PN_PHASE_MOD, "-3", {{osc::PN_PM_DEPTH, "7"}}},
        {"1", osc::PN_SYNC, "-1", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "waveform " << c.waveform << ", input " << c.input);
        rig r;
        std::map<int, std::string> values = c.others;
        values[osc::PN_WAVEFORM] = c.waveform;
        auto* running = r.Add(values);
        values[c.input] = c.volts;
        auto* constant = r.Add(values);
        const float sample = std::strtof(c.volts, nullptr) * 0.1f;  // as the engine reads a default
        Connect(r.Source([sample](uint32_t) { return sample; })->GetPlug(0), running->GetPlug(c.input));
        const auto outs = r.Play({running, constant}, 4096);
        for (std::size_t i = 0; i < outs[0].size(); ++i) ASSERT_EQ(outs[0][i], outs[1][i]) << i;
    }
}

TEST(OscillatorTest, WithAllInputsStaticItKeepsRunning) {
    rig r;
    auto* saw = r.Add();
    const std::vector<float> out = r.Play(saw, 640);
    EXPECT_TRUE(r.engine.OnRunList(saw));
    EXPECT_FALSE(saw->sleeping);
    EXPECT_NE(out[600], out[601]);
}

// ---- phase modulation ----------------------------------------------------------------------

TEST(OscillatorTest, PhaseModHeldAtFiveVoltsWithFullDepthShiftsHalfACycle) {
    for (const char* waveform : {"0", "3"}) {  // waves that invert after half a cycle
        SCOPED_TRACE(waveform);
        rig r;
        auto* plain = r.Add({{osc::PN_WAVEFORM, waveform}});
        auto* shifted = r.Add({{osc::PN_WAVEFORM, waveform}, {osc::PN_PHASE_MOD, "5"}, {osc::PN_PM_DEPTH, "10"}});
        const auto outs = r.Play({plain, shifted}, 1024);
        for (std::size_t i = 0; i < outs[0].size(); ++i) ASSERT_NEAR(outs[1][i], -outs[0][i], 1e-6) << i;
    }
}

// Sine phase modulation by beta radians puts sidebands of J1(beta) beside a
// carrier of J0(beta).
TEST(OscillatorTest, RunningPhaseModMakesBesselSidebands) {
    rig r;
    auto* modulator = r.engine.Add<ug_sine_source>(100);
    modulator->frequency = 110.0;
    modulator->amplitude = 0.1;  // 1 V: a tenth of a cycle at full depth
    auto* carrier = r.Add({{osc::PN_WAVEFORM, "0"}, {osc::PN_PM_DEPTH, "10"}});
    Connect(modulator->GetPlug(0), carrier->GetPlug(osc::PN_PHASE_MOD));
    const std::vector<float> out = r.Play(carrier, 44100);
    const double beta = kTwoPi * 0.1;
    const double sideband = Magnitude(out, 550.0, 44100.0) / Magnitude(out, 440.0, 44100.0);
    EXPECT_NEAR(sideband, std::cyl_bessel_j(1.0, beta) / std::cyl_bessel_j(0.0, beta), 0.01);
}

// ---- hard sync ------------------------------------------------------------------------------

struct sync_rig {
    // A synced oscillator and a free one, both starting at phase 0.
    sync_rig(const char* waveform, const char* crossfade)
        : synced(r.Add({{osc::PN_WAVEFORM, waveform}, {osc::PN_SYNC_XFADE, crossfade}})),
          free(r.Add({{osc::PN_WAVEFORM, waveform}})) {}
    void SyncFrom(std::function<float(uint32_t)> signal) {
        Connect(r.Source(std::move(signal))->GetPlug(0), synced->GetPlug(osc::PN_SYNC));
    }
    std::vector<std::vector<float>> Play(int samples) { return r.Play({synced, free}, samples); }
    rig r;
    osc* synced;
    osc* free;
};

constexpr int kRise = 325;  // the free sine is near its peak here, the restarted one near 0

TEST(OscillatorTest, ASyncRiseOnASampleRestartsTheCycleThere) {
    sync_rig s("0", "0");
    s.SyncFrom([](uint32_t n) { return n >= kRise ? 0.5f : 0.0f; });  // 0 at kRise - 1: the crossing
    const auto outs = s.Play(1024);
    for (int m = 0; m < 500; ++m) ASSERT_EQ(outs[0][kRise + m], outs[1][1 + m]) << m;
}

TEST(OscillatorTest, ASyncRiseBetweenSamplesKeepsTheFractionElapsedSinceTheCrossing) {
    sync_rig s("0", "0");
    s.SyncFrom([](uint32_t n) { return n >= kRise ? 0.75f : -0.25f; });  // crossed 3/4 of a sample ago
    const auto outs = s.Play(1024);
    const double step = kTwoPi * 440.0 / 44100.0;
    for (int m = 0; m < 500; ++m) ASSERT_NEAR(outs[0][kRise + m], 0.5 * std::sin((0.75 + m) * step), 1e-4) << m;
}

TEST(OscillatorTest, SyncCrossfadeBlendsFromTheOldWaveOverFourSamples) {
    sync_rig s("0", "1");
    s.SyncFrom([](uint32_t n) { return n >= kRise ? 0.5f : 0.0f; });
    const auto outs = s.Play(1024);
    const float old_weights[] = {0.8f, 0.6f, 0.4f, 0.2f, 0.0f, 0.0f};
    for (int m = 0; m < 6; ++m) {
        const float old_wave = outs[1][kRise + m];
        const float restarted = outs[1][1 + m];
        EXPECT_NEAR(outs[0][kRise + m], (1 - old_weights[m]) * restarted + old_weights[m] * old_wave, 1e-6) << m;
    }
    EXPECT_GT(std::fabs(outs[0][kRise] - outs[1][1]), 0.01f);  // the fade is audible
}

TEST(OscillatorTest, AStaticSyncRiseRestartsTheCycleAtOnce) {
    sync_rig s("0", "0");
    ug_sine_source* sync = s.r.Hold(s.synced, osc::PN_SYNC, 0.0f);
    s.Play(640);
    sync->Hold(0.5f);
    const std::vector<float> after = s.r.Play(s.synced, 512);
    rig fresh;
    const std::vector<float> from_start = fresh.Play(fresh.Add({{osc::PN_WAVEFORM, "0"}}), 512);
    for (int m = 0; m < 500; ++m) ASSERT_EQ(after[m], from_start[m]) << m;
}

// ---- noise --------------------------------------------------------------------------------

std::vector<float> WhiteNoiseFromZero(int count) {
    std::vector<float> values;
    uint32_t state = 0;
    for (int i = 0; i < count; ++i) {
        state = state * 1664525u + 1013904223u;
        values.push_back(std::bit_cast<float>(0x3F800000u | (state & 0x7FFFFFu)) - 1.5f);
    }
    return values;
}

// Two noise oscillators share one sequence: the one that runs first takes the
// first block of it, the other the next.
TEST(OscillatorTest, WhiteNoiseComesFromTheSharedGeneratorFromStateZero) {
    white_noise::state = 0;  // as when the program loads
    rig r;
    auto* first = r.Add({{osc::PN_WAVEFORM, "5"}}, 20);
    auto* second = r.Add({{osc::PN_WAVEFORM, "5"}}, 10);
    const auto outs = r.Play({first, second}, 64);
    const std::vector<float> expected = WhiteNoiseFromZero(128);
    EXPECT_EQ(outs[0], std::vector<float>(expected.begin(), expected.begin() + 64));
    EXPECT_EQ(outs[1], std::vector<float>(expected.begin() + 64, expected.end()));
}

// Hann-windowed power of each frequency bin of `segment`, whose length is a
// power of two.
std::vector<double> PowerSpectrum(std::span<const float> segment) {
    const std::size_t n = segment.size();
    std::vector<std::complex<double>> bins(n);
    for (std::size_t i = 0; i < n; ++i)
        bins[i] = segment[i] * (0.5 - 0.5 * std::cos(kTwoPi * static_cast<double>(i) / static_cast<double>(n)));
    for (std::size_t i = 1, j = 0; i < n; ++i) {  // bit-reversed order
        std::size_t bit = n >> 1;
        for (; (j & bit) != 0; bit >>= 1) j ^= bit;
        j |= bit;
        if (i < j) std::swap(bins[i], bins[j]);
    }
    for (std::size_t length = 2; length <= n; length <<= 1) {
        const std::complex<double> turn = std::polar(1.0, -kTwoPi / static_cast<double>(length));
        for (std::size_t start = 0; start < n; start += length) {
            std::complex<double> twiddle = 1.0;
            for (std::size_t k = 0; k < length / 2; ++k, twiddle *= turn) {
                const std::complex<double> even = bins[start + k];
                const std::complex<double> odd = bins[start + k + length / 2] * twiddle;
                bins[start + k] = even + odd;
                bins[start + k + length / 2] = even - odd;
            }
        }
    }
    std::vector<double> power(n / 2);
    for (std::size_t k = 0; k < n / 2; ++k) power[k] = std::norm(bins[k]);
    return power;
}

// Power per hertz falls 3 dB an octave: five octaves apart, 15 dB. The
// spectrum is averaged over every bin of each band and over 16 stretches.
TEST(OscillatorTest, PinkNoiseFallsThreeDecibelsPerOctave) {
    constexpr std::size_t kStretch = 8192;
    white_noise::state = 0;  // the same noise every run
    rig r;
    const std::vector<float> out = r.Play(r.Add({{osc::PN_WAVEFORM, "6"}}), 16 * kStretch);
    std::vector<double> spectrum(kStretch / 2);
    for (std::size_t start = 0; start < out.size(); start += kStretch) {
        const std::vector<double> power = PowerSpectrum(std::span(out).subspan(start, kStretch));
        for (std::size_t k = 0; k < power.size(); ++k) spectrum[k] += power[k];
    }
    auto band_density = [&](double low) {
        const auto first = static_cast<std::size_t>(low / r.sample_rate * kStretch);
        const std::size_t last = 2 * first;
        return std::accumulate(spectrum.begin() + first, spectrum.begin() + last, 0.0) / (last - first);
    };
    EXPECT_NEAR(10.0 * std::log10(band_density(150.0) / band_density(4800.0)), 15.05, 0.75);
}

// ---- phase distortion -------------------------------------------------------------------------

std::vector<float> PlayPhaseDist(const char* wave1, const char* wave2, const char* depth, const char* pitch = "5",
                                 int samples = 44100) {
    rig r;
    auto* module = r.Add<pd>({{pd::PN_PITCH, pitch}, {pd::PN_DEPTH, depth}, {pd::PN_WAVE1, wave1}, {pd::PN_WAVE2, wave2}});
    return r.Play(module, samples, pd::PN_AUDIO_OUT);
}

TEST(PhaseDistTest, AtZeroDepthEveryOrdinaryWaveIsAPureCosine) {
    struct {
        const char* wave;
        double fundamental;
    } const cases[] = {{"0", 440.0}, {"1", 440.0}, {"2", 440.0}, {"4", 440.0}, {"3", 880.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wave);
        const std::vector<float> out = PlayPhaseDist(c.wave, "-1", "0");
        const std::span<const float> settled = std::span(out).subspan(4410);
        const double fundamental = Magnitude(settled, c.fundamental, 44100.0);
        EXPECT_NEAR(fundamental / settled.size(), 0.125, 0.005);  // a 5 V peak under the Hann window
        for (double other : {0.5, 1.5, 2.0, 3.0, 4.0})
            EXPECT_LT(Magnitude(settled, c.fundamental * other, 44100.0), 0.002 * fundamental) << other;
    }
}

// A model of the bent-phase cosine straight from the breakpoints: (position,
// phase, third) with the third the shift per unit of depth, or for resonant
// waves the window level.
struct pd_point {
    double position;
    double phase;
    double third;
};

double BentCosine(const std::vector<pd_point>& points, bool resonant, double depth, double x) {
    const double shift = resonant ? 0.0 : depth;
    for (std::size_t k = 0; k + 1 < points.size(); ++k) {
        const double left = points[k].position + shift * points[k].third;
        const double right = points[k + 1].position + shift * points[k + 1].third;
        if (!(x >= left && x < right)) continue;
        const double along = (x - left) / (right - left);
        if (!resonant) return 0.5 * std::cos(kTwoPi * (points[k].phase + along * (points[k + 1].phase - points[k].phase)));
        const double window = points[k].third + along * (points[k + 1].third - points[k].third);
        return 0.5 - 0.5 * window + window * 0.5 * std::cos(kTwoPi * x * (depth * 10.0 + 1.0));
    }
    return 0.0;
}

// Peak amplitude of harmonic k of one period of the model.
double ModelHarmonic(const std::vector<pd_point>& points, bool resonant, double depth, int k) {
    constexpr int kSteps = 40000;
    std::complex<double> sum;
    for (int i = 0; i < kSteps; ++i) {
        const double x = (i + 0.5) / kSteps;
        sum += BentCosine(points, resonant, depth, x) * std::polar(1.0, -kTwoPi * k * x);
    }
    return 2.0 * std::abs(sum) / kSteps;
}

// Gain of the DC follower at `hertz`: out = raw - dc, dc += k (raw - dc) one
// sample late, so H(z) = (1 - 1/z) / (1 - (1 - k)/z).
double DcFollowerGain(double hertz) {
    const double k = 2.0 * std::sin(21.99115 / 44100.0);
    const std::complex<double> delay = std::polar(1.0, -kTwoPi * hertz / 44100.0);
    return std::abs((1.0 - delay) / (1.0 - (1.0 - k) * delay));
}

// Each wave's harmonics, measured at 55 Hz (exactly 55 periods a second) once
// the DC follower has settled, against the model; and the DC is gone.
TEST(PhaseDistTest, WavesHaveTheHarmonicsOfTheBentCosine) {
    struct {
        const char* wave;
        const char* depth;
        bool resonant;
        std::vector<pd_point> points;
    } const cases[] = {
        {"0", "10", false, {{0, 0, 0}, {0.5, 0.5, -0.5}, {1, 1, 0}}},
        {"1", "10", false, {{0, 0, 0}, {0, 0, 0.25}, {0.5, 0.5, -0.25}, {0.5, 0.5, 0.25}, {1, 1, -0.25}, {1, 1, 0}}},
        {"2", "10", false, {{0, 0, 0}, {0, 0, 0.5}, {1, 1, -0.5}, {1, 1, 0}}},
        {"3", "10", false, {{0, 0, 0}, {0.5, 1, -0.5}, {1, 2, 0}}},
        {"4", "10", false, {{0, 0, 0}, {0.5, 0.5, 0}, {1, 1, -0.5}, {1, 1, 0}}},
        {"1", "3", false, {{0, 0, 0}, {0, 0, 0.25}, {0.5, 0.5, -0.25}, {0.5, 0.5, 0.25}, {1, 1, -0.25}, {1, 1, 0}}},
        {"5", "5", true, {{0, 0, 1}, {1, 1, 0}}},
        {"6", "5", true, {{0, 0, 0}, {0.5, 0.5, 1}, {1, 1, 0}}},
        {"7", "2.5", true, {{0, 0, 1}, {0.5, 0.5, 1}, {1, 1, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "wave " << c.wave << " at " << c.depth << " V");
        const std::vector<float> out = PlayPhaseDist(c.wave, "-1", c.depth, "2", 48510);
        const std::span<const float> settled = std::span(out).subspan(4410, 44100);
        const double depth = std::min(std::stod(c.depth) / 10.0, 0.97);
        for (int k = 1; k <= 8; ++k) {
            const double measured = Magnitude(settled, 55.0 * k, 44100.0) * 4.0 / settled.size();
            const double expected = ModelHarmonic(c.points, c.resonant, depth, k) * DcFollowerGain(55.0 * k);
            EXPECT_NEAR(measured, expected, 0.002) << "harmonic " << k;
        }
        EXPECT_NEAR(Mean(settled), 0.0, 0.01);
    }
}

// 44.1 Hz in 1 V/kHz: 1000 samples a period.
TEST(PhaseDistTest, DoubleSinePlaysTwoCyclesPerPeriodAtFullDepth) {
    rig r;
    auto* module = r.Add<pd>({{pd::PN_PITCH, "0.0441"}, {pd::PN_FREQ_SCALE, "1"}, {pd::PN_DEPTH, "10"},
                              {pd::PN_WAVE1, "3"}, {pd::PN_WAVE2, "-1"}});
    const std::vector<float> out = r.Play(module, 30000, pd::PN_AUDIO_OUT);
    const std::span<const float> periods = std::span(out).subspan(9999, 20001);
    int rising = 0;
    for (std::size_t i = 1; i < periods.size(); ++i) rising += periods[i - 1] < 0.0f && periods[i] >= 0.0f ? 1 : 0;
    EXPECT_EQ(rising, 40);
}

TEST(PhaseDistTest, ASecondWaveAlternatesWithTheFirstAndNoneRepeatsIt) {
    const std::vector<float> alternating = PlayPhaseDist("0", "1", "5");
    const std::vector<float> repeating = PlayPhaseDist("0", "-1", "5");
    auto half_rate_share = [](std::span<const float> out) {
        return Magnitude(out, 220.0, 44100.0) / Magnitude(out, 440.0, 44100.0);
    };
    EXPECT_GT(half_rate_share(alternating), 0.05);
    EXPECT_LT(half_rate_share(repeating), 0.001);
}

TEST(PhaseDistTest, APitchAboveTheCosineTableIsSilent) {
    const std::vector<float> out = PlayPhaseDist("0", "-1", "5", "20", 640);
    EXPECT_TRUE(std::ranges::all_of(out, [](float s) { return s == 0.0f; }));
}

// ---- test tone ----------------------------------------------------------------------------------

TEST(TestToneTest, PlaysOneKilohertzAtFiveVolts) {
    rig r;
    auto* tone = r.engine.Add<ug_test_tone>(10);
    const std::vector<float> out = r.Play(tone, 44100, 0);
    EXPECT_NEAR(CrossingFrequency(out, 44100.0), 1000.0, 0.05);
    EXPECT_NEAR(*std::ranges::max_element(out), 0.5f, 1e-3);
}

}  // namespace
