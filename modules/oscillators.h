// Sound sources driven by pitch: the wavetable oscillator, the
// phase-distortion oscillator and the test tone.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

#include "engine/ug_base.h"
#include "modules/wavetables.h"

// Pitch voltage to phase increment (2^32 = one cycle per sample), through the
// application's "osc pitch lookup" table so that no power function runs per sample.
class pitch_to_increment {
public:
    enum freq_scale : int16_t { PER_OCTAVE = 0, PER_KILOHERTZ = 1 };

    // Takes (and fills when needed) the table for the module's sample rate.
    void Open(ug_base& module);
    uint32_t Increment(float pitch, int16_t scale) const {
        return scale == PER_KILOHERTZ ? PerKilohertz(pitch) : PerOctave(pitch);
    }
    // 1 V per octave, 5 V = 440 Hz.
    uint32_t PerOctave(float pitch) const;
    // 1 V per kHz, held between 0 Hz and half the sample rate.
    uint32_t PerKilohertz(float pitch) const;

private:
    const int32_t* table_ = nullptr;  // increments for 8 V + i/512 V, as unsigned bits
    float sample_rate_ = 44100.0f;
};

// The one white-noise sequence every noise oscillator of the process draws
// from: a linear congruential generator whose state is 0 when the program loads.
class white_noise {
public:
    // Uniform in [-0.5, 0.5).
    static float Next() {
        state = state * 1664525u + 1013904223u;
        return FromState(state);
    }
    // The low 23 bits as the mantissa of a float in [1, 2).
    static float FromState(uint32_t value) {
        return std::bit_cast<float>(0x3F800000u | (value & 0x7FFFFFu)) - 1.5f;
    }

    static uint32_t state;
};

// "Oscillator": band-limited wavetable oscillator with pulse, noise, hard sync
// and phase modulation.
class ug_oscillator2 : public ug_module<ug_oscillator2> {
public:
    enum waveform : int16_t { SINE, SAW, RAMP, TRIANGLE, PULSE, WHITE_NOISE, PINK_NOISE };
    enum plug_number {
        PN_PITCH,
        PN_PULSE_WIDTH,
        PN_WAVEFORM,
        PN_AUDIO_OUT,
        PN_SYNC,
        PN_PHASE_MOD,
        PN_FREQ_SCALE,
        PN_PM_DEPTH,
        PN_SMOOTH_PEAKS,
        PN_SYNC_XFADE,
    };
    // Samples over which a change of table, and a hard-sync reset, fade in.
    static constexpr int kTableFade = 20;
    static constexpr int kSyncFade = 4;

    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override;

    // The table playing now (for tests and read-outs).
    const Uwavetable* CurrentTable() const { return playing_.current; }

private:
    using renderer = void (ug_oscillator2::*)(int start, int count);
    enum class table_wave { plain, ramp, pulse };

    // Everything rendering moves on. The crossfades render the same samples
    // twice from one starting point, so they save and restore all of it.
    struct playing_state {
        uint32_t phase = 0;
        int32_t pm_offset = 0;
        uint32_t increment = 0;  // valid while Pitch does not run
        const Uwavetable* current = nullptr;
        const Uwavetable* target = nullptr;
        int table_fade_left = 0;
        // The current table is kept while the increment stays in this range.
        uint32_t low_bound = 1;
        uint32_t high_bound = 0;
    };

    bool Runs(plug_number plug) const { return GetPlug(plug)->status == ST_RUN; }
    float ValueNow(const float* input) const { return input[BlockPosition()]; }
    bool IsTableWave() const { return table_set_ != nullptr; }
    uint32_t IncrementAt(int position) const { return pitch_converter_.Increment(pitch_[position], freq_scale_); }

    // Choosing what to play.
    void ChooseTableSet();
    void UpdateIncrement();
    void ChooseTable(uint32_t increment);
    void ChooseRenderer();
    renderer TableRenderer() const;
    template <table_wave Wave, bool... Chosen, class... Flags>
    static renderer Specialise(bool runs, Flags... rest);

    // Inputs that are constant, applied once per change.
    void ApplyStaticPhaseOffset();
    void CheckStaticSyncRise();
    void ResetPhase(uint32_t new_phase);
    static void StartPhase(ug_base* module);

    // Renderers.
    template <table_wave Wave, bool WidthRuns, bool PitchRuns, bool PhaseModRuns>
    void RenderTable(int start, int count);
    void RenderWithPitchCheck(int start, int count);
    void RenderSegment(int start, int count);
    void TableCrossfade(int start, int count);
    void SyncRender(int start, int count);
    void RenderBetweenResets(int start, int count);
    void ResetAtRise(int position, float before, float after);
    template <class RenderOld, class RenderNew>
    void CrossfadeRenders(int start, int count, float old_weight, float weight_step, RenderOld render_old,
                          RenderNew render_new);
    void RenderWhiteNoise(int start, int count);
    void RenderPinkNoise(int start, int count);

    // Plugs.
    float* pitch_ = nullptr;
    float* pulse_width_ = nullptr;
    float* out_ = nullptr;
    float* sync_ = nullptr;
    float* phase_mod_ = nullptr;
    float* pm_depth_ = nullptr;
    int16_t waveform_ = SINE;
    int16_t freq_scale_ = pitch_to_increment::PER_OCTAVE;
    uint8_t smooth_peaks_ = 0;
    uint8_t sync_crossfade_ = 0;

    pitch_to_increment pitch_converter_;
    const wavetable_set* table_set_ = nullptr;  // none for the noise waveforms
    playing_state playing_;
    uint32_t pulse_offset_ = 0;  // valid while Pulse Width does not run

    bool sync_not_positive_ = false;
    float last_sync_ = 0.0f;
    int sync_fade_left_ = 0;
    int32_t sync_jump_ = 0;  // old phase minus reset phase

    std::array<float, 6> pink_ = {};

    renderer inner_ = nullptr;  // the specialised table renderer
    renderer outer_ = nullptr;  // the inner one, or a crossfade or sync wrapper around it
};

// "Phase Dist Osc": a cosine read through a bent phase, the bend set by
// breakpoints that move with Modulation Depth.
class ug_oscillator_pd : public ug_module<ug_oscillator_pd> {
public:
    enum wave : int16_t { NONE = -1, SAW, SQUARE, PULSE, DBL_SINE, SAW_PULSE, RESO1, RESO2, RESO3 };
    enum plug_number { PN_PITCH, PN_DEPTH, PN_AUDIO_OUT, PN_WAVE1, PN_WAVE2, PN_FREQ_SCALE };
    struct breakpoint {
        float position;  // where it lies at zero depth
        float phase;     // the cosine's phase there, in cycles
        float third;     // ordinary waves: movement per unit of depth; resonant: window level
    };

    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override;

private:
    static constexpr int kMaxBreakpoints = 12;

    void RebuildBreakpoints();
    void UpdateIncrement(int position);
    void ChooseRenderer();
    float Position(int point, float shift) const;
    int FindSegment(float x, float shift) const;
    float Interpolate(int segment, float x, float shift, float breakpoint::*value) const;
    float RawSample(float x, float depth);

    template <bool PitchRuns>
    void RenderWave(int start, int count);
    void RenderRunningPitch(int start, int count);
    void RenderSilence(int start, int count);

    float* pitch_ = nullptr;
    float* depth_ = nullptr;
    float* out_ = nullptr;
    int16_t wave1_ = SAW;
    int16_t wave2_ = SAW;
    int16_t freq_scale_ = pitch_to_increment::PER_OCTAVE;

    pitch_to_increment pitch_converter_;
    const Uwavetable* cosine_ = nullptr;
    float dc_coefficient_ = 0.0f;

    std::array<breakpoint, kMaxBreakpoints> breakpoints_{};
    std::array<int, 3> wave_start_{};  // each wave's first breakpoint; the end of the last
    std::array<bool, 2> resonant_{};
    int wave_count_ = 1;
    int playing_wave_ = 0;
    int segment_ = 0;

    uint32_t phase_ = 0;
    uint32_t increment_ = 0;
    float dc_ = 0.0f;
    bool too_high_ = false;
};

// "1 KHz Tone": a fixed 1 kHz sine at 5 V peak, always running.
class ug_test_tone : public ug_module<ug_test_tone> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;

private:
    void Run(int start, int count);

    float* out_ = nullptr;
    float angle_ = 0.0f;
    float angle_step_ = 0.0f;
};
