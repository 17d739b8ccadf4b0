// Note sources: "Midi to CV" turns MIDI notes into gate, pitch, velocity and
// aftertouch voltages, one voice per note; "Drum Trigger" turns percussion
// notes into a trigger and a velocity per drum.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/smart_output.h"
#include "engine/voices.h"

// A value that moves to its target by a fixed step per sample.
struct pitch_ramp {
    float value = 0.0f;
    float step = 0.0f;
    float target = 0.0f;
    int samples_left = 0;

    // Jumps when the step is 0.
    void Start(float from, float to, float step_per_sample);
    void Advance(int samples);
    bool Moving() const { return step != 0.0f; }
};

class ug_midi_to_cv : public ug_notesource {
public:
    std::unique_ptr<ug_base> CreateInstance() const override { return std::make_unique<ug_midi_to_cv>(); }
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void HandleEvent(ug_event* event) override;

protected:
    void NoteOnMessage(uint32_t time, int channel, int note, int velocity) override;
    void NoteOffMessage(uint32_t time, int channel, int note, int velocity) override;
    void VoiceNoteOn(int channel, int note, int velocity) override;
    void VoiceNoteOff(int channel, int note, int velocity) override;
    void PitchBend(float value) override;
    void ChannelPressure(float value) override;

private:
    enum plug_index {
        kBendRange = 2,
        kGate,
        kPitch,
        kVelocity,
        kAftertouch,
        kMonoMode,
        kRetrigger,
        kPortamento,
        kPriority,
    };
    enum priority_kind : int16_t { PRIORITY_OFF, PRIORITY_LOW, PRIORITY_HIGH, PRIORITY_LAST };
    static constexpr int kRingSize = 16;

    bool PriorityIgnores(int note) const;
    int KeyToReplay(int released);
    float GlideSamples() const;
    void StartGate(float level);
    static void ApplyGateLevel(ug_base* target);
    void GlideTo(float start, float target);
    bool RunPitch(int start, int count);
    void Run(int start, int count);

    std::array<uint8_t, 128> held_{};
    std::array<uint8_t, 128> held_velocity_{};
    std::array<int8_t, kRingSize> ring_{};
    int ring_position_ = -1;
    int16_t priority_ = PRIORITY_LAST;
    int16_t bend_range_ = 12;
    int last_note_ = -1;
    pitch_ramp master_pitch_;  // the master's own idea of the current pitch, for glides
    pitch_ramp glide_;
    pitch_ramp bend_;
    float gate_level_ = 0.0f;
    int pitch_fill_ = 0;
    bool pitch_running_ = false;
    float* portamento_ = nullptr;
    float* pitch_out_ = nullptr;
    smart_output gate_{smart_output::step};
    smart_output velocity_{smart_output::smooth, 8};
    smart_output aftertouch_{smart_output::linear, 4};
};

class ug_drum_trigger : public ug_notesource {
public:
    ug_drum_trigger();
    std::unique_ptr<ug_base> CreateInstance() const override { return std::make_unique<ug_drum_trigger>(); }
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void HandleEvent(ug_event* event) override;
    bool AllocatesVoices() const override { return false; }
    int AssignVoiceNumbers() override;

protected:
    void NoteOnMessage(uint32_t time, int channel, int note, int velocity) override;
    void NoteOffMessage(uint32_t time, int channel, int note, int velocity) override;
    void VoiceNoteOn(int channel, int note, int velocity) override;
    void VoiceNoteOff(int channel, int note, int velocity) override;

private:
    static constexpr int kSlots = 15;
    static constexpr int kUserSlots = 4;
    struct slot {
        smart_output trigger{smart_output::step};
        smart_output velocity{smart_output::linear, 4};
        int voice = 0;  // 0: the slot drives nothing in the container
        uint32_t trigger_time = 0;
    };

    // The note a drum answers to, or -1 for notes no drum plays.
    int MapNote(int note) const;
    int SlotOf(int mapped_note) const;
    const float* HiHatDecayInput(int note) const;
    void Run(int start, int count);

    std::array<slot, kSlots> slots_;
    smart_output hi_hat_decay_{smart_output::step};
    std::array<int16_t, kUserSlots> user_notes_{62, 64, 70, 37};
    float* open_hh_decay_ = nullptr;
    float* pedal_hh_decay_ = nullptr;
    float* close_hh_decay_ = nullptr;
};
