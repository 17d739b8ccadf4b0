#include "modules/oscillators.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "engine/audio_master.h"
#include "project/module_registry.h"

namespace {
ug_registration<ug_oscillator2> register_oscillator("Oscillator");
ug_registration<ug_oscillator_pd> register_phase_dist("Phase Dist Osc");
ug_registration<ug_test_tone> register_test_tone("1 KHz Tone");

constexpr double kPhaseCycle = 4294967296.0;  // 2^32 phase units
constexpr int kPitchTableEntries = 514;

InterfaceObject PitchInterface(float** samples) {
    return {.sample_ptr = samples, .direction = DR_IN, .help = "1 Volt per Octave, 5V = Middle A", .name = "Pitch",
            .default_value = "5", .list_values = "100, 0, 10, 0", .data_type = DT_AUDIO};
}

InterfaceObject FreqScaleInterface(int16_t* scale) {
    return {.direction = DR_PARAMETER, .help = "Switches between 1 Volt per Octave or 1 Volt per kHz response.",
            .name = "Freq Scale", .default_value = "0", .list_values = "1 Volt/Octave, 1 Volt/kHz ",
            .data_type = DT_ENUM, .variable = scale};
}

// Phase Mod × PM Depth cycles as a phase offset. Beyond half a cycle either way
// it wraps round the cycle, as the phase itself does.
int32_t PhaseOffset(float phase_mod, float depth) {
    const float offset = phase_mod * depth * 4294967296.0f;
    const float limited = offset > -9.0e18f ? (offset < 9.0e18f ? offset : 9.0e18f) : -9.0e18f;
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(limited)));
}

// How far behind the main saw the subtracted saw runs: -10 V .. 10 V of Pulse
// Width make 0 .. 100 % of the cycle, held short of both ends.
uint32_t PulseOffset(float width) {
    const float limited = width > -0.99f ? (width < 0.99f ? width : 0.99f) : -0.99f;
    return static_cast<uint32_t>((1.0f - limited) * 2147483648.0f);
}

uint32_t CyclesToPhase(float cycles) {
    return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<double>(cycles) * kPhaseCycle));
}

}  // namespace

// ---- pitch to increment -----------------------------------------------------

void pitch_to_increment::Open(ug_base& module) {
    sample_rate_ = module.SampleRate();
    ULookup_Integer* table =
        module.audio_master->LookupTables().GetIntegerTable("osc pitch lookup", static_cast<int>(sample_rate_));
    if (!table->initialised) {
        table->Resize(kPitchTableEntries);
        for (int i = 0; i < kPitchTableEntries; ++i) {
            const double hertz = std::pow(2.0, (i * 0.0001953125 + 0.8) * 10.0 - 5.0) * 440.0;
            const double increment = std::min(hertz * kPhaseCycle / sample_rate_ + 0.5, 4294967295.0);
            table->values[static_cast<std::size_t>(i)] = static_cast<int32_t>(static_cast<uint32_t>(increment));
        }
        table->initialised = true;
    }
    table_ = table->values.data();
}

uint32_t pitch_to_increment::PerOctave(float pitch) const {
    // Beyond these the increment is 0 or saturated anyway; the limit keeps the
    // bit split below valid.
    const float volts = std::clamp(pitch * 10.0f, -1000.0f, 1000.0f);
    // Added to 1.5 × 2^20, the whole volts land in the upper mantissa bits and
    // the fraction, in steps of 2^-32, in the low 32 bits.
    const auto bits = std::bit_cast<uint64_t>(static_cast<double>(volts) + 1572864.0);
    const auto fraction = static_cast<uint32_t>(bits);
    const int32_t whole = static_cast<int32_t>((bits >> 32) & 0xFFFFF) - 0x80000;

    const uint32_t index = fraction >> 23;
    const auto below = static_cast<uint32_t>(table_[index]);
    const uint64_t step = static_cast<uint32_t>(table_[index + 1]) - below;
    const uint32_t at_eight_volts = below + static_cast<uint32_t>((step * (fraction & 0x7FFFFF)) >> 23);

    if (whole <= 8) {
        const int shift = 8 - whole;
        return shift >= 32 ? 0 : at_eight_volts >> shift;
    }
    const int shift = whole - 8;
    if (shift > 8 || (at_eight_volts >> (32 - shift)) != 0) return UINT32_MAX;
    return at_eight_volts << shift;
}

uint32_t pitch_to_increment::PerKilohertz(float pitch) const {
    const float hertz = pitch * 10000.0f;
    const float limited = hertz > 0.0f ? std::min(hertz, sample_rate_ * 0.5f) : 0.0f;
    return static_cast<uint32_t>(static_cast<double>(limited) * kPhaseCycle / sample_rate_ + 0.5);
}

// ---- white noise --------------------------------------------------------------

uint32_t white_noise::state = 0;

// ---- Oscillator -----------------------------------------------------------------

void ug_oscillator2::ListInterface(std::vector<InterfaceObject>& list) {
    AddInterface(list, PitchInterface(&pitch_));
    AddInterface(list, {.sample_ptr = &pulse_width_, .direction = DR_IN,
                        .help = "Width of rectangular pulse. -10 to 10 Volts = 0 to 100%", .name = "Pulse Width",
                        .default_value = "5", .data_type = DT_AUDIO});
    AddInterface(list, {.direction = DR_IN, .help = "Selects different wave shapes", .name = "Waveform",
                        .default_value = "1",
                        .list_values = "Sine, Saw, Ramp, Triangle, Pulse,White Noise,Pink Noise",
                        .data_type = DT_ENUM, .variable = &waveform_});
    AddInterface(list, {.sample_ptr = &out_, .direction = DR_OUT, .name = "Audio Out", .default_value = "0",
                        .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = &sync_, .direction = DR_IN,
                        .help = "Syncs this Oscillator to an external signal, usually another oscillator to produce "
                                "a gnarly sound.",
                        .name = "Sync", .default_value = "0", .list_values = "100, 0, 5, -5", .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = &phase_mod_, .direction = DR_IN,
                        .help = "Varies the phase (-5 to +5 Volts), used for yamaha style frequency modulation.  "
                                "Don't work on Pulse waveform.",
                        .name = "Phase Mod", .default_value = "0", .list_values = "100, 0, 10, 0",
                        .data_type = DT_AUDIO});
    AddInterface(list, FreqScaleInterface(&freq_scale_));
    AddInterface(list, {.sample_ptr = &pm_depth_, .direction = DR_IN,
                        .help = "Varies the phase modulation depth (0 to 10 Volts)", .name = "PM Depth",
                        .default_value = "5", .list_values = "100, 0, 10, 0", .data_type = DT_AUDIO});
    AddInterface(list, {.direction = DR_PARAMETER,
                        .help = "Improves the Wave Appearance by rolling off upper harmonics, reduces wave "
                                "'brightness' though.",
                        .name = "Smooth Peaks (Gibbs Effect)", .default_value = "1", .data_type = DT_BOOL,
                        .variable = &smooth_peaks_});
    AddInterface(list, {.direction = DR_PARAMETER,
                        .help = "Reduces Alias noise when Syncing at Audio rates. Can be disabled to provide precise "
                                "note-on phase sync (usefull for phase modulation patches)",
                        .name = "Sync X-Fade (Anti Alias)", .default_value = "1", .data_type = DT_BOOL,
                        .variable = &sync_crossfade_});
}

void ug_oscillator2::Open() {
    pitch_converter_.Open(*this);
    shared_wavetables::Instance().PrepareForOscillator(static_cast<int>(SampleRate()));
    ug_base::Open();
    pulse_offset_ = PulseOffset(ValueNow(pulse_width_));
    ChooseTableSet();
    ChooseRenderer();
    GetPlug(PN_AUDIO_OUT)->TransmitStatus(sample_clock, ST_RUN);
    QueueFunction(sample_clock, &ug_oscillator2::StartPhase);
}

// Runs at the first sample, once the inputs' values have arrived.
void ug_oscillator2::StartPhase(ug_base* module) {
    auto& oscillator = static_cast<ug_oscillator2&>(*module);
    oscillator.playing_.pm_offset = PhaseOffset(oscillator.ValueNow(oscillator.phase_mod_),
                                                oscillator.ValueNow(oscillator.pm_depth_));
    oscillator.playing_.phase = -static_cast<uint32_t>(oscillator.playing_.pm_offset);
    oscillator.last_sync_ = oscillator.ValueNow(oscillator.sync_);
    oscillator.sync_not_positive_ = oscillator.last_sync_ <= 0.0f;
}

void ug_oscillator2::OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) {
    const bool settled = status != ST_RUN;
    switch (connection->to->index) {
        case PN_PHASE_MOD:
            if (settled) ApplyStaticPhaseOffset();
            break;
        case PN_SYNC:
            if (settled) CheckStaticSyncRise();
            break;
        case PN_PULSE_WIDTH:
            if (settled) pulse_offset_ = PulseOffset(ValueNow(pulse_width_));
            break;
        case PN_PITCH:
        case PN_FREQ_SCALE:
            if (settled && IsTableWave()) UpdateIncrement();
            break;
        case PN_WAVEFORM:
        case PN_SMOOTH_PEAKS:
            ChooseTableSet();
            break;
        default:
            break;
    }
    ChooseRenderer();
}

void ug_oscillator2::ChooseTableSet() {
    const shared_wavetables& tables = shared_wavetables::Instance();
    switch (waveform_) {
        case WHITE_NOISE:
        case PINK_NOISE:
            table_set_ = nullptr;
            return;
        case SAW:
        case RAMP:
        case PULSE:
            table_set_ = smooth_peaks_ != 0 ? &tables.SmoothedSaw() : &tables.Saw();
            break;
        case TRIANGLE:
            table_set_ = &tables.Triangle();
            break;
        default:  // Sine, and any number outside the list
            table_set_ = &tables.Sine();
            break;
    }
    playing_.current = playing_.target = &table_set_->front();
    playing_.table_fade_left = 0;
    // An empty range, so that the check below always picks a table.
    playing_.low_bound = UINT32_MAX;
    playing_.high_bound = 0;
    UpdateIncrement();
}

void ug_oscillator2::UpdateIncrement() {
    playing_.increment = IncrementAt(BlockPosition());
    ChooseTable(playing_.increment);
}

// The richest table whose top harmonic does not alias at this increment; the
// current one is kept from a semitone below its switch point up to its top.
void ug_oscillator2::ChooseTable(uint32_t increment) {
    if (playing_.table_fade_left > 0) return;
    if (playing_.low_bound <= increment && increment <= playing_.high_bound) return;
    const wavetable_set& set = *table_set_;
    const Uwavetable* target = &shared_wavetables::Instance().Silent();
    if (increment <= set.back().max_increment) {
        std::size_t index = set.size() - 1;
        while (index > 0 && increment < set[index].switch_down_increment) --index;
        target = &set[index];
    }
    playing_.target = target;
    playing_.low_bound = target->lower_bound;
    playing_.high_bound = target->max_increment;
    if (target == playing_.current) return;
    playing_.table_fade_left = kTableFade;
    ChooseRenderer();
}

void ug_oscillator2::ChooseRenderer() {
    if (!IsTableWave()) {
        SetProcess(waveform_ == PINK_NOISE ? &ug_oscillator2::RenderPinkNoise : &ug_oscillator2::RenderWhiteNoise);
        return;
    }
    inner_ = TableRenderer();
    if (Runs(PN_SYNC) || sync_fade_left_ > 0)
        outer_ = &ug_oscillator2::SyncRender;
    else if (playing_.table_fade_left > 0)
        outer_ = &ug_oscillator2::TableCrossfade;
    else
        outer_ = inner_;
    SetProcess(Runs(PN_PITCH) ? &ug_oscillator2::RenderWithPitchCheck : outer_);
}

ug_oscillator2::renderer ug_oscillator2::TableRenderer() const {
    const bool pitch = Runs(PN_PITCH);
    const bool phase_mod = Runs(PN_PHASE_MOD);
    switch (waveform_) {
        case RAMP:
            return Specialise<table_wave::ramp, false>(pitch, phase_mod);
        case PULSE:
            return Specialise<table_wave::pulse>(Runs(PN_PULSE_WIDTH), pitch, phase_mod);
        default:
            return Specialise<table_wave::plain, false>(pitch, phase_mod);
    }
}

// Turns the run-time flags, one at a time, into the template arguments of the
// renderer that has no per-sample test for them.
template <ug_oscillator2::table_wave Wave, bool... Chosen, class... Flags>
ug_oscillator2::renderer ug_oscillator2::Specialise(bool runs, Flags... rest) {
    if constexpr (sizeof...(Flags) == 0)
        return runs ? &ug_oscillator2::RenderTable<Wave, Chosen..., true>
                    : &ug_oscillator2::RenderTable<Wave, Chosen..., false>;
    else
        return runs ? Specialise<Wave, Chosen..., true>(rest...) : Specialise<Wave, Chosen..., false>(rest...);
}

void ug_oscillator2::ApplyStaticPhaseOffset() {
    const int32_t offset = PhaseOffset(ValueNow(phase_mod_), ValueNow(pm_depth_));
    playing_.phase += static_cast<uint32_t>(playing_.pm_offset) - static_cast<uint32_t>(offset);
    playing_.pm_offset = offset;
}

void ug_oscillator2::CheckStaticSyncRise() {
    const float sync = ValueNow(sync_);
    if (sync_not_positive_ && sync > 0.0f) {
        playing_.pm_offset = PhaseOffset(ValueNow(phase_mod_), ValueNow(pm_depth_));
        ResetPhase(-static_cast<uint32_t>(playing_.pm_offset));
    }
    sync_not_positive_ = sync <= 0.0f;
    last_sync_ = sync;
}

void ug_oscillator2::ResetPhase(uint32_t new_phase) {
    sync_jump_ = static_cast<int32_t>(playing_.phase - new_phase);
    playing_.phase = new_phase;
    if (sync_crossfade_ != 0) sync_fade_left_ = kSyncFade;
}

// ---- Oscillator renderers ---------------------------------------------------------

template <ug_oscillator2::table_wave Wave, bool WidthRuns, bool PitchRuns, bool PhaseModRuns>
void ug_oscillator2::RenderTable(int start, int count) {
    const float* table = playing_.current->values.data();
    float* out = out_ + start;
    const float* pitch = pitch_ + start;
    const float* width = pulse_width_ + start;
    const float* phase_mod = phase_mod_ + start;
    const float* depth = pm_depth_ + start;
    const int16_t scale = freq_scale_;
    const uint32_t block_increment = playing_.increment;
    const uint32_t block_pulse_offset = pulse_offset_;
    uint32_t phase = playing_.phase;
    int32_t pm_offset = playing_.pm_offset;
    for (int i = 0; i < count; ++i) {
        if constexpr (PhaseModRuns) {
            const int32_t offset = PhaseOffset(phase_mod[i], depth[i]);
            phase += static_cast<uint32_t>(pm_offset) - static_cast<uint32_t>(offset);
            pm_offset = offset;
        }
        float value = Uwavetable::ReadTable(table, phase);
        if constexpr (Wave == table_wave::ramp) value = -value;
        if constexpr (Wave == table_wave::pulse) {
            // Two saws half a width apart: their difference is a pulse whose
            // mean is zero for any width.
            const uint32_t offset = WidthRuns ? PulseOffset(width[i]) : block_pulse_offset;
            value = Uwavetable::ReadTable(table, phase - offset) - value;
        }
        out[i] = value;
        phase += PitchRuns ? pitch_converter_.Increment(pitch[i], scale) : block_increment;
    }
    playing_.phase = phase;
    playing_.pm_offset = pm_offset;
}

void ug_oscillator2::RenderWithPitchCheck(int start, int count) {
    ChooseTable(IncrementAt(start));
    (this->*outer_)(start, count);
}

void ug_oscillator2::RenderSegment(int start, int count) {
    if (playing_.table_fade_left > 0)
        TableCrossfade(start, count);
    else
        (this->*inner_)(start, count);
}

void ug_oscillator2::TableCrossfade(int start, int count) {
    const int fading = std::min(count, playing_.table_fade_left);
    const Uwavetable* old_table = playing_.current;
    CrossfadeRenders(
        start, fading, static_cast<float>(playing_.table_fade_left) * 0.05f, 0.04761905f,
        [&] { (this->*inner_)(start, fading); },
        [&] {
            playing_.current = playing_.target;
            (this->*inner_)(start, fading);
            playing_.current = old_table;
        });
    playing_.table_fade_left -= fading;
    if (playing_.table_fade_left > 0) return;
    playing_.current = playing_.target;
    (this->*inner_)(start + fading, count - fading);
    // The pitch may have moved on during the fade.
    playing_.increment = IncrementAt(start + count - 1);
    ChooseTable(playing_.increment);
    ChooseRenderer();
}

void ug_oscillator2::SyncRender(int start, int count) {
    const float* sync = sync_ + start;
    float previous = last_sync_;
    int done = 0;
    for (int i = 0; i < count; ++i) {
        if (previous <= 0.0f && sync[i] > 0.0f) {
            RenderBetweenResets(start + done, i - done);
            ResetAtRise(start + i, previous, sync[i]);
            done = i;
        }
        previous = sync[i];
    }
    RenderBetweenResets(start + done, count - done);
    last_sync_ = previous;
    sync_not_positive_ = previous <= 0.0f;
    if (sync_fade_left_ == 0 && !Runs(PN_SYNC)) ChooseRenderer();
}

// The crossing lay between the two samples: the new cycle has already run for
// the part of a sample since then.
void ug_oscillator2::ResetAtRise(int position, float before, float after) {
    float elapsed = after / (after - before);
    if (!(elapsed <= 1.0f)) elapsed = 1.0f;
    const uint32_t increment = Runs(PN_PITCH) ? IncrementAt(position) : playing_.increment;
    playing_.pm_offset = PhaseOffset(phase_mod_[position], pm_depth_[position]);
    const auto elapsed_phase = static_cast<uint32_t>(static_cast<double>(elapsed) * increment);
    ResetPhase(elapsed_phase - static_cast<uint32_t>(playing_.pm_offset));
}

void ug_oscillator2::RenderBetweenResets(int start, int count) {
    const int fading = std::min(count, sync_fade_left_);
    if (fading > 0) {
        CrossfadeRenders(
            start, fading, static_cast<float>(sync_fade_left_) * 0.25f, 0.2f,
            [&] {
                playing_.phase += static_cast<uint32_t>(sync_jump_);  // the wave as it would have gone on
                RenderSegment(start, fading);
            },
            [&] { RenderSegment(start, fading); });
        sync_fade_left_ -= fading;
    }
    if (count > fading) RenderSegment(start + fading, count - fading);
}

template <class RenderOld, class RenderNew>
void ug_oscillator2::CrossfadeRenders(int start, int count, float old_weight, float weight_step,
                                      RenderOld render_old, RenderNew render_new) {
    std::array<float, kTableFade> old_samples;
    const playing_state before = playing_;
    render_old();
    std::copy_n(out_ + start, count, old_samples.begin());
    playing_ = before;
    render_new();
    float* out = out_ + start;
    for (int i = 0; i < count; ++i) {
        old_weight -= weight_step;
        out[i] = (1.0f - old_weight) * out[i] + old_weight * old_samples[static_cast<std::size_t>(i)];
    }
}

void ug_oscillator2::RenderWhiteNoise(int start, int count) {
    float* out = out_ + start;
    for (int i = 0; i < count; ++i) out[i] = white_noise::Next();
}

// Six one-pole low-passes of the white noise, summed: about -3 dB per octave.
void ug_oscillator2::RenderPinkNoise(int start, int count) {
    float* out = out_ + start;
    auto [b0, b1, b2, b3, b4, b5] = pink_;
    for (int i = 0; i < count; ++i) {
        const float white = white_noise::Next();
        b0 = 0.997f * b0 + 0.029591f * white;
        b1 = 0.985f * b1 + 0.032534f * white;
        b2 = 0.95f * b2 + 0.048056f * white;
        b3 = 0.85f * b3 + 0.090579f * white;
        b4 = 0.62f * b4 + 0.10899f * white;
        b5 = 0.25f * b5 + 0.255784f * white;
        out[i] = b0 + b1 + b2 + b3 + b4 + b5;
    }
    pink_ = {b0, b1, b2, b3, b4, b5};
}

// ---- Phase Dist Osc -----------------------------------------------------------------

namespace {

struct pd_shape {
    int count;
    std::array<ug_oscillator_pd::breakpoint, 6> points;
    bool resonant;
};

// By wave number: Saw, Square, Pulse, Dbl Sine, Saw-Pulse, Reso1, Reso2, Reso3.
constexpr std::array<pd_shape, 8> kShapes = {{
    {3, {{{0, 0, 0}, {0.5f, 0.5f, -0.5f}, {1, 1, 0}}}, false},
    {6, {{{0, 0, 0}, {0, 0, 0.25f}, {0.5f, 0.5f, -0.25f}, {0.5f, 0.5f, 0.25f}, {1, 1, -0.25f}, {1, 1, 0}}}, false},
    {4, {{{0, 0, 0}, {0, 0, 0.5f}, {1, 1, -0.5f}, {1, 1, 0}}}, false},
    {3, {{{0, 0, 0}, {0.5f, 1, -0.5f}, {1, 2, 0}}}, false},
    {4, {{{0, 0, 0}, {0.5f, 0.5f, 0}, {1, 1, -0.5f}, {1, 1, 0}}}, false},
    {2, {{{0, 0, 1}, {1, 1, 0}}}, true},
    {3, {{{0, 0, 0}, {0.5f, 0.5f, 1}, {1, 1, 0}}}, true},
    {3, {{{0, 0, 1}, {0.5f, 0.5f, 1}, {1, 1, 0}}}, true},
}};

bool IsWave(int16_t wave) { return wave >= 0 && wave < static_cast<int16_t>(kShapes.size()); }

// 0.97 keeps every segment of the bent phase wider than zero.
float LimitDepth(float depth) { return depth > 0.0f ? (depth < 0.97f ? depth : 0.97f) : 0.0f; }

}  // namespace

void ug_oscillator_pd::ListInterface(std::vector<InterfaceObject>& list) {
    AddInterface(list, PitchInterface(&pitch_));
    AddInterface(list, {.sample_ptr = &depth_, .direction = DR_IN,
                        .help = "Controls Waveshape distortion. 0 to 10 Volts = 0 to 100%",
                        .name = "Modulation Depth", .default_value = "5", .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = &out_, .direction = DR_OUT, .name = "Audio Out", .default_value = "0",
                        .data_type = DT_AUDIO});
    AddInterface(list, {.direction = DR_IN, .help = "Selects different wave shapes", .name = "Wave1",
                        .default_value = "0", .list_values = "Saw,Square,Pulse,Dbl Sine,Saw-Pulse,Reso1,Reso2,Reso3",
                        .data_type = DT_ENUM, .variable = &wave1_});
    AddInterface(list, {.direction = DR_IN, .help = "Selects different wave shapes", .name = "Wave2",
                        .default_value = "0",
                        .list_values = "None=-1,Saw,Square,Pulse,Dbl Sine,Saw-Pulse,Reso1,Reso2,Reso3",
                        .data_type = DT_ENUM, .variable = &wave2_});
    AddInterface(list, FreqScaleInterface(&freq_scale_));
}

void ug_oscillator_pd::Open() {
    pitch_converter_.Open(*this);
    shared_wavetables& tables = shared_wavetables::Instance();
    tables.PrepareCosine();
    cosine_ = &tables.Cosine().front();
    // A one-pole follower at 3.5 Hz: what it tracks is the wave's DC.
    dc_coefficient_ = 2.0f * std::sin(21.99115f / SampleRate());
    RebuildBreakpoints();
    ug_base::Open();
    UpdateIncrement(BlockPosition());
    ChooseRenderer();
    GetPlug(PN_AUDIO_OUT)->TransmitStatus(sample_clock, ST_RUN);
}

void ug_oscillator_pd::OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) {
    switch (connection->to->index) {
        case PN_PITCH:
        case PN_FREQ_SCALE:
            if (status != ST_RUN) UpdateIncrement(BlockPosition());
            break;
        case PN_WAVE1:
        case PN_WAVE2:
            RebuildBreakpoints();
            break;
        default:
            break;
    }
    ChooseRenderer();
}

// A Wave1 outside the list plays Saw; a Wave2 outside it plays nothing.
void ug_oscillator_pd::RebuildBreakpoints() {
    const std::array<int16_t, 2> waves = {IsWave(wave1_) ? wave1_ : static_cast<int16_t>(SAW), wave2_};
    wave_count_ = IsWave(wave2_) ? 2 : 1;
    int next = 0;
    for (int w = 0; w < wave_count_; ++w) {
        const pd_shape& shape = kShapes[static_cast<std::size_t>(waves[static_cast<std::size_t>(w)])];
        wave_start_[static_cast<std::size_t>(w)] = next;
        resonant_[static_cast<std::size_t>(w)] = shape.resonant;
        std::copy_n(shape.points.begin(), shape.count, breakpoints_.begin() + next);
        next += shape.count;
    }
    wave_start_[static_cast<std::size_t>(wave_count_)] = next;
    playing_wave_ = 0;
    segment_ = 0;
}

void ug_oscillator_pd::UpdateIncrement(int position) {
    increment_ = pitch_converter_.Increment(pitch_[position], freq_scale_);
    too_high_ = increment_ > cosine_->max_increment;
}

void ug_oscillator_pd::ChooseRenderer() {
    if (GetPlug(PN_PITCH)->status == ST_RUN)
        SetProcess(&ug_oscillator_pd::RenderRunningPitch);
    else if (too_high_)
        SetProcess(&ug_oscillator_pd::RenderSilence);
    else
        SetProcess(&ug_oscillator_pd::RenderWave<false>);
}

float ug_oscillator_pd::Position(int point, float shift) const {
    const breakpoint& b = breakpoints_[static_cast<std::size_t>(point)];
    return b.position + shift * b.third;
}

// The segment [left, right) of the playing wave that holds x, searched from
// the last one found: x moves on by little from one sample to the next.
int ug_oscillator_pd::FindSegment(float x, float shift) const {
    const int first = wave_start_[static_cast<std::size_t>(playing_wave_)];
    const int last = wave_start_[static_cast<std::size_t>(playing_wave_) + 1] - 2;
    int segment = segment_;
    while (segment < last && x >= Position(segment + 1, shift)) ++segment;
    while (segment > first && x < Position(segment, shift)) --segment;
    return segment;
}

float ug_oscillator_pd::Interpolate(int segment, float x, float shift, float breakpoint::*value) const {
    const breakpoint& a = breakpoints_[static_cast<std::size_t>(segment)];
    const breakpoint& b = breakpoints_[static_cast<std::size_t>(segment) + 1];
    const float left = Position(segment, shift);
    const float right = Position(segment + 1, shift);
    return a.*value + (x - left) * (b.*value - a.*value) / (right - left);
}

float ug_oscillator_pd::RawSample(float x, float depth) {
    if (!resonant_[static_cast<std::size_t>(playing_wave_)]) {
        segment_ = FindSegment(x, depth);
        return cosine_->Read(CyclesToPhase(Interpolate(segment_, x, depth, &breakpoint::phase)));
    }
    // A cosine at a multiple of the pitch under a window that ends each cycle.
    segment_ = FindSegment(x, 0.0f);
    const float window = Interpolate(segment_, x, 0.0f, &breakpoint::third);
    const float cycles = x * (depth * 10.0f + 1.0f);
    return 0.5f - 0.5f * window + window * cosine_->Read(CyclesToPhase(cycles));
}

template <bool PitchRuns>
void ug_oscillator_pd::RenderWave(int start, int count) {
    float* out = out_ + start;
    const float* depth = depth_ + start;
    const float* pitch = pitch_ + start;
    for (int i = 0; i < count; ++i) {
        const float x = static_cast<float>(phase_ >> 9) * (1.0f / 8388608.0f);
        const float raw = RawSample(x, LimitDepth(depth[i]));
        out[i] = raw - dc_;
        dc_ -= dc_coefficient_ * (dc_ - raw);
        const uint32_t before = phase_;
        phase_ += PitchRuns ? pitch_converter_.Increment(pitch[i], freq_scale_) : increment_;
        if (phase_ < before) {
            playing_wave_ = (playing_wave_ + 1) % wave_count_;
            segment_ = wave_start_[static_cast<std::size_t>(playing_wave_)];
        }
    }
}

// The increment is followed from the first sample of each run, so that the
// oscillator comes back when the pitch falls below the top.
void ug_oscillator_pd::RenderRunningPitch(int start, int count) {
    UpdateIncrement(start);
    if (too_high_)
        RenderSilence(start, count);
    else
        RenderWave<true>(start, count);
}

void ug_oscillator_pd::RenderSilence(int start, int count) { std::fill_n(out_ + start, count, 0.0f); }

// ---- 1 KHz Tone -------------------------------------------------------------------------

void ug_test_tone::ListInterface(std::vector<InterfaceObject>& list) {
    AddInterface(list, {.sample_ptr = &out_, .direction = DR_OUT, .help = "Output Signal", .name = "Signal Out",
                        .default_value = "0", .data_type = DT_AUDIO});
}

void ug_test_tone::Open() {
    ug_base::Open();
    angle_ = 0.0f;
    angle_step_ = 6283.1855f / SampleRate();
    SetProcess(&ug_test_tone::Run);
    GetPlug(0)->TransmitStatus(sample_clock, ST_RUN);
}

void ug_test_tone::Run(int start, int count) {
    float* out = out_ + start;
    for (int i = 0; i < count; ++i) {
        angle_ += angle_step_;
        out[i] = 0.5f * std::sin(angle_);
        if (angle_ > 6.283185307179586) angle_ -= 6.2831855f;
    }
}
