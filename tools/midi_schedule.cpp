#include "tools/midi_schedule.h"

#include <algorithm>
#include <cmath>

namespace tools {

namespace {

constexpr uint8_t kNoteOn = 0x90;   // channel 1
constexpr uint8_t kNoteOff = 0x80;  // channel 1
constexpr uint8_t kReleaseVelocity = 64;  // MIDI's value for "no release velocity"

bool IsNoteOff(const MidiMessage& message) { return (message.bytes[0] & 0xF0) == kNoteOff; }

}  // namespace

std::vector<MidiMessage> ScheduleNotes(const std::vector<Note>& notes, double sample_rate) {
    std::vector<MidiMessage> messages;
    for (const Note& note : notes) {
        int64_t on = std::llround(note.start * sample_rate);
        int64_t off = std::max<int64_t>(std::llround((note.start + note.duration) * sample_rate), on + 1);
        messages.push_back({on, {kNoteOn, uint8_t(note.key), uint8_t(note.velocity)}});
        messages.push_back({off, {kNoteOff, uint8_t(note.key), kReleaseVelocity}});
    }
    std::stable_sort(messages.begin(), messages.end(), [](const MidiMessage& a, const MidiMessage& b) {
        if (a.frame != b.frame) return a.frame < b.frame;
        return IsNoteOff(a) && !IsNoteOff(b);
    });
    return messages;
}

}  // namespace tools
