#include "modules/level_mixing.h"

#include <algorithm>
#include <cmath>

#include "engine/audio_master.h"
#include "project/module_registry.h"

namespace {
ug_registration<ug_vca> register_vca("VCA");
ug_registration<ug_pan> register_pan("Pan");
ug_registration<ug_cross_fade> register_cross_fade("X-Mix");
ug_registration<ug_adder> register_adder("Float Adder");
ug_registration<ug_voice_combiner> register_voice_combiner("Voice Combiner");

// The response curves for a volume v above 0 (10 V = 1.0); the tables hold
// the same curves at v = i / 512.
double DecibelCurve(double v) {
    double c = (v - 1.0) * 3.8888888;
    if (c < -3.5) c = (c + 3.5) * 2.0 - 3.5;  // steeper below -70 dB: silence at 0 V
    return std::pow(10.0, c * 0.5);
}

double DecibelOldCurve(double v) {
    double d = (v - 1.0) * 5.0;
    if (d < -4.0) d = (d + 4.0) * 3.0 - 4.0;
    return std::pow(10.0, d);
}

double ExponentialCurve(double v) { return 1.0 - (1.0 - std::exp(-3.0 * (1.0 - v))) / (1.0 - std::exp(-3.0)); }

constexpr double kTableStep = 0.001953125;  // 1/512 of 10 V

// The table scales by 1 / (1 − e^-3) rounded to a float.
double ExponentialEntry(int i) {
    const double scale = static_cast<float>(1.0 / (1.0 - std::exp(-3.0)));
    return 1.0 - (1.0 - std::exp(-3.0 * (1.0 - i * kTableStep))) * scale;
}
double DecibelEntry(int i) { return i == 0 ? 0.0 : DecibelCurve(i * kTableStep); }
double DecibelOldEntry(int i) { return i == 0 ? 0.0 : DecibelOldCurve(i * kTableStep); }
double SinePowerEntry(int i) { return std::sin(i * 0.0030679617); }  // sin(π/2 × i/512)
double SquareRootEntry(int i) { return std::sqrt(i * kTableStep); }

// Below 0.01 V every curve fades linearly into silence.
float FadeOut(float volume, float gain) {
    if (volume < 0.001f) gain *= volume * 1000.0f;
    return GuardDenormal(gain);
}

constexpr char kFadeLawList[] = "Equal Intensity (0dB), Equal Power(+3dB), Sqr Root";

InterfaceObject FadeLawPlug(int16_t* variable) {
    return {.direction = DR_PARAMETER, .help = "Chooses different cross fade laws", .name = "Fade Law",
            .default_value = "1", .list_values = kFadeLawList, .data_type = DT_ENUM, .variable = variable};
}

void TransmitAll(ug_base& ug, std::initializer_list<int> outputs, uint32_t time, bool running) {
    for (int output : outputs) ug.GetPlug(output)->TransmitStatus(time, running ? ST_RUN : ST_STATIC);
}
}  // namespace

void BindToInterface(ug_base& ug, int index, UPlug* plug) {
    std::vector<InterfaceObject> list;
    ug.ListInterface(list);
    if (index < 0 || index >= static_cast<int>(list.size())) return;
    const InterfaceObject& description = list[static_cast<std::size_t>(index)];
    if (plug->variable == nullptr) plug->variable = description.variable;
    if (plug->sample_ptr == nullptr) plug->sample_ptr = description.sample_ptr;
}

ULookup* SharedTable(ug_base& ug, const char* name, double (*entry)(int index)) {
    ULookup* table = ug.audio_master->LookupTables().GetFloatTable(name, -1);
    if (!table->initialised) {
        table->Resize(514);
        for (int i = 0; i < table->size; ++i) table->values[static_cast<std::size_t>(i)] = static_cast<float>(entry(i));
        table->initialised = true;
    }
    return table;
}

vca_tables VcaTables(ug_base& ug) {
    return {.exponential = SharedTable(ug, "UVCA Trunc Exp Curve", &ExponentialEntry),
            .decibel = SharedTable(ug, "db Curve", &DecibelEntry),
            .decibel_old = SharedTable(ug, "db Curve - old", &DecibelOldEntry)};
}

fade_tables FadeTables(ug_base& ug) {
    return {.sine_power = SharedTable(ug, "Sin Equal Power Curve", &SinePowerEntry),
            .square_root = SharedTable(ug, "Equal Power Curve", &SquareRootEntry)};
}

// ---- gain curves -------------------------------------------------------------

volume_curve::volume_curve(const vca_tables& tables, int16_t kind) : kind_(kind) {
    switch (kind) {
        case VCA_DECIBEL_OLD: table_ = tables.decibel_old; break;
        case VCA_EXPONENTIAL: table_ = tables.exponential; break;
        case VCA_LINEAR: table_ = nullptr; break;
        default:
            kind_ = VCA_DECIBEL;
            table_ = tables.decibel;
            break;
    }
}

float volume_curve::Formula(float volume) const {
    switch (kind_) {
        case VCA_DECIBEL_OLD: return static_cast<float>(DecibelOldCurve(volume));
        case VCA_EXPONENTIAL: return static_cast<float>(ExponentialCurve(volume));
        case VCA_LINEAR: return volume;
        default: return static_cast<float>(DecibelCurve(volume));
    }
}

float volume_curve::StaticGain(float volume) const {
    if (!(volume > 0.0f)) return 0.0f;
    return FadeOut(volume, Formula(volume));
}

float volume_curve::SampleGain(float volume) const {
    if (!(volume > 0.0f)) return 0.0f;
    const float gain = volume <= 1.0f && table_ != nullptr ? table_->Interpolate(volume) : Formula(volume);
    return FadeOut(volume, gain);
}

fade_law::fade_law(const fade_tables& tables, int16_t kind) {
    if (kind == FADE_EQUAL_POWER) table_ = tables.sine_power;
    if (kind == FADE_SQUARE_ROOT) table_ = tables.square_root;
}

// ---- VCA -----------------------------------------------------------------------

void ug_vca::ListInterface(std::vector<InterfaceObject>& list) {
    AddInterface(list, {.sample_ptr = &signal_,
                        .direction = DR_IN,
                        .help = "The 2 inputs are Multiplied (Ring Modulated). Then 'normalised' eg 5V multiplied "
                                "by 2 V = 1V, (5 * 2 ) / 10 ",
                        .name = "Signal",
                        .default_value = "0",
                        .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = &volume_, .direction = DR_IN, .name = "Volume", .default_value = "8",
                        .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = &output_, .direction = DR_OUT, .name = "Output", .default_value = "0",
                        .data_type = DT_AUDIO});
    AddInterface(list, {.direction = DR_IN,
                        .help = "In db mode: 10V to 2V gives 0 to -40db, 2V to 0v gives -40db to -70db (silence)",
                        .name = "Response Curve",
                        .default_value = "1",
                        .list_values = "Exponential=1,Linear,Decibel,Decibel (old)=0",
                        .data_type = DT_ENUM,
                        .variable = &response_curve_});
}

void ug_vca::Open() {
    tables_ = VcaTables(*this);
    ug_base::Open();
    Update(sample_clock);
}

void ug_vca::OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) { Update(time); }

// A constant 0 on either side silences the output however the other runs.
bool ug_vca::Silenced(int position) const {
    if (!IsRunning(*this, kSignal) && signal_[position] == 0.0f) return true;
    if (IsRunning(*this, kVolume)) return false;
    const float volume = volume_[position];
    return curve_.IsLinear() ? volume == 0.0f : volume <= 0.0f;
}

void ug_vca::Update(uint32_t time) {
    const int position = BlockPosition();
    curve_ = volume_curve(tables_, response_curve_);
    gain_ = curve_.StaticGain(volume_[position]);
    const bool silenced = Silenced(position);
    if (silenced || (!IsRunning(*this, kSignal) && !IsRunning(*this, kVolume))) {
        static_output_ = silenced ? 0.0f : signal_[position] * gain_;
        SetProcess(&ug_vca::Static);
        ResetStaticCountdown();
        GetPlug(kOutput)->TransmitStatus(time, ST_STATIC);
        return;
    }
    if (!IsRunning(*this, kVolume))
        SetProcess(&ug_vca::RunStaticVolume);
    else if (curve_.IsLinear())
        SetProcess(&ug_vca::RunLinear);
    else
        SetProcess(&ug_vca::RunCurve);
    GetPlug(kOutput)->TransmitStatus(time, ST_RUN);
}

void ug_vca::RunStaticVolume(int start, int count) {
    const float gain = gain_;
    const float* signal = signal_ + start;
    float* out = output_ + start;
    for (int i = 0; i < count; ++i) out[i] = gain * signal[i];
}

void ug_vca::RunLinear(int start, int count) {
    const float* signal = signal_ + start;
    const float* volume = volume_ + start;
    float* out = output_ + start;
    for (int i = 0; i < count; ++i) out[i] = std::max(volume[i], 0.0f) * signal[i];
}

void ug_vca::RunCurve(int start, int count) {
    const float* signal = signal_ + start;
    const float* volume = volume_ + start;
    float* out = output_ + start;
    for (int i = 0; i < count; ++i) out[i] = curve_.SampleGain(volume[i]) * signal[i];
}

void ug_vca::Static(int start, int count) {
    std::fill_n(output_ + start, count, static_output_);
    CountStaticSamples(count);
}

// ---- Pan -----------------------------------------------------------------------

void ug_pan::ListInterface(std::vector<InterfaceObject>& list) {
    AddInterface(list, {.sample_ptr = &input_, .direction = DR_IN, .help = "Audio signal input", .name = "Input",
                        .flags = IO_NOT_POLYPHONIC, .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = &pan_, .direction = DR_IN, .help = "-5V = Left, +5V = Right", .name = "Pan",
                        .list_values = "5,-5,5,-5", .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = &left_, .direction = DR_OUT, .name = "Left Out", .default_value = "5",
                        .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = &right_, .direction = DR_OUT, .name = "Right Out", .default_value = "5",
                        .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = &volume_,
                        .direction = DR_IN,
                        .help = "Controls the Volume of the input signal. 10 V = original volume, 0 V = silence",
                        .name = "Volume",
                        .default_value = "8",
                        .data_type = DT_AUDIO});
    AddInterface(list, FadeLawPlug(&fade_law_kind_));
}

void ug_pan::Open() {
    tables_ = FadeTables(*this);
    volume_curve_ = volume_curve(VcaTables(*this), VCA_DECIBEL);
    ug_base::Open();
    Update(sample_clock);
}

void ug_pan::OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) { Update(time); }

// Pan -5 V puts the whole input on the left.
ug_pan::gains ug_pan::GainsAt(float pan, float volume_gain) const {
    const float left_share = std::clamp(0.5f - pan, 0.0f, 1.0f);
    return {law_.Gain(left_share) * volume_gain, law_.Gain(1.0f - left_share) * volume_gain};
}

void ug_pan::Update(uint32_t time) {
    const int position = BlockPosition();
    law_ = fade_law(tables_, fade_law_kind_);
    const float volume = volume_[position];
    gains_ = GainsAt(pan_[position], volume_curve_.StaticGain(volume));
    const bool silenced = (!IsRunning(*this, kInput) && input_[position] == 0.0f) ||
                          (!IsRunning(*this, kVolume) && volume <= 0.0f);
    if (!silenced && (IsRunning(*this, kPan) || IsRunning(*this, kVolume))) {
        SetProcess(&ug_pan::RunPerSample);
    } else if (!silenced && IsRunning(*this, kInput)) {
        SetProcess(&ug_pan::RunBlockGains);
    } else {
        static_input_ = silenced ? 0.0f : input_[position];
        SetProcess(&ug_pan::Static);
        ResetStaticCountdown();
        TransmitAll(*this, {kLeft, kRight}, time, false);
        return;
    }
    TransmitAll(*this, {kLeft, kRight}, time, true);
}

void ug_pan::RunPerSample(int start, int count) {
    for (int i = start; i < start + count; ++i) {
        const gains at = GainsAt(pan_[i], volume_curve_.SampleGain(volume_[i]));
        left_[i] = at.left * input_[i];
        right_[i] = at.right * input_[i];
    }
}

void ug_pan::RunBlockGains(int start, int count) {
    const gains at = gains_;
    for (int i = start; i < start + count; ++i) {
        left_[i] = at.left * input_[i];
        right_[i] = at.right * input_[i];
    }
}

void ug_pan::Static(int start, int count) {
    std::fill_n(left_ + start, count, gains_.left * static_input_);
    std::fill_n(right_ + start, count, gains_.right * static_input_);
    CountStaticSamples(count);
}

// ---- X-Mix ---------------------------------------------------------------------

void ug_cross_fade::ListInterface(std::vector<InterfaceObject>& list) {
    AddInterface(list, {.sample_ptr = &input_a_, .direction = DR_IN, .name = "Input A", .flags = IO_NOT_POLYPHONIC,
                        .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = &input_b_, .direction = DR_IN, .name = "Input B", .flags = IO_NOT_POLYPHONIC,
                        .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = &mix_, .direction = DR_IN,
                        .help = "Varies the mix from +5V - Input A, to -5V - Input B", .name = "Mix",
                        .list_values = "5,-5,5,-5", .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = &output_, .direction = DR_OUT, .name = "Signal Out", .default_value = "5",
                        .data_type = DT_AUDIO});
    AddInterface(list, FadeLawPlug(&fade_law_kind_));
}

void ug_cross_fade::Open() {
    tables_ = FadeTables(*this);
    ug_base::Open();
    Update(sample_clock);
}

void ug_cross_fade::OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) {
    Update(time);
}

void ug_cross_fade::Update(uint32_t time) {
    const int position = BlockPosition();
    law_ = fade_law(tables_, fade_law_kind_);
    const float b_share = std::clamp(0.5f - mix_[position], 0.0f, 1.0f);
    gain_a_ = law_.Gain(1.0f - b_share);
    gain_b_ = law_.Gain(b_share);
    if (IsRunning(*this, kMix)) {
        SetProcess(&ug_cross_fade::RunPerSample);
    } else if (IsRunning(*this, kInputA) || IsRunning(*this, kInputB)) {
        SetProcess(&ug_cross_fade::RunBlockGains);
    } else {
        static_output_ = gain_a_ * input_a_[position] + gain_b_ * input_b_[position];
        SetProcess(&ug_cross_fade::Static);
        ResetStaticCountdown();
        GetPlug(kOutput)->TransmitStatus(time, ST_STATIC);
        return;
    }
    GetPlug(kOutput)->TransmitStatus(time, ST_RUN);
}

void ug_cross_fade::RunPerSample(int start, int count) {
    for (int i = start; i < start + count; ++i) {
        const float b_share = std::clamp(0.5f - mix_[i], 0.0f, 1.0f);
        output_[i] = law_.Gain(1.0f - b_share) * input_a_[i] + law_.Gain(b_share) * input_b_[i];
    }
}

void ug_cross_fade::RunBlockGains(int start, int count) {
    const float gain_a = gain_a_;
    const float gain_b = gain_b_;
    for (int i = start; i < start + count; ++i) output_[i] = gain_a * input_a_[i] + gain_b * input_b_[i];
}

void ug_cross_fade::Static(int start, int count) {
    std::fill_n(output_ + start, count, static_output_);
    CountStaticSamples(count);
}

// ---- Float Adder ---------------------------------------------------------------

void ug_adder::ListInterface(std::vector<InterfaceObject>& list) {
    AddInterface(list, {.sample_ptr = &out_, .direction = DR_OUT, .name = "Out", .data_type = DT_AUDIO});
    AddInterface(list, {.direction = DR_IN, .name = "In", .flags = IO_MULTI_INPUT | IO_NOT_POLYPHONIC,
                        .data_type = DT_AUDIO, .variable = inputs_variable_});
}

void ug_adder::sources::ConnectionAdded(plug_connection* connection) {
    entries.push_back({connection, false});
}

void ug_adder::sources::ConnectionRemoved(plug_connection* connection) {
    std::erase_if(entries, [connection](const entry& e) { return e.connection == connection; });
}

void ug_adder::Open() {
    running_.reserve(inputs_.entries.size());
    ug_base::Open();
    Rebuild();
    ProcessOutput(sample_clock);
}

void ug_adder::OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) {
    for (auto& entry : inputs_.entries) {
        if (entry.connection == connection) entry.running = status == ST_RUN;
    }
    Rebuild();
    ProcessOutput(time);
}

void ug_adder::Rebuild() {
    const int position = BlockPosition();
    static_sum_ = 0.0f;
    running_.clear();
    for (const auto& entry : inputs_.entries) {
        const USampBlock* block = entry.connection->from->Block();
        if (entry.running)
            running_.push_back(block->Data());
        else
            static_sum_ += block->Get(position);
    }
}

void ug_adder::ProcessOutput(uint32_t time) {
    UPlug* out = GetPlug(0);
    if (running_.empty()) {
        SetProcess(&ug_adder::StaticSum);
        ResetStaticCountdown();
        out->TransmitStatus(time, ST_STATIC);
    } else {
        SetProcess(&ug_adder::RunSum);
        out->TransmitStatus(time, ST_RUN);
    }
}

void ug_adder::RunSum(int start, int count) {
    float* out = out_ + start;
    const float* first = running_.front() + start;
    if (static_sum_ == 0.0f) {
        std::copy(first, first + count, out);
    } else {
        const float offset = static_sum_;
        for (int i = 0; i < count; ++i) out[i] = offset + first[i];
    }
    for (std::size_t source = 1; source < running_.size(); ++source) {
        const float* in = running_[source] + start;
        for (int i = 0; i < count; ++i) out[i] += in[i];
    }
}

void ug_adder::StaticSum(int start, int count) {
    std::fill(out_ + start, out_ + start + count, static_sum_);
    CountStaticSamples(count);
}
