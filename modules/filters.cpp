#include "modules/filters.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "engine/audio_master.h"
#include "project/module_registry.h"

namespace {

ug_registration<ug_filter_sv> register_sv("SV Filter");
ug_registration<ug_filter_1pole> register_1pole("1 Pole LP");
ug_registration<ug_filter_1pole_hp> register_1pole_hp("1 Pole HP");
ug_registration<ug_filter_allpass> register_allpass("All Pass");
ug_registration<ug_filter_biquad> register_moog("Moog Filter");
ug_registration<ug_filter_biquad> register_filter2("Filter2 obsolete");
ug_registration<ug_filter_biquad> register_filter_obs("Filter obs");
ug_registration<ug_filter_eq_parametric> register_eq("Parametric EQ");

constexpr float kTwoPi = 6.2831855f;
constexpr float kPi = 0.5f * kTwoPi;
constexpr int kTableEntries = 514;
constexpr int kRateIndependent = -1;

constexpr const char* kPitchHelpOctave = "Controls the Filter's 'Cutoff'. 1 Volt per Octave";
constexpr const char* kPitchHelpSwitchable =
    "Controls the Filter's 'Cutoff'. 1 Volt per Octave or 1 Volt / kHz switchable";
constexpr const char* kEmphasisHelp = "Emphasises the Cutoff frequency";

// Keeps a decaying state from sinking into denormal numbers, which are slow
// on many processors: anything below about 1e-25 becomes 0.
inline float Guard(float value) { return (value + 1e-18f) - 1e-18f; }

void ListAudioIn(std::vector<InterfaceObject>& list, float** samples, const char* name, const char* default_value,
                 const char* help) {
    AddInterface(list, {.sample_ptr = samples, .direction = DR_IN, .help = help, .name = name,
                        .default_value = default_value, .data_type = DT_AUDIO});
}

void ListAudioOut(std::vector<InterfaceObject>& list, float** samples, const char* name) {
    AddInterface(list,
                 {.sample_ptr = samples, .direction = DR_OUT, .name = name, .default_value = "0", .data_type = DT_AUDIO});
}

// Fills a shared table the first time it is asked for at this rate.
template <class Entry>
const ULookup* SharedTable(ug_base& ug, const char* name, int rate, Entry entry) {
    ULookup* table = ug.audio_master->LookupTables().GetFloatTable(name, rate);
    if (!table->initialised) {
        table->Resize(kTableEntries);
        for (int i = 0; i < kTableEntries; ++i) table->values[static_cast<std::size_t>(i)] = static_cast<float>(entry(i));
        table->initialised = true;
    }
    return table;
}

// The pitch of table entry i: i/512 of 10 V, 1 V per octave, 5 V = 440 Hz.
double TablePitchHz(int i) { return 440.0 * std::exp2(i * 0.01953125 - 5.0); }

double TableFraction(int i) { return i / 512.0; }

// The ladder's stage coefficient k for F, the cutoff as a fraction of half the rate.
double LadderK(double f) { return 3.6 * f - 1.6 * f * f - 1.0; }
double LadderP(double k) { return (k + 1.0) * 0.5; }
// Feedback scale that keeps the resonance at a similar height across the range.
double LadderScale(double p) { return std::exp((1.0 - p) * 1.386249); }

// SV filter damping: resonance 0 or below damps fully (2); just short of 1 nearly not at all.
float Damping(float resonance) { return resonance > 0.0f ? 2.0f - 2.0f * std::min(resonance, 0.9992f) : 2.0f; }

float OnePoleStep(float y, float x, float a) { return Guard(x + a * (y - x)); }

// The cubic soft clip of the ladder's output; where the cubic would turn the
// sign round (beyond about 2.45) the output is 0 instead.
float SoftClip(float y) {
    const float clipped = y - y * y * y * 0.16666667f;
    return (clipped < 0.0f) != (y < 0.0f) ? 0.0f : clipped;
}

}  // namespace

// ---- what every filter shares ----------------------------------------------

void filter_base::Open() {
    ug_base::Open();
    sample_rate_ = SampleRate();
}

void filter_base::OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) {
    if (connection->to->index != kSignal) UpdateCoefficients();
    // Until it settles again the output may move even when only a coefficient
    // changed, and the ST_STOP of settling must then be news downstream.
    TransmitToOutputs(time, ST_RUN);
    ChooseRenderer();
    if (settled_) {
        settled_ = false;
        QueueSettleCheck(time + FirstCheckDelay());
    }
}

void filter_base::ListSignal(std::vector<InterfaceObject>& list, const char* default_value) {
    AddInterface(list, {.sample_ptr = &signal_, .direction = DR_IN, .name = "Signal", .default_value = default_value,
                        .flags = IO_NOT_POLYPHONIC, .data_type = DT_AUDIO});
}

void filter_base::ListPitch(std::vector<InterfaceObject>& list, const char* help) {
    ListAudioIn(list, &pitch_, "Pitch", "5", help);
}

void filter_base::ListFreqScale(std::vector<InterfaceObject>& list) {
    AddInterface(list, {.direction = DR_PARAMETER,
                        .help = "Switches between 1 Volt per Octave or 1 Volt per kHz response.",
                        .name = "Freq Scale",
                        .default_value = "0",
                        .list_values = "1 Volt/Octave, 1 Volt/kHz ",
                        .data_type = DT_ENUM,
                        .variable = &freq_scale_});
}

void filter_base::ListLadderPlugs(std::vector<InterfaceObject>& list, float** resonance, float** out,
                                  float** boost_cut) {
    ListSignal(list, "");
    ListPitch(list, kPitchHelpSwitchable);
    ListAudioIn(list, resonance, "Resonance", "5", kEmphasisHelp);
    ListAudioOut(list, out, "Output");
    AddInterface(list, {.direction = DR_IN, .help = "Not used at present", .name = "Mode", .default_value = "0",
                        .list_values = "4 Pole LP", .data_type = DT_ENUM});
    AddInterface(list, {.sample_ptr = boost_cut,
                        .direction = DR_IN,
                        .help = "For Parametric Filters, +ve = boost, -ve = cut. NOT USED AT PRESENT",
                        .name = "Boost/Cut",
                        .default_value = "0",
                        .list_values = "10,-10,10,-10",
                        .data_type = DT_AUDIO});
    ListFreqScale(list);
}

bool filter_base::UsesPitchTable(float pitch) const { return freq_scale_ != FS_VOLTS_PER_KHZ && pitch >= 0.0f; }

float filter_base::CutoffHz(float pitch) const {
    if (freq_scale_ == FS_VOLTS_PER_KHZ) return std::max(pitch * 10000.0f, 0.0f);
    return 440.0f * std::exp2(pitch * 10.0f - 5.0f);
}

void filter_base::QueueSettleCheck(uint32_t time) {
    QueueFunction(time, [](ug_base* ug) { static_cast<filter_base*>(ug)->SettleCheck(); });
}

// Once per second while Signal runs, for a non-finite state; while it holds
// still, as often as the filter asks, until it settles.
void filter_base::SettleCheck() {
    ForgetNonFiniteState();
    if (Runs(kSignal))
        QueueSettleCheck(sample_clock + OneSecond());
    else if (!SettledOn(ValueNow(signal_)))
        QueueSettleCheck(sample_clock + RecheckWhileStill());
}

void filter_base::TransmitToOutputs(uint32_t time, state_type status) {
    for (const auto& plug : Plugs())
        if (plug->direction == DR_OUT && plug->data_type == DT_AUDIO) plug->TransmitStatus(time, status);
}

void filter_base::Settle(std::initializer_list<float> output_values) {
    std::copy(output_values.begin(), output_values.end(), settled_values_.begin());
    settled_ = true;
    SetProcess(&filter_base::FillSettled);
    ResetStaticCountdown();
    TransmitToOutputs(sample_clock, ST_STOP);
}

// One whole block of the settled values, so that every position downstream
// may read holds them; then the filter sleeps.
void filter_base::FillSettled(int start, int count) {
    std::size_t output = 0;
    for (const auto& plug : Plugs()) {
        if (plug->direction != DR_OUT || plug->data_type != DT_AUDIO) continue;
        float* samples = plug->Block()->Data();
        std::fill(samples + start, samples + start + count, settled_values_[output++]);
    }
    CountStaticSamples(count);
}

// ---- state-variable filter -------------------------------------------------

namespace {
constexpr int kSvResonance = 2;
constexpr int kSvLowPass = 3;
constexpr int kSvHighPass = 4;
constexpr int kSvBandPass = 5;
constexpr int kSvBandReject = 6;
constexpr float kSvResonanceCeiling = 0.9992f;
}  // namespace

void ug_filter_sv::ListInterface(std::vector<InterfaceObject>& list) {
    ListSignal(list, "0");
    ListPitch(list, kPitchHelpOctave);
    ListAudioIn(list, &resonance_, "Resonance", "5", kEmphasisHelp);
    ListAudioOut(list, &low_pass_, "Low Pass");
    ListAudioOut(list, &high_pass_, "Hi Pass");
    ListAudioOut(list, &band_pass_, "Band Pass");
    ListAudioOut(list, &band_reject_, "Band Reject");
    ListFreqScale(list);
}

void ug_filter_sv::Open() {
    filter_base::Open();
    const float rate = sample_rate_;
    cutoff_table_ = SharedTable(*this, "ug_filter_sv Cutoff", static_cast<int>(rate), [rate](int i) {
        return kTwoPi * std::min(TablePitchHz(i), rate / 2.0) / rate;
    });
    limit_table_ = SharedTable(*this, "ug_filter_sv Resonance Limit", kRateIndependent,
                               [](int i) { return (i * (i * 0.000025 + 0.009) + 7.8) * 0.1; });
    const bool band_outputs_wired = Wired(kSvBandPass) || Wired(kSvBandReject);
    low_pass_only_ = !band_outputs_wired && !Wired(kSvHighPass);
    high_pass_only_ = !band_outputs_wired && !Wired(kSvLowPass);
    SetProcess(&ug_filter_sv::Render<kPitchModulated, kAllOutputs>);
    QueueFunction(sample_clock, [](ug_base* ug) { static_cast<ug_filter_sv*>(ug)->StartAtSignal(); });
}

// A filter opened on a constant input starts at rest on it.
void ug_filter_sv::StartAtSignal() {
    if (!Runs(kSignal)) low_ = ValueNow(signal_);
}

float ug_filter_sv::CutoffCoefficient(float pitch) const {
    if (UsesPitchTable(pitch)) return cutoff_table_->Interpolate(pitch);
    return kTwoPi * CutoffHz(pitch) / sample_rate_;
}

// The highest frequency coefficient that stays stable at this damping. A
// non-finite resonance reads the first entry rather than an index of nowhere.
float ug_filter_sv::ResonanceLimit(float resonance) const {
    const float position = resonance > 0.0f ? std::min(resonance, kSvResonanceCeiling) * 512.0f : 0.0f;
    return limit_table_->values[static_cast<std::size_t>(position)];
}

void ug_filter_sv::UpdateCoefficients() {
    const float resonance = ValueNow(resonance_);
    q_ = Damping(resonance);
    limit_ = ResonanceLimit(resonance);
    f_ = std::min(std::max(CutoffCoefficient(ValueNow(pitch_)), 0.00001f), limit_);
}

void ug_filter_sv::ChooseRenderer() {
    const bool pitch_runs = Runs(kPitch);
    if (Runs(kSvResonance))
        SetProcess(&ug_filter_sv::Render<kFullyModulated, kAllOutputs>);
    else if (low_pass_only_)
        SetProcess(pitch_runs ? &ug_filter_sv::Render<kPitchModulated, kLowOnly>
                              : &ug_filter_sv::Render<kFixed, kLowOnly>);
    else if (high_pass_only_ && !pitch_runs)
        SetProcess(&ug_filter_sv::Render<kFixed, kHighOnly>);
    else
        SetProcess(pitch_runs ? &ug_filter_sv::Render<kPitchModulated, kAllOutputs>
                              : &ug_filter_sv::Render<kFixed, kAllOutputs>);
}

template <ug_filter_sv::modulation kModulation, ug_filter_sv::outputs kOutputs>
void ug_filter_sv::Render(int start, int count) {
    float low = low_;
    float band = band_;
    float f = f_;
    float q = q_;
    for (int i = start; i < start + count; ++i) {
        if constexpr (kModulation == kFullyModulated) {
            q = Damping(resonance_[i]);
            f = std::min(CutoffCoefficient(pitch_[i]), ResonanceLimit(resonance_[i]));
        } else if constexpr (kModulation == kPitchModulated) {
            f = std::min(CutoffCoefficient(pitch_[i]), limit_);
        }
        low += f * band;
        const float high = signal_[i] - q * band - low;
        band = Guard(band + f * high);
        if constexpr (kOutputs != kHighOnly) low_pass_[i] = low;
        if constexpr (kOutputs != kLowOnly) high_pass_[i] = high;
        if constexpr (kOutputs == kAllOutputs) {
            band_pass_[i] = band;
            band_reject_[i] = low + high;
        }
    }
    low_ = low;
    band_ = band;
}

void ug_filter_sv::ForgetNonFiniteState() {
    if (!std::isfinite(low_)) low_ = 0.0f;
    if (!std::isfinite(band_)) band_ = 0.0f;
}

// At rest when one more step on x would move neither state (band alone
// standing still is not enough: right after settling it is 0 while low may be
// far from a new input), or when both are within 1e-6 of the rest state.
bool ug_filter_sv::SettledOn(float x) {
    const float next_low = low_ + f_ * band_;
    const float next_band = Guard(band_ + f_ * (x - q_ * band_ - next_low));
    const bool still = next_low == low_ && next_band == band_;
    if (!still && std::abs(low_ - x) + std::abs(band_) >= 1e-6f) return false;
    low_ = x;
    band_ = 0.0f;
    Settle({x, 0.0f, 0.0f, x});  // low pass, high pass, band pass, band reject
    return true;
}

// ---- one-pole low- and high-pass -------------------------------------------

void ug_filter_1pole::ListInterface(std::vector<InterfaceObject>& list) {
    ListSignal(list, "");
    ListPitch(list, kPitchHelpSwitchable);
    ListAudioOut(list, &out_, "Output");
    ListFreqScale(list);
}

void ug_filter_1pole::Open() {
    filter_base::Open();
    const float rate = sample_rate_;
    table_ = SharedTable(*this, "1 pole l", static_cast<int>(rate), [rate](int i) {
        return std::exp(-kTwoPi * std::min(TablePitchHz(i), rate * 0.495) / rate);
    });
    y_ = 0.0f;
    SetProcess(low_pass_ ? &ug_filter_1pole::Render<true, true> : &ug_filter_1pole::Render<true, false>);
    QueueFunction(sample_clock, [](ug_base* ug) { static_cast<ug_filter_1pole*>(ug)->StartAtSignal(); });
}

void ug_filter_1pole::StartAtSignal() {
    if (!Runs(kSignal)) y_ = ValueNow(signal_);
}

float ug_filter_1pole::Coefficient(float pitch) const {
    if (UsesPitchTable(pitch)) return table_->Interpolate(pitch);
    return std::exp(-kTwoPi * std::min(CutoffHz(pitch), 0.495f * sample_rate_) / sample_rate_);
}

void ug_filter_1pole::UpdateCoefficients() { a_ = Coefficient(ValueNow(pitch_)); }

void ug_filter_1pole::ChooseRenderer() {
    using renderer = void (ug_filter_1pole::*)(int, int);
    static constexpr renderer kRenderers[2][2] = {
        {&ug_filter_1pole::Render<false, false>, &ug_filter_1pole::Render<false, true>},
        {&ug_filter_1pole::Render<true, false>, &ug_filter_1pole::Render<true, true>}};
    SetProcess(kRenderers[Runs(kPitch)][low_pass_]);
}

template <bool kPitchRuns, bool kLowPass>
void ug_filter_1pole::Render(int start, int count) {
    float y = y_;
    float a = a_;
    for (int i = start; i < start + count; ++i) {
        if constexpr (kPitchRuns) a = Coefficient(pitch_[i]);
        const float x = signal_[i];
        y = OnePoleStep(y, x, a);
        out_[i] = kLowPass ? y : x - y;
    }
    y_ = y;
}

void ug_filter_1pole::ForgetNonFiniteState() {
    if (!std::isfinite(y_)) y_ = 0.0f;
}

bool ug_filter_1pole::SettledOn(float x) {
    if (OnePoleStep(y_, x, a_) != y_ && std::abs(x - y_) >= 1e-6f) return false;
    y_ = x;
    Settle({low_pass_ ? x : 0.0f});
    return true;
}

// ---- all-pass --------------------------------------------------------------

namespace {
constexpr int kAllPassResonance = 2;
}

void ug_filter_allpass::ListInterface(std::vector<InterfaceObject>& list) {
    ListSignal(list, "");
    ListPitch(list, kPitchHelpOctave);
    ListAudioIn(list, &resonance_, "Resonance", "5", "Controls the rollover frequency band width");
    ListAudioOut(list, &out_, "Output");
    ListFreqScale(list);
}

void ug_filter_allpass::Open() {
    filter_base::Open();
    decay_table_ = SharedTable(*this, "ug_filter_allpass A", kRateIndependent,
                               [](int i) { return std::exp(-kTwoPi * TableFraction(i)); });
    cosine_table_ = SharedTable(*this, "ug_filter_allpass B", kRateIndependent,
                                [](int i) { return 2.0 * std::cos(kTwoPi * TableFraction(i)); });
    w1_ = w2_ = 0.0f;
    SetProcess(&ug_filter_allpass::Render<true>);
}

// Pole radius exp(-pi d g) at angle 2 pi g, g the cutoff as a fraction of the
// rate and d the width; the tables stand in for exp and cos from 0 V up.
ug_filter_allpass::coefficients ug_filter_allpass::Coefficients(float pitch, float resonance) const {
    const float width = std::clamp(resonance * 1.5f + 0.5f, 0.5f, 4.0f);
    const float g = std::min(CutoffHz(pitch) / sample_rate_, 0.5f);
    if (pitch < 0.0f) {
        const float radius = std::exp(-kPi * width * g);
        return {2.0f * radius * std::cos(kTwoPi * g), std::exp(-kTwoPi * width * g)};
    }
    const float m = std::min(width * g, 1.0f);
    return {decay_table_->Interpolate(m * 0.5f) * cosine_table_->Interpolate(g), decay_table_->Interpolate(m)};
}

float ug_filter_allpass::NextW(float w1, float w2, float x, coefficients c) { return Guard(c.a1 * w1 + x - c.a2 * w2); }

void ug_filter_allpass::UpdateCoefficients() {
    coefficients_ = Coefficients(ValueNow(pitch_), ValueNow(resonance_));
}

// Per-sample coefficients whenever Pitch or Resonance runs: a running width
// must be heard even while the cutoff stands still.
void ug_filter_allpass::ChooseRenderer() {
    const bool per_sample = Runs(kPitch) || Runs(kAllPassResonance);
    SetProcess(per_sample ? &ug_filter_allpass::Render<true> : &ug_filter_allpass::Render<false>);
}

template <bool kPerSample>
void ug_filter_allpass::Render(int start, int count) {
    coefficients c = coefficients_;
    float w1 = w1_;
    float w2 = w2_;
    for (int i = start; i < start + count; ++i) {
        if constexpr (kPerSample) c = Coefficients(pitch_[i], resonance_[i]);
        const float w = NextW(w1, w2, signal_[i], c);
        out_[i] = w2 + c.a2 * w - c.a1 * w1;
        w2 = w1;
        w1 = w;
    }
    w1_ = w1;
    w2_ = w2;
}

void ug_filter_allpass::ForgetNonFiniteState() {
    if (!std::isfinite(w1_)) w1_ = 0.0f;
    if (!std::isfinite(w2_)) w2_ = 0.0f;
}

bool ug_filter_allpass::SettledOn(float x) {
    if (NextW(w1_, w2_, x, coefficients_) != w1_ && std::abs(w1_ - w2_) >= 1.5e-6f) return false;
    w1_ = w2_ = x;
    Settle({x});
    return true;
}

// ---- four-pole ladder ------------------------------------------------------

namespace {
constexpr int kLadderResonance = 2;
constexpr float kLadderQuiet = 1.5e-6f;
}  // namespace

void ug_filter_biquad::ListInterface(std::vector<InterfaceObject>& list) {
    ListLadderPlugs(list, &resonance_, &out_, nullptr);
}

void ug_filter_biquad::Open() {
    filter_base::Open();
    const float rate = sample_rate_;
    const auto fraction_of_half_rate = [rate](int i) { return 2.0 * std::min(TablePitchHz(i), rate / 2.0) / rate; };
    kp_table_ = SharedTable(*this, "Moog LP kp", static_cast<int>(rate),
                            [&](int i) { return LadderK(fraction_of_half_rate(i)); });
    scale_table_ = SharedTable(*this, "Moog LP Scale", static_cast<int>(rate),
                               [&](int i) { return LadderScale(LadderP(LadderK(fraction_of_half_rate(i)))); });
    x0_ = y1_ = y2_ = y3_ = y4_ = 0.0f;
    SetProcess(&ug_filter_biquad::Render<true, true>);
}

ug_filter_biquad::coefficients ug_filter_biquad::Coefficients(float pitch, float resonance) const {
    float k;
    float scale;
    if (UsesPitchTable(pitch)) {
        const float position = std::min(pitch, 1.0f);
        k = kp_table_->Interpolate(position);
        scale = scale_table_->Interpolate(position);
    } else {
        const float f = 2.0f * std::min(CutoffHz(pitch), 0.495f * sample_rate_) / sample_rate_;
        k = static_cast<float>(LadderK(f));
        scale = static_cast<float>(LadderScale(LadderP(k)));
    }
    return {static_cast<float>(LadderP(k)), k, resonance * scale};
}

void ug_filter_biquad::UpdateCoefficients() {
    coefficients_ = Coefficients(ValueNow(pitch_), ValueNow(resonance_));
}

// While Signal stands still every stage decays, so every stage is guarded.
void ug_filter_biquad::ChooseRenderer() {
    using renderer = void (ug_filter_biquad::*)(int, int);
    static constexpr renderer kRenderers[2][2] = {
        {&ug_filter_biquad::Render<false, false>, &ug_filter_biquad::Render<false, true>},
        {&ug_filter_biquad::Render<true, false>, &ug_filter_biquad::Render<true, true>}};
    const bool per_sample = Runs(kPitch) || Runs(kLadderResonance);
    SetProcess(kRenderers[per_sample][!Runs(kSignal)]);
}

template <bool kPerSample, bool kGuardStages>
void ug_filter_biquad::Render(int start, int count) {
    coefficients c = coefficients_;
    float x0 = x0_, y1 = y1_, y2 = y2_, y3 = y3_, y4 = y4_;
    for (int i = start; i < start + count; ++i) {
        if constexpr (kPerSample) c = Coefficients(pitch_[i], resonance_[i]);
        const float x = signal_[i] - c.r * y4;
        const float stage1 = c.p * (x + x0) - c.k * y1;
        const float stage2 = c.p * (stage1 + y1) - c.k * y2;
        const float stage3 = c.p * (stage2 + y2) - c.k * y3;
        const float stage4 = c.p * (stage3 + y3) - c.k * y4;
        x0 = x;
        y1 = stage1;
        y2 = stage2;
        y3 = stage3;
        y4 = Guard(SoftClip(stage4));
        if constexpr (kGuardStages) {
            y1 = Guard(y1);
            y2 = Guard(y2);
            y3 = Guard(y3);
        }
        out_[i] = y4;
    }
    x0_ = x0;
    y1_ = y1;
    y2_ = y2;
    y3_ = y3;
    y4_ = y4;
}

bool ug_filter_biquad::OutputHeldOneValue() const {
    const float* begin = out_;
    const float* end = begin + BlockSize();
    return std::adjacent_find(begin, end, std::not_equal_to<>()) == end;
}

void ug_filter_biquad::ForgetNonFiniteState() {
    if (!std::isfinite(y4_)) x0_ = y1_ = y2_ = y3_ = y4_ = 0.0f;
}

// Settles when an output fading to 0 on a silent input is nearly there, or
// when the last block of Output held one value; quiet states become 0 on the
// way.
bool ug_filter_biquad::SettledOn(float x) {
    if (std::abs(x0_) < kLadderQuiet) x0_ = 0.0f;
    const bool faded_out = y4_ != 0.0f && std::abs(y4_) < kLadderQuiet && x == 0.0f;
    if (faded_out) y4_ = 0.0f;
    for (float* stage : {&y1_, &y2_, &y3_})
        if (std::abs(*stage) < kLadderQuiet) *stage = 0.0f;
    if (!faded_out && !OutputHeldOneValue()) return false;
    Settle({y4_});
    return true;
}

// ---- peaking equaliser -----------------------------------------------------

namespace {
constexpr int kEqResonance = 2;
constexpr int kEqBoostCut = 5;
// The angular frequency stays inside (0, pi): at 0 the bandwidth term is 0/0,
// near pi it explodes. The bounds are the sister filters' limits.
constexpr double kLowestOmega = 0.00001;
constexpr double kHighestOmega = kTwoPi * 0.495;
}  // namespace

void ug_filter_eq_parametric::ListInterface(std::vector<InterfaceObject>& list) {
    ListLadderPlugs(list, &resonance_, &out_, &boost_cut_);
}

void ug_filter_eq_parametric::Open() {
    filter_base::Open();
    history_ = {};
    SetProcess(&ug_filter_eq_parametric::Render<true>);
}

// The audio cookbook's peaking filter: bandwidth in octaves is the Resonance
// volts (none below 0), gain in dB ten times the Boost/Cut volts.
ug_filter_eq_parametric::coefficients ug_filter_eq_parametric::Coefficients(float pitch, float resonance,
                                                                            float boost_cut) const {
    const double omega = std::clamp(kTwoPi * static_cast<double>(CutoffHz(pitch)) / sample_rate_, kLowestOmega,
                                    kHighestOmega);
    const double sn = std::sin(omega);
    const double cs = std::cos(omega);
    const double octaves = std::max(resonance, 0.0f) * 10.0;
    const double alpha = sn * std::sinh(0.3465735902799726 * octaves * omega / sn);
    const double amplitude = std::pow(10.0, boost_cut * 100.0 * 0.025);
    const double a0 = 1.0 + alpha / amplitude;
    return {static_cast<float>((1.0 + alpha * amplitude) / a0), static_cast<float>(-2.0 * cs / a0),
            static_cast<float>((1.0 - alpha * amplitude) / a0), static_cast<float>(-2.0 * cs / a0),
            static_cast<float>((1.0 - alpha / amplitude) / a0)};
}

float ug_filter_eq_parametric::NextY(const history& h, float x, const coefficients& c) {
    return Guard(c.b0 * x + c.b1 * h.x1 + c.b2 * h.x2 - c.a1 * h.y1 - c.a2 * h.y2);
}

void ug_filter_eq_parametric::UpdateCoefficients() {
    coefficients_ = Coefficients(ValueNow(pitch_), ValueNow(resonance_), ValueNow(boost_cut_));
}

// Per-sample coefficients whenever one of their inputs runs, so that a swept
// gain or bandwidth is heard while the frequency stands still.
void ug_filter_eq_parametric::ChooseRenderer() {
    const bool per_sample = Runs(kPitch) || Runs(kEqResonance) || Runs(kEqBoostCut);
    SetProcess(per_sample ? &ug_filter_eq_parametric::Render<true> : &ug_filter_eq_parametric::Render<false>);
}

template <bool kPerSample>
void ug_filter_eq_parametric::Render(int start, int count) {
    coefficients c = coefficients_;
    history h = history_;
    for (int i = start; i < start + count; ++i) {
        if constexpr (kPerSample) c = Coefficients(pitch_[i], resonance_[i], boost_cut_[i]);
        const float x = signal_[i];
        const float y = NextY(h, x, c);
        h = {.x1 = x, .x2 = h.x1, .y1 = y, .y2 = h.y1};
        out_[i] = y;
    }
    history_ = h;
}

void ug_filter_eq_parametric::ForgetNonFiniteState() {
    if (!std::isfinite(history_.y1)) history_ = {};
}

// At rest when the next step on x would change nothing, or when the inputs
// and outputs it remembers are all within 1e-6 of x (its gain at 0 Hz is 1,
// so the rest state is x throughout).
bool ug_filter_eq_parametric::SettledOn(float x) {
    const history& h = history_;
    const bool still = NextY(h, x, coefficients_) == h.y1 && h.y1 == h.y2 && h.x1 == x && h.x2 == x;
    const float distance = std::abs(h.x1 - x) + std::abs(h.x2 - x) + std::abs(h.y1 - x) + std::abs(h.y2 - x);
    if (!still && distance >= 1e-6f) return false;
    history_ = {.x1 = x, .x2 = x, .y1 = x, .y2 = x};
    Settle({x});
    return true;
}
