// Band-limited single-cycle wavetables, shared by every oscillator of every
// voice: a set holds the same waveform with fewer and fewer harmonics, so that
// an oscillator can pick the richest table that does not alias at its pitch.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "engine/lookup_tables.h"

// 512 samples of one cycle plus two guard samples that continue it, so that
// interpolation never has to wrap; and the range of phase increments the table
// may be played at.
class Uwavetable : public ULookup {
public:
    static constexpr int kCycle = 512;
    static constexpr int kEntries = kCycle + 2;

    // Highest increment at which the table's top harmonic stays two semitones
    // below half the sample rate.
    uint32_t max_increment = 0;
    // Below this increment a richer table of the set fits.
    uint32_t switch_down_increment = 0;
    // One semitone below the switch-down increment: the table is kept down to
    // here, so that a pitch wobbling around the switch point does not flip tables.
    uint32_t lower_bound = 0;

    // The phase's top 9 bits pick the sample, the other 23 interpolate.
    float Read(uint32_t phase) const { return ReadTable(values.data(), phase); }
    static float ReadTable(const float* samples, uint32_t phase) {
        const uint32_t index = phase >> 23;
        const float fraction = static_cast<float>(phase & 0x7FFFFF) * (1.0f / 8388608.0f);
        return samples[index] + (samples[index + 1] - samples[index]) * fraction;
    }
};

// From the richest table (index 0) to the one with the fundamental alone.
using wavetable_set = std::vector<Uwavetable>;

// The process-wide table sets. They are filled in modules' Open, before audio
// runs, and then only read.
class shared_wavetables {
public:
    static shared_wavetables& Instance();

    // What an oscillator needs: the sine set and the silent table once, the
    // saw and triangle sets again whenever the sample rate changes.
    void PrepareForOscillator(int sample_rate);
    // What the phase-distortion oscillator needs.
    void PrepareCosine();

    const wavetable_set& Sine() const { return sine_; }
    const wavetable_set& Saw() const { return saw_; }
    const wavetable_set& SmoothedSaw() const { return smoothed_saw_; }
    const wavetable_set& Triangle() const { return triangle_; }
    const wavetable_set& Cosine() const { return cosine_; }
    // Zeros, played above the top of every set.
    const Uwavetable& Silent() const { return silent_; }

private:
    shared_wavetables() = default;

    // Two plug-in instances may open their engines at the same time.
    std::mutex building_;
    wavetable_set sine_;
    wavetable_set saw_;
    wavetable_set smoothed_saw_;
    wavetable_set triangle_;
    wavetable_set cosine_;
    Uwavetable silent_;
    int built_sample_rate_ = 0;
};
