#include "modules/wavetables.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>

namespace {

struct harmonic {
    int number;
    double amplitude;  // already scaled so that the waveform peaks at about 0.5
};

enum class wave_phase { sine, cosine };

// sin(2π i / 512) for every step of the cycle. Harmonic h at sample j is entry
// (j × h) mod 512, so building a set needs no sine call per term.
const std::array<double, Uwavetable::kCycle>& CycleSines() {
    static const auto sines = [] {
        std::array<double, Uwavetable::kCycle> values{};
        for (int i = 0; i < Uwavetable::kCycle; ++i) values[i] = std::sin(i * (6.283185307179586 / Uwavetable::kCycle));
        return values;
    }();
    return sines;
}

std::vector<harmonic> SineHarmonics() { return {{1, 0.5}}; }

// Amplitudes -1/k: the wave rises from -0.5 to +0.5 across the cycle.
std::vector<harmonic> SawHarmonics() {
    std::vector<harmonic> harmonics;
    for (int k = 1; k <= 256; ++k) harmonics.push_back({k, -0.32 / k});
    return harmonics;
}

std::vector<harmonic> TriangleHarmonics() {
    std::vector<harmonic> harmonics;
    double sign = 1.0;
    for (int k = 1; k <= 255; k += 2, sign = -sign) harmonics.push_back({k, sign * 0.405 / (k * k)});
    return harmonics;
}

// The table's highest harmonic stays two semitones below half the sample rate.
uint32_t MaxIncrement(int highest_harmonic) {
    return static_cast<uint32_t>(2147483648.0 / highest_harmonic * std::pow(2.0, -1.0 / 6.0));
}

uint32_t SemitoneBelow(uint32_t increment) { return static_cast<uint32_t>(increment * std::pow(2.0, -1.0 / 12.0)); }

// A raised-cosine window over the table's harmonics rounds off the ripple
// (Gibbs effect) that cutting the series short leaves at the wave's corners.
std::vector<double> Amplitudes(std::span<const harmonic> harmonics, bool smoothed) {
    std::vector<double> amplitudes;
    const double count = static_cast<double>(harmonics.size());
    for (const harmonic& h : harmonics) {
        const double window = smoothed ? 0.54 + 0.46 * std::cos((h.number - 1) * 3.1415927 / count) : 1.0;
        amplitudes.push_back(h.amplitude * window);
    }
    return amplitudes;
}

Uwavetable MakeTable(std::span<const harmonic> harmonics, bool smoothed, wave_phase phase) {
    const auto& sines = CycleSines();
    const std::vector<double> amplitudes = Amplitudes(harmonics, smoothed);
    const int quarter_cycle = phase == wave_phase::cosine ? Uwavetable::kCycle / 4 : 0;
    Uwavetable table;
    table.Resize(Uwavetable::kEntries);
    for (int j = 0; j < Uwavetable::kEntries; ++j) {
        double sum = 0.0;
        for (std::size_t k = 0; k < harmonics.size(); ++k)
            sum += amplitudes[k] * sines[(j * harmonics[k].number + quarter_cycle) % Uwavetable::kCycle];
        const auto value = static_cast<float>(sum);
        table.values[static_cast<std::size_t>(j)] = std::fabs(value) < 1e-20f ? 0.0f : value;
    }
    table.initialised = true;
    return table;
}

// The next table tops out at the first harmonic at least half an octave above
// the current top, or at the last harmonic.
std::size_t NextTop(const std::vector<harmonic>& harmonics, std::size_t top) {
    const double wanted = std::sqrt(2.0) * harmonics[top].number;
    for (std::size_t k = top + 1; k < harmonics.size(); ++k)
        if (harmonics[k].number >= wanted) return k;
    return harmonics.size() - 1;
}

wavetable_set BuildSet(const std::vector<harmonic>& harmonics, bool smoothed, wave_phase phase) {
    wavetable_set set;  // made from the fundamental upwards, turned round at the end
    std::size_t top = 0;
    for (;;) {
        Uwavetable table = MakeTable(std::span(harmonics.data(), top + 1), smoothed, phase);
        table.max_increment = MaxIncrement(harmonics[top].number);
        if (!set.empty()) {
            set.back().switch_down_increment = table.max_increment;
            set.back().lower_bound = SemitoneBelow(table.max_increment);
        }
        set.push_back(std::move(table));
        if (top + 1 == harmonics.size()) break;
        top = NextTop(harmonics, top);
    }
    std::reverse(set.begin(), set.end());
    set.front().switch_down_increment = 0;
    set.front().lower_bound = 0;
    return set;
}

// Oscillators hold pointers into the sets, so a rebuilt set is copied into the
// existing tables rather than replacing them.
void Refill(wavetable_set& set, const wavetable_set& built) {
    if (set.size() == built.size())
        std::copy(built.begin(), built.end(), set.begin());
    else
        set = built;
}

}  // namespace

shared_wavetables& shared_wavetables::Instance() {
    static shared_wavetables tables;
    return tables;
}

void shared_wavetables::PrepareForOscillator(int sample_rate) {
    const std::lock_guard lock(building_);
    if (sine_.empty()) {
        sine_ = BuildSet(SineHarmonics(), true, wave_phase::sine);
        silent_.Resize(Uwavetable::kEntries);
        silent_.initialised = true;
        silent_.lower_bound = sine_.front().max_increment;
        silent_.max_increment = UINT32_MAX;
    }
    if (saw_.empty() || sample_rate != built_sample_rate_) {
        Refill(saw_, BuildSet(SawHarmonics(), false, wave_phase::sine));
        Refill(smoothed_saw_, BuildSet(SawHarmonics(), true, wave_phase::sine));
        Refill(triangle_, BuildSet(TriangleHarmonics(), false, wave_phase::sine));
        built_sample_rate_ = sample_rate;
    }
}

void shared_wavetables::PrepareCosine() {
    const std::lock_guard lock(building_);
    if (cosine_.empty()) cosine_ = BuildSet(SineHarmonics(), true, wave_phase::cosine);
}
