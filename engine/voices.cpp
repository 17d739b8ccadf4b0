#include "engine/voices.h"

#include <algorithm>

#include "engine/audio_master.h"
#include "engine/ug_container.h"
#include "project/module_registry.h"

namespace {
ug_registration<ug_notesource> register_notesource("Notesource");
ug_registration<ug_voice_monitor> register_voice_monitor("VoiceMonitor");

constexpr const char* kSeveralNoteSources =
    "You have several 'MidiToCv', 'Soundfont Player', or 'Drum Trigger' modules together. Put each in it's own "
    "container.";
constexpr int kReleaseVelocity = 64;
// A released voice is put to sleep only once its release is this many samples old.
constexpr int32_t kSuspendDelay = 30;
}  // namespace

// ---- Voice -----------------------------------------------------------------

void Voice::Add(ug_base* ug) {
    unit_generators.push_back(ug);
    auto* source = dynamic_cast<ug_notesource*>(ug);
    if (source == nullptr) return;
    if (note_source == nullptr)
        note_source = source;
    else if (source->IsMaster())  // its voice copies need not say it again
        source->ShowMessage(kSeveralNoteSources);
}

void Voice::Remove(ug_base* ug) { std::erase(unit_generators, ug); }

bool Voice::Contains(const ug_base* ug) const {
    return std::ranges::find(unit_generators, ug) != unit_generators.end();
}

bool Voice::IsPerVoice(const ug_base* ug) const { return slot_voice || (ug->flags & UGF_POLYPHONIC) != 0; }

// Copies are linked behind their original and carry their voice's number.
ug_base* Voice::CopyOf(const ug_base* original) const {
    for (ug_base* copy = original->next_clone; copy != nullptr; copy = copy->next_clone)
        if (copy->note_source == index) return copy;
    return nullptr;
}

void Voice::NoteOn(uint32_t time, int note_channel, int note_number, int velocity) {
    channel = static_cast<int16_t>(note_channel);
    note = static_cast<int16_t>(note_number);
    start_time = time;
    release_time = kNoteHeld;
    hard_released = false;
    pedal_held = false;
    if (suspended) Resume();
    SendToNoteSource(time, UET_NOTE_ON, velocity);
}

void Voice::NoteOff(uint32_t time, int velocity) {
    pedal_held = false;
    release_time = time;
    SendToNoteSource(time, UET_NOTE_OFF, velocity);
}

void Voice::HardNoteOff(uint32_t time) {
    release_time = time;
    hard_released = true;
    SendToNoteSource(time, UET_NOTE_OFF_HARD, kReleaseVelocity);
}

void Voice::SendToNoteSource(uint32_t time, int32_t kind, int velocity) {
    void* carried_velocity = reinterpret_cast<void*>(static_cast<intptr_t>(velocity));
    note_source->AddEvent(note_source->NewEvent(time, kind, channel, carried_velocity, note));
}

// A voice put to sleep is the first choice for the next note.
void Voice::Suspend() {
    if (IsHeld() || suspended) return;
    for (ug_base* ug : unit_generators)
        if (IsPerVoice(ug) && (ug->flags & UGF_APART_FROM_VOICE) == 0) ug->Suspend();
    suspended = true;
    release_time = 0;
}

void Voice::Resume() {
    for (ug_base* ug : unit_generators)
        if (IsPerVoice(ug) && (ug->flags & UGF_APART_FROM_VOICE) == 0) ug->Resume();
    suspended = false;
}

// ---- VoiceList -------------------------------------------------------------

VoiceList::VoiceList() { voices_.push_back(std::make_unique<Voice>(0)); }

int VoiceList::NoteOn(uint32_t time, int channel, int note, int velocity, int voice) {
    if (voice < 0) voice = ChooseVoice(time, channel, note);
    if (voice >= VoiceCount()) voice = 0;
    voices_[static_cast<std::size_t>(voice)]->NoteOn(time, channel, note, velocity);
    return voice;
}

// Every voice up to the limit was made with the graph, so the choice is
// among them: a voice released longest ago (sleeping and unused ones count
// as released at 0), else the one holding the oldest note. Among equals the
// highest index wins. A note struck again while it sounds cuts its voice short.
int VoiceList::ChooseVoice(uint32_t time, int channel, int note) {
    if (voices_.front()->note == 0) return 0;
    Voice* oldest = nullptr;
    Voice* released_longest = nullptr;
    for (auto it = voices_.rbegin(); it != voices_.rend(); ++it) {
        Voice& voice = **it;
        if (voice.channel == channel && voice.note == note && !voice.hard_released) voice.HardNoteOff(time);
        if (oldest == nullptr || voice.start_time < oldest->start_time) oldest = &voice;
        if (released_longest == nullptr || voice.release_time < released_longest->release_time)
            released_longest = &voice;
    }
    return released_longest->release_time < kNoteHeld ? released_longest->index : oldest->index;
}

Voice* VoiceList::HeldVoice(int channel, int note) {
    for (auto it = voices_.rbegin(); it != voices_.rend(); ++it) {
        Voice& voice = **it;
        if (voice.channel == channel && voice.note == note && voice.IsHeld() && !voice.pedal_held) return &voice;
    }
    return nullptr;
}

void VoiceList::NoteOff(uint32_t time, int channel, int note, int velocity) {
    if (note < 0) {
        for (auto it = voices_.rbegin(); it != voices_.rend(); ++it) (*it)->NoteOff(time, velocity);
        return;
    }
    if (Voice* voice = HeldVoice(channel, note)) voice->NoteOff(time, velocity);
}

void VoiceList::PedalHold(uint32_t time, int channel, int note) {
    if (Voice* voice = HeldVoice(channel, note)) voice->pedal_held = true;
}

void VoiceList::PedalRelease(uint32_t time, int channel) {
    for (auto& voice : voices_)
        if (voice->pedal_held && voice->channel == channel) voice->NoteOff(time, kReleaseVelocity);
}

// ---- ug_notesource ---------------------------------------------------------

ug_notesource::ug_notesource() { flags |= UGF_POLYPHONIC | UGF_APART_FROM_VOICE | UGF_SORT_RAISED; }

std::unique_ptr<ug_base> ug_notesource::Clone() {
    std::unique_ptr<ug_base> copy = ug_base::Clone();
    static_cast<ug_notesource*>(copy.get())->master_ = master_;
    return copy;
}

void ug_notesource::ListInterface(std::vector<InterfaceObject>& list) { ListMidiPlugs(list, "0"); }

void ug_notesource::ListMidiPlugs(std::vector<InterfaceObject>& list, const char* midi_default) {
    AddInterface(list, {.direction = DR_IN, .name = "MIDI In", .default_value = midi_default, .data_type = DT_MIDI,
                        .variable = &midi_in_});
    AddInterface(list, {.direction = DR_IN,
                        .help = "MIDI Channel",
                        .name = "Channel",
                        .default_value = "-1",
                        .list_values = "All=-1,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16",
                        .data_type = DT_ENUM,
                        .variable = &midi_in_.channel_filter});
}

void ug_notesource::Open() {
    if (IsMaster())
        channels_.fill({});
    else
        --sort_order;  // copies run after their master, which dates the notes it gives them
    ug_base::Open();
    SetProcess(&ug_base::SleepIfIdle);
}

void ug_notesource::QueueMidi(uint32_t time, int32_t message, UPlug* plug) {
    if (IsMaster()) ug_base::QueueMidi(time, message, plug);
}

void ug_notesource::HandleEvent(ug_event* event) {
    const auto velocity = static_cast<int>(reinterpret_cast<intptr_t>(event->ptr));
    switch (event->kind) {
        case UET_SUSPEND: static_cast<Voice*>(event->ptr)->Suspend(); break;
        case UET_MIDI: MidiMessage(event->time, event->parm1); break;
        case UET_NOTE_ON:
            voice_channel_ = static_cast<int16_t>(event->parm1);
            voice_note_ = static_cast<int16_t>(event->value);
            VoiceNoteOn(event->parm1, event->value, velocity);
            break;
        case UET_NOTE_OFF: VoiceNoteOff(event->parm1, event->value, velocity); break;
        case UET_NOTE_OFF_HARD: VoiceHardNoteOff(event->parm1, event->value, velocity); break;
        case UET_PITCH_BEND: PitchBend(static_cast<float>(event->parm1) / 8192.0f); break;
        case UET_AFTERTOUCH: ChannelPressure(static_cast<float>(event->parm1) / 127.0f); break;
        default: ug_base::HandleEvent(event); break;
    }
}

void ug_notesource::OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) {
    if (connection->to->index == kChannel && IsMaster()) OnChannelChange(time);
}

// Voices still sounding on the old channel would never hear their note off.
void ug_notesource::OnChannelChange(uint32_t time) {
    if (midi_in_.channel_filter == last_channel_) return;
    last_channel_ = midi_in_.channel_filter;
    container->NoteOff(time, 0, -1, kReleaseVelocity);
}

void ug_notesource::VoiceHardNoteOff(int channel, int note, int velocity) {
    VoiceNoteOff(channel, note, velocity);
    void* carried_velocity = reinterpret_cast<void*>(static_cast<intptr_t>(velocity));
    for (ug_base* listener : hard_note_off_listeners_)
        listener->AddEvent(listener->NewEvent(sample_clock, UET_NOTE_OFF_HARD, channel, carried_velocity, note));
}

void ug_notesource::MidiMessage(uint32_t time, int32_t message) {
    const int status = message & 0xff;
    const int channel = status & 0x0f;
    const int data1 = (message >> 8) & 0x7f;
    const int data2 = (message >> 16) & 0x7f;
    switch (status & 0xf0) {
        case 0x80: NoteOffMessage(time, channel, data1, data2); break;
        case 0x90:
            if (data2 == 0)
                NoteOffMessage(time, channel, data1, data2);
            else
                NoteOnMessage(time, channel, data1, data2);
            break;
        case 0xB0: ControlChange(time, channel, data1, data2); break;
        case 0xC0: ForEachCopy([&](ug_notesource& copy) { copy.OnPatchChange(channel, data1); }); break;
        case 0xD0: SendToCopiesOnChannel(time, channel, UET_AFTERTOUCH, data1); break;
        case 0xE0: {
            const int bend = data1 + 128 * data2 - 8192;
            Channel(channel).bend = static_cast<float>(bend) / 8192.0f;
            SendToCopiesOnChannel(time, channel, UET_PITCH_BEND, bend);
            break;
        }
        default: break;  // system messages
    }
}

void ug_notesource::NoteOnMessage(uint32_t time, int channel, int note, int velocity) {
    container->NoteOn(time, channel, note, velocity, mono_mode_ != 0 ? 0 : -1);
}

void ug_notesource::NoteOffMessage(uint32_t time, int channel, int note, int velocity) {
    if (pedal_down_[static_cast<std::size_t>(channel)] != 0)
        container->PedalHold(time, channel, note);
    else
        container->NoteOff(time, channel, note, velocity);
}

void ug_notesource::ControlChange(uint32_t time, int channel, int controller, int value) {
    constexpr int kLow7 = 0x7f;
    constexpr int kHigh7 = 0x3f80;
    uint8_t& pedal = pedal_down_[static_cast<std::size_t>(channel)];
    switch (controller) {
        case 0: BankSelect(channel, channel == 9 && value == 0 ? 128 : value); break;
        case 6:
        case 38:
            if (selected_rpn_ != 0) break;  // only RPN 0, the bend sensitivity, is understood
            data_entry_ = static_cast<int16_t>(controller == 6 ? (data_entry_ & kLow7) | (value << 7)
                                                               : (data_entry_ & kHigh7) | value);
            Channel(channel).bend_sensitivity = static_cast<float>(data_entry_) / 128.0f;
            break;
        case 64:
        case 69:
            if (value > 63) {
                pedal = 1;
            } else if (pedal != 0) {
                pedal = 0;
                container->PedalRelease(time, channel);
            }
            break;
        case 98:
        case 99: selected_rpn_ = -1; break;
        case 100: selected_rpn_ = static_cast<int16_t>((selected_rpn_ & kHigh7) | value); break;
        case 101: selected_rpn_ = static_cast<int16_t>((selected_rpn_ & kLow7) | (value << 7)); break;
        case 120:
        case 123: container->NoteOff(time, channel, -1, kReleaseVelocity); break;
        default: break;
    }
}

void ug_notesource::SendToCopiesOnChannel(uint32_t time, int channel, int32_t kind, int32_t value) {
    ForEachCopy([&](ug_notesource& copy) {
        if (copy.voice_channel_ == channel) copy.AddEvent(copy.NewEvent(time, kind, value));
    });
}

ug_notesource* VoiceNoteSource(const ug_base& ug) {
    ug_container* container = ug.container;
    if (container == nullptr || ug.note_source < 0 || ug.note_source >= container->VoiceCount()) return nullptr;
    return container->GetVoice(ug.note_source).note_source;
}

// ---- ug_voice_monitor ------------------------------------------------------

void ug_voice_monitor::signals::ConnectionRemoved(plug_connection* connection) {
    std::erase_if(entries, [connection](const entry& e) { return e.connection == connection; });
}

void ug_voice_monitor::ListInterface(std::vector<InterfaceObject>& list) {
    AddInterface(list, {.direction = DR_IN, .name = "Signal", .flags = IO_MULTI_INPUT | IO_NOT_POLYPHONIC,
                        .data_type = DT_AUDIO, .variable = signals_variable_});
}

void ug_voice_monitor::Open() {
    ug_base::Open();
    SetProcess(&ug_voice_monitor::Watch);
    QueueFunction(sample_clock + 4, &ug_voice_monitor::Restart);
}

void ug_voice_monitor::OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) {
    for (auto& entry : signals_.entries)
        if (entry.connection == connection) entry.running = status == ST_RUN;
    Restart(this);
}

void ug_voice_monitor::Restart(ug_base* target) {
    auto* self = static_cast<ug_voice_monitor*>(target);
    const auto& entries = self->signals_.entries;
    self->any_running_ = std::any_of(entries.begin(), entries.end(), [](const auto& e) { return e.running; });
    self->countdown_ = self->BlockSize();
    self->suspend_requested_ = false;
    self->SetProcess(&ug_voice_monitor::Watch);
}

// Running signals will announce when they stop, so the monitor sleeps meanwhile.
void ug_voice_monitor::Watch(int start, int count) {
    if (any_running_ || suspend_requested_) {
        SleepIfIdle(start, count);
        return;
    }
    countdown_ -= count;
    if (countdown_ >= 0) return;
    Voice& voice = container->GetVoice(note_source);
    if (static_cast<int32_t>(sample_clock - voice.release_time) <= kSuspendDelay) return;
    // The note source runs earlier in the walk: woken, its clock tells where
    // it goes on, and the request must not predate it.
    ug_notesource* source = voice.note_source;
    source->Wake();
    const uint32_t time = TimeBefore(source->sample_clock, sample_clock) ? sample_clock : source->sample_clock;
    source->AddEvent(source->NewEvent(time, UET_SUSPEND, 0, &voice));
    suspend_requested_ = true;
}
