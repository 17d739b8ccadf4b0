#include "modules/note_sources.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "engine/ug_container.h"
#include "project/module_registry.h"

namespace {
ug_registration<ug_midi_to_cv> register_midi_to_cv("Midi to CV");
ug_registration<ug_drum_trigger> register_drum_trigger("Drum Trigger");

// Pitch volts per semitone, as a sample value (1 V per octave, 1.0 = 10 V).
constexpr float kSemitone = 0.00833333377f;
constexpr double kBendSemitone = 0.008333333333333333;
// Note 69 (A 440 Hz) is 5 V.
constexpr int kNoteAt5Volts = 69;
constexpr float kVelocityScale = 0.007874016f;  // 1/127
// Every new note gives the gate a gap of this many samples, so envelopes restart.
constexpr uint32_t kGateGap = 3;
// A bend glides to its new value over 1/60 s.
constexpr float kBendSeconds = 0.016666668f;

float NotePitch(int note) { return static_cast<float>(note - kNoteAt5Volts) * kSemitone + 0.5f; }
}  // namespace

// ---- pitch_ramp ----------------------------------------------------------------

void pitch_ramp::Start(float from, float to, float step_per_sample) {
    value = from;
    target = to;
    step = step_per_sample;
    samples_left = step != 0.0f ? static_cast<int>((to - from) / step + 0.5f) : 0;
    if (samples_left <= 0) Advance(0);
}

void pitch_ramp::Advance(int samples) {
    if (samples >= samples_left) {
        value = target;
        step = 0.0f;
        samples_left = 0;
        return;
    }
    value += step * static_cast<float>(samples);
    samples_left -= samples;
}

// ---- Midi to CV ----------------------------------------------------------------

void ug_midi_to_cv::ListInterface(std::vector<InterfaceObject>& list) {
    ListMidiPlugs(list, "0");
    AddInterface(list, {.direction = DR_IN,
                        .help = "Maximum MIDI bender range in semitones",
                        .name = "Bend Range",
                        .default_value = "12",
                        .list_values = "range 0,12",
                        .data_type = DT_ENUM,
                        .variable = &bend_range_});
    AddInterface(list, {.direction = DR_OUT, .help = "Use this to control an envelope (ADSR)", .name = "Gate",
                        .default_value = "0", .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = &pitch_out_,
                        .direction = DR_OUT,
                        .help = "Use this to control an Oscillator or Filter Pitch",
                        .name = "Pitch",
                        .default_value = "0",
                        .data_type = DT_AUDIO});
    AddInterface(list, {.direction = DR_OUT, .help = "Provides MIDI velocity level (How fast you hit the key)",
                        .name = "Velocity", .default_value = "0", .data_type = DT_AUDIO});
    AddInterface(list, {.direction = DR_OUT, .help = "Provides MIDI Aftertouch level", .name = "Aftertouch",
                        .default_value = "0", .data_type = DT_AUDIO});
    AddInterface(list, {.direction = DR_IN,
                        .help = "Limit sound to one voice. Enables the Retrigger option",
                        .name = "Mono Mode",
                        .default_value = "0",
                        .list_values = "On=1,Off=0",
                        .data_type = DT_ENUM,
                        .variable = &mono_mode_});
    AddInterface(list, {.direction = DR_IN,
                        .help = "Retrigger Envelopes when playing legato (you hit a note before releasing previous). "
                                "Used with Mono Mode.",
                        .name = "Retrigger",
                        .default_value = "1",
                        .list_values = "On=1,Off=0",
                        .data_type = DT_ENUM,
                        .variable = &retrigger_});
    AddInterface(list, {.sample_ptr = &portamento_,
                        .direction = DR_IN,
                        .help = "Time for pitch to slide to a new note (When you play legato)",
                        .name = "Portamento Time",
                        .default_value = "0",
                        .data_type = DT_AUDIO});
    AddInterface(list, {.direction = DR_IN,
                        .name = "Mono Note Priority",
                        .default_value = "3",
                        .list_values = "Off,Low,High,Last",
                        .data_type = DT_ENUM,
                        .variable = &priority_});
}

void ug_midi_to_cv::Open() {
    ug_notesource::Open();
    ring_.fill(-1);
    gate_.Attach(GetPlug(kGate));
    velocity_.Attach(GetPlug(kVelocity));
    aftertouch_.Attach(GetPlug(kAftertouch));
}

// 2.5 ms at 0 V, 79 ms at 5 V, 2.5 s at 10 V: 2^(V - 8.667) seconds.
float ug_midi_to_cv::GlideSamples() const {
    const float volts = portamento_[BlockPosition()] * 10.0f;
    const float seconds = std::pow(2.0f, ((volts - 2.0f) * 12000.0f * 0.1f - 8000.0f) / 1200.0f);
    return seconds * SampleRate();
}

bool ug_midi_to_cv::PriorityIgnores(int note) const {
    auto held = [](uint8_t key) { return key != 0; };
    switch (priority_) {
        case PRIORITY_LOW: return std::any_of(held_.begin(), held_.begin() + note, held);
        case PRIORITY_HIGH: return std::any_of(held_.begin() + note + 1, held_.end(), held);
        default: return false;
    }
}

void ug_midi_to_cv::NoteOnMessage(uint32_t time, int channel, int note, int velocity) {
    held_[static_cast<std::size_t>(note)] = 1;
    held_velocity_[static_cast<std::size_t>(note)] = static_cast<uint8_t>(velocity);
    ring_position_ = (ring_position_ + 1) % kRingSize;
    ring_[static_cast<std::size_t>(ring_position_)] = static_cast<int8_t>(note);
    if (mono_mode_ != 0 && PriorityIgnores(note)) return;

    const float target = NotePitch(note);
    const bool glides = last_note_ >= 0 && portamento_[BlockPosition()] != 0.0f;
    const float from = glides ? master_pitch_.value : target;
    master_pitch_.Start(from, target, (target - from) / GlideSamples());
    if (master_pitch_.Moving()) SetProcess(&ug_midi_to_cv::Run);
    last_note_ = note;

    const int voice = container->NoteOn(time, channel, note, velocity, mono_mode_ != 0 ? 0 : -1);
    ug_notesource* player = container->GetVoice(voice).note_source;
    player->AddEvent(player->NewEvent(time, UET_GLIDE_START, std::bit_cast<int32_t>(from), nullptr,
                                      std::bit_cast<int32_t>(target)));
}

void ug_midi_to_cv::NoteOffMessage(uint32_t time, int channel, int note, int velocity) {
    if (note == last_note_) last_note_ = -1;
    held_[static_cast<std::size_t>(note)] = 0;
    if (mono_mode_ != 0) {
        const int replay = KeyToReplay(note);
        if (replay >= 0) {
            // The replayed key glides from where the released one left the pitch.
            last_note_ = note;
            NoteOnMessage(time, channel, replay, held_velocity_[static_cast<std::size_t>(replay)]);
            return;
        }
    }
    ug_notesource::NoteOffMessage(time, channel, note, velocity);
}

// In Mono Mode a key still held may sound again when the one playing goes.
int ug_midi_to_cv::KeyToReplay(int released) {
    switch (priority_) {
        case PRIORITY_LOW: {
            const auto lowest = std::ranges::find_if(held_, [](uint8_t key) { return key != 0; });
            const int key = static_cast<int>(lowest - held_.begin());
            return lowest != held_.end() && key > released ? key : -1;
        }
        case PRIORITY_HIGH:
            for (int key = 127; key >= 0; --key)
                if (held_[static_cast<std::size_t>(key)] != 0) return key < released ? key : -1;
            return -1;
        case PRIORITY_LAST: {
            if (ring_position_ < 0 || ring_[static_cast<std::size_t>(ring_position_)] != released) return -1;
            for (int back = 1; back < kRingSize; ++back) {
                int8_t& entry = ring_[static_cast<std::size_t>((ring_position_ - back + kRingSize) % kRingSize)];
                if (entry >= 0 && held_[static_cast<std::size_t>(entry)] != 0) return entry;
                entry = -1;  // no longer held
            }
            return -1;
        }
        default: return -1;
    }
}

void ug_midi_to_cv::HandleEvent(ug_event* event) {
    if (event->kind != UET_GLIDE_START) {
        ug_notesource::HandleEvent(event);
        return;
    }
    const auto start = std::bit_cast<float>(event->parm1);
    const auto target = std::bit_cast<float>(event->value);
    glide_.Start(start, target, (target - start) / GlideSamples());
    pitch_running_ = glide_.Moving() || bend_.Moving();
    GetPlug(kPitch)->TransmitStatus(event->time, pitch_running_ ? ST_RUN : ST_STATIC);
    pitch_fill_ = BlockSize();
    SetProcess(&ug_midi_to_cv::Run);
}

void ug_midi_to_cv::VoiceNoteOn(int channel, int note, int velocity) {
    SetProcess(&ug_midi_to_cv::Run);
    const auto bend = static_cast<float>(Channel(channel).bend * bend_range_ * kBendSemitone);
    bend_.Start(bend, bend, 0.0f);
    if (retrigger_ != 0 || mono_mode_ == 0) gate_.Set(sample_clock, 0.0f);
    const float level = static_cast<float>(velocity) * kVelocityScale;
    if (mono_mode_ != 0)
        velocity_.Set(sample_clock, level, static_cast<int>((std::fabs(level - velocity_.Value()) + 1.0f) * 60.0f));
    else
        velocity_.Set(sample_clock, level, 1);
    StartGate(1.0f);
}

void ug_midi_to_cv::VoiceNoteOff(int channel, int note, int velocity) {
    SetProcess(&ug_midi_to_cv::Run);
    gate_.Set(sample_clock, 0.0f);
    StartGate(0.0f);
}

// The level lands a few samples later; a note off meanwhile overrides it.
void ug_midi_to_cv::StartGate(float level) {
    gate_level_ = level;
    QueueFunction(sample_clock + kGateGap, &ug_midi_to_cv::ApplyGateLevel);
}

void ug_midi_to_cv::ApplyGateLevel(ug_base* target) {
    auto* self = static_cast<ug_midi_to_cv*>(target);
    self->gate_.Set(self->sample_clock, self->gate_level_);
    self->SetProcess(&ug_midi_to_cv::Run);
}

void ug_midi_to_cv::PitchBend(float value) {
    SetProcess(&ug_midi_to_cv::Run);
    const bool was_still = !bend_.Moving();
    const auto target = static_cast<float>(value * bend_range_ * kBendSemitone);
    bend_.Start(bend_.value, target, (target - bend_.value) / (SampleRate() * kBendSeconds));
    if (was_still && bend_.Moving()) {
        pitch_running_ = true;
        GetPlug(kPitch)->TransmitStatus(sample_clock, ST_RUN);
        pitch_fill_ = BlockSize();
    }
}

void ug_midi_to_cv::ChannelPressure(float value) {
    SetProcess(&ug_midi_to_cv::Run);
    aftertouch_.Set(sample_clock, value);
}

// Pitch is bend plus glide; once neither moves it is constant from the next
// sample, written for one block.
bool ug_midi_to_cv::RunPitch(int start, int count) {
    float* out = pitch_out_ + start;
    int i = 0;
    for (; i < count && pitch_running_; ++i) {
        out[i] = bend_.value + glide_.value;
        bend_.Advance(1);
        glide_.Advance(1);
        if (!bend_.Moving() && !glide_.Moving()) {
            pitch_running_ = false;
            GetPlug(kPitch)->TransmitStatus(sample_clock + static_cast<uint32_t>(i + 1), ST_STATIC);
            pitch_fill_ = BlockSize();
        }
    }
    if (i == count || pitch_fill_ <= 0) return i > 0;
    std::fill_n(out + i, std::min(pitch_fill_, count - i), bend_.value + glide_.value);
    pitch_fill_ -= count - i;
    return true;
}

void ug_midi_to_cv::Run(int start, int count) {
    if (count == 0) return;
    bool busy = RunPitch(start, count);
    busy = gate_.Process(start, count) || busy;
    busy = velocity_.Process(start, count) || busy;
    busy = aftertouch_.Process(start, count) || busy;
    if (master_pitch_.Moving()) {
        master_pitch_.Advance(count);
        busy = true;
    }
    if (!busy) SetProcess(&ug_base::SleepIfIdle);
}

// ---- Drum Trigger --------------------------------------------------------------

namespace {

constexpr const char* kDrumNames[] = {"Kick",  "Snare", "Hi Hat", "Cow Bell", "Tom1",  "Tom2",  "Tom3", "Clap",
                                      "Crash", "Tamb",  "Ride",   "User1",    "User2", "User3", "User4"};
// The notes of the fixed drums, in slot order; the user drums follow them.
constexpr int kDrumNotes[] = {35, 38, 42, 56, 45, 47, 50, 39, 49, 54, 51};
constexpr int kFixedDrums = std::size(kDrumNotes);
constexpr int kHiHatSlot = 2;
constexpr int kUser3Slot = 13;
constexpr int kFirstTriggerPlug = 5;
constexpr int kHiHatDecayPlug = 11;
enum drum_input_plug { kOpenHHDecay = 2, kPedalHHDecay, kCloseHHDecay };

// Trigger and velocity come in pairs; "Hi Hat Decay" follows the hi-hat pair
// and the four note parameters sit before the third user drum.
constexpr int TriggerPlug(int slot) {
    return kFirstTriggerPlug + 2 * slot + (slot > kHiHatSlot ? 1 : 0) + (slot >= kUser3Slot ? 4 : 0);
}
static_assert(TriggerPlug(3) == 12 && TriggerPlug(13) == 36);

// Triggers last at least this long, so a newer note's trigger is not cut short.
uint32_t MinimumTrigger(float sample_rate) { return static_cast<uint32_t>(sample_rate * 20 / 1000); }

}  // namespace

ug_drum_trigger::ug_drum_trigger() {
    // The drums' modules get voices of their own; the trigger itself is not copied.
    flags &= ~UGF_POLYPHONIC;
}

void ug_drum_trigger::ListInterface(std::vector<InterfaceObject>& list) {
    ListMidiPlugs(list, "");
    AddInterface(list, {.sample_ptr = &open_hh_decay_,
                        .direction = DR_IN,
                        .help = "Three different MIDI notes can trigger a hi-hat, but each one will vary the 'Hi Hat "
                                "Decay' output, which you can connect to an envelope generator",
                        .name = "Open HH Decay",
                        .default_value = "5",
                        .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = &pedal_hh_decay_, .direction = DR_IN, .name = "Pedal HH Decay",
                        .default_value = "3.5", .data_type = DT_AUDIO});
    AddInterface(list, {.sample_ptr = &close_hh_decay_, .direction = DR_IN, .name = "Close HH Decay",
                        .default_value = "2.5", .data_type = DT_AUDIO});
    constexpr const char* kNoteHelp = "Set this to the MIDI note number of the percussion you want to use";
    constexpr const char* kNoteDefaults[] = {"62", "64", "70", "37"};
    for (int slot = 0; slot < kSlots; ++slot) {
        if (slot == kUser3Slot) {
            for (int user = 0; user < kUserSlots; ++user) {
                AddInterface(list, {.direction = DR_PARAMETER,
                                    .help = user % 2 == 0 ? kNoteHelp : "",
                                    .name = std::string("User") + std::to_string(user + 1) + " Note #",
                                    .default_value = kNoteDefaults[user],
                                    .list_values = "range 0,127",
                                    .data_type = DT_ENUM,
                                    .variable = &user_notes_[static_cast<std::size_t>(user)]});
            }
        }
        AddInterface(list, {.direction = DR_OUT, .name = std::string(kDrumNames[slot]) + " Trig",
                            .default_value = "0", .data_type = DT_AUDIO});
        AddInterface(list, {.direction = DR_OUT, .name = "Vel", .default_value = "0", .data_type = DT_AUDIO});
        if (slot == kHiHatSlot)
            AddInterface(list,
                         {.direction = DR_OUT, .name = "Hi Hat Decay", .default_value = "0", .data_type = DT_AUDIO});
    }
}

void ug_drum_trigger::Open() {
    ug_notesource::Open();
    for (int index = 0; index < kSlots; ++index) {
        slot& drum = slots_[static_cast<std::size_t>(index)];
        drum.trigger.Attach(GetPlug(TriggerPlug(index)));
        drum.velocity.Attach(GetPlug(TriggerPlug(index) + 1));
    }
    hi_hat_decay_.Attach(GetPlug(kHiHatDecayPlug));
}

// Each drum whose outputs drive modules in this container gets a voice, in
// slot order; the modules it drives take that voice's number.
int ug_drum_trigger::AssignVoiceNumbers() {
    int voices = 0;
    for (int index = 0; index < kSlots; ++index) {
        std::vector<ug_base*> driven;
        for (int plug = TriggerPlug(index); plug <= TriggerPlug(index) + 1; ++plug)
            for (const plug_connection* connection : GetPlug(plug)->connections)
                if (connection->to->owner->container == container) driven.push_back(connection->to->owner);
        if (driven.empty()) continue;
        slots_[static_cast<std::size_t>(index)].voice = ++voices;
        for (ug_base* ug : driven) ug->SpreadNoteSourceDown(voices);
    }
    return voices;
}

int ug_drum_trigger::MapNote(int note) const {
    if (std::ranges::find(user_notes_, note) != user_notes_.end()) return note;
    switch (note) {
        case 36: return 35;
        case 40: return 38;
        case 41:
        case 43: return 45;
        case 44:
        case 46: return 42;
        case 48: return 47;
        case 57: return 49;
        default: return note < 58 ? note : -1;
    }
}

int ug_drum_trigger::SlotOf(int mapped_note) const {
    const auto user = std::ranges::find(user_notes_, mapped_note);
    if (user != user_notes_.end()) return kFixedDrums + static_cast<int>(user - user_notes_.begin());
    const auto fixed = std::ranges::find(kDrumNotes, mapped_note);
    return fixed != std::end(kDrumNotes) ? static_cast<int>(fixed - std::begin(kDrumNotes)) : -1;
}

// Closed, pedal and open hi-hat notes each set the hi-hat's decay.
const float* ug_drum_trigger::HiHatDecayInput(int note) const {
    switch (note) {
        case 42: return close_hh_decay_;
        case 44: return pedal_hh_decay_;
        case 46: return open_hh_decay_;
        default: return nullptr;
    }
}

void ug_drum_trigger::NoteOnMessage(uint32_t time, int channel, int note, int velocity) {
    const float* decay = HiHatDecayInput(note);
    if (decay != nullptr && decay[BlockPosition()] != hi_hat_decay_.Target()) {
        hi_hat_decay_.Set(time, decay[BlockPosition()]);
        SetProcess(&ug_drum_trigger::Run);
    }
    const int mapped = MapNote(note);
    const int index = mapped < 0 ? -1 : SlotOf(mapped);
    if (index < 0 || slots_[static_cast<std::size_t>(index)].voice == 0) return;
    container->NoteOn(time, channel, mapped, velocity, slots_[static_cast<std::size_t>(index)].voice);
}

void ug_drum_trigger::NoteOffMessage(uint32_t time, int channel, int note, int velocity) {
    const int mapped = MapNote(note);
    if (mapped >= 0) ug_notesource::NoteOffMessage(time, channel, mapped, velocity);
}

void ug_drum_trigger::VoiceNoteOn(int channel, int note, int velocity) {
    const int index = SlotOf(note);
    if (index < 0) return;
    slot& drum = slots_[static_cast<std::size_t>(index)];
    drum.trigger.Set(sample_clock, 0.0f);
    drum.velocity.Set(sample_clock, static_cast<float>(velocity) / 127.0f);
    drum.trigger_time = sample_clock;
    AddEvent(NewEvent(sample_clock + kGateGap, UET_DRUM_TRIGGER, index, nullptr, 1));
    SetProcess(&ug_drum_trigger::Run);
}

void ug_drum_trigger::VoiceNoteOff(int channel, int note, int velocity) {
    const int index = SlotOf(note);
    if (index < 0) return;
    const uint32_t earliest_end = slots_[static_cast<std::size_t>(index)].trigger_time + MinimumTrigger(SampleRate());
    const uint32_t soonest = sample_clock + kGateGap;
    AddEvent(NewEvent(TimeBefore(earliest_end, soonest) ? soonest : earliest_end, UET_DRUM_TRIGGER, index));
}

void ug_drum_trigger::HandleEvent(ug_event* event) {
    if (event->kind != UET_DRUM_TRIGGER) {
        ug_notesource::HandleEvent(event);
        return;
    }
    slot& drum = slots_[static_cast<std::size_t>(event->parm1)];
    if (event->value != 0)
        drum.trigger.Set(sample_clock, 1.0f);
    else if (sample_clock - drum.trigger_time >= MinimumTrigger(SampleRate()))
        drum.trigger.Set(sample_clock, 0.0f);
    SetProcess(&ug_drum_trigger::Run);
}

void ug_drum_trigger::Run(int start, int count) {
    if (count == 0) return;
    bool busy = hi_hat_decay_.Process(start, count);
    for (slot& drum : slots_) {
        busy = drum.trigger.Process(start, count) || busy;
        busy = drum.velocity.Process(start, count) || busy;
    }
    if (!busy) SetProcess(&ug_base::SleepIfIdle);
}
