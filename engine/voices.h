// Voices of a polyphonic container: the copies of its unit generators that
// play one note each, how notes are given to them, and the note source that
// turns MIDI into voice allocations.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ug_base.h"

class ug_notesource;

// Release time of a voice whose note is held.
constexpr uint32_t kNoteHeld = 0x7FFFFFFF;

// One voice: its unit generators in run order and the note it plays.
class Voice {
public:
    explicit Voice(int voice_index) : index(voice_index) {}

    // A second note source in one voice is reported and does not take the voice.
    void Add(ug_base* ug);
    void Remove(ug_base* ug);
    bool Contains(const ug_base* ug) const;
    // Members that sleep and wake with the voice.
    bool IsPerVoice(const ug_base* ug) const;
    // This voice's copy of a unit generator of the first voice, or none.
    ug_base* CopyOf(const ug_base* original) const;

    void NoteOn(uint32_t time, int channel, int note, int velocity);
    void NoteOff(uint32_t time, int velocity);
    void HardNoteOff(uint32_t time);
    void Suspend();
    void Resume();
    bool IsHeld() const { return release_time == kNoteHeld; }

    std::vector<ug_base*> unit_generators;
    ug_notesource* note_source = nullptr;
    uint32_t release_time = 0;  // 0: never used, or suspended
    uint32_t start_time = 0;
    int16_t channel = 0;
    int16_t note = 0;
    bool hard_released = false;
    int index;
    bool suspended = false;
    bool opened = false;
    bool pedal_held = false;
    // A drum slot's voice: its members are its own, not copies.
    bool slot_voice = false;

private:
    void SendToNoteSource(uint32_t time, int32_t kind, int velocity);
};

// The voices of a container. Voice 0 is the container's own set of unit
// generators; the others are copies of it, all made before the first note.
class VoiceList {
public:
    VoiceList();

    // Voice -1 lets the list choose; returns the voice used.
    int NoteOn(uint32_t time, int channel, int note, int velocity, int voice);
    // Note -1 releases every voice.
    void NoteOff(uint32_t time, int channel, int note, int velocity);
    void PedalHold(uint32_t time, int channel, int note);
    void PedalRelease(uint32_t time, int channel);

    int VoiceCount() const { return static_cast<int>(voices_.size()); }
    Voice& GetVoice(int index) { return *voices_[static_cast<std::size_t>(index)]; }

    // The container's "Polyphony"; takes effect when the graph is next built.
    int16_t voice_limit = 8;

protected:
    std::vector<std::unique_ptr<Voice>> voices_;

private:
    int ChooseVoice(uint32_t time, int channel, int note);
    Voice* HeldVoice(int channel, int note);
};

// Base of the modules that start voices from MIDI. The module made for the
// document ("master", voice 0) handles MIDI and chooses voices; its voice
// copies play the notes they are given.
class ug_notesource : public ug_base {
public:
    ug_notesource();
    std::unique_ptr<ug_base> CreateInstance() const override { return std::make_unique<ug_notesource>(); }
    std::unique_ptr<ug_base> Clone() override;
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void QueueMidi(uint32_t time, int32_t message, UPlug* plug) override;
    void HandleEvent(ug_event* event) override;
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override;

    // Whether voices are copies of voice 0 (drum triggers give slots voices instead).
    virtual bool AllocatesVoices() const { return true; }
    // Gives the modules the note source drives their voice numbers; returns the highest.
    virtual int AssignVoiceNumbers() { return 0; }
    // Envelopes of the voice ask to hear of hard note offs.
    void AddHardNoteOffListener(ug_base* listener) { hard_note_off_listeners_.push_back(listener); }
    bool IsMaster() const { return (flags & UGF_CLONE) == 0; }

protected:
    enum plug_index { kMidiIn, kChannel };

    void ListMidiPlugs(std::vector<InterfaceObject>& list, const char* midi_default);

    virtual void OnChannelChange(uint32_t time);
    virtual void BankSelect(int channel, int bank) {}
    virtual void VoiceNoteOff(int channel, int note, int velocity) {}
    virtual void VoiceHardNoteOff(int channel, int note, int velocity);
    virtual void VoiceNoteOn(int channel, int note, int velocity) {}
    virtual void MidiMessage(uint32_t time, int32_t message);
    virtual void ChannelPressure(float value) {}
    virtual void PitchBend(float value) {}
    // What the master does with a MIDI note on or off.
    virtual void NoteOnMessage(uint32_t time, int channel, int note, int velocity);
    virtual void NoteOffMessage(uint32_t time, int channel, int note, int velocity);

    struct channel_state {
        float bend = 0.0f;  // -1 … +1
        float bend_sensitivity = 2.0f;  // semitones
    };
    // Shared by the master and its copies.
    channel_state& Channel(int channel) { return master_->channels_[static_cast<std::size_t>(channel)]; }
    // Calls `function` on the master and every copy.
    template <class Function>
    void ForEachCopy(Function function) {
        for (ug_base* copy = master_; copy != nullptr; copy = copy->next_clone)
            function(*static_cast<ug_notesource*>(copy));
    }

    midi_input_var midi_in_;
    int16_t voice_channel_ = -1;
    int16_t voice_note_ = -1;
    int16_t mono_mode_ = 0;
    int16_t retrigger_ = 0;

private:
    void ControlChange(uint32_t time, int channel, int controller, int value);
    void SendToCopiesOnChannel(uint32_t time, int channel, int32_t kind, int32_t value);

    ug_notesource* master_ = this;
    std::array<channel_state, 16> channels_{};
    int16_t selected_rpn_ = 0;
    int16_t data_entry_ = 0;
    std::array<uint8_t, 16> pedal_down_{};
    int16_t last_channel_ = -1;
    std::vector<ug_base*> hard_note_off_listeners_;
};

// The note source of the voice that holds a unit generator, once its container is open.
ug_notesource* VoiceNoteSource(const ug_base& ug);

// Hidden "VoiceMonitor": watches the signals a voice sends out of itself and,
// once they have all stopped running for a block after the note was released,
// asks the note source to put the voice to sleep.
class ug_voice_monitor : public ug_module<ug_voice_monitor> {
public:
    ug_voice_monitor() { flags |= UGF_POLYPHONIC; }
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void OnPlugStateChange(uint32_t time, plug_connection* connection, state_type status) override;

private:
    class signals : public input_array {
    public:
        struct entry {
            plug_connection* connection;
            bool running;
        };
        void ConnectionAdded(plug_connection* connection) override { entries.push_back({connection, false}); }
        void ConnectionRemoved(plug_connection* connection) override;
        std::vector<entry> entries;
    };

    static void Restart(ug_base* target);
    void Watch(int start, int count);

    signals signals_;
    input_array* signals_variable_ = &signals_;
    int countdown_ = 0;
    bool any_running_ = false;
    bool suspend_requested_ = false;
};
