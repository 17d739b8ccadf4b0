// Notes turned into MIDI messages at sample positions, in the order a plug-in
// must receive them.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "tools/note_text.h"

namespace tools {

struct MidiMessage {
    int64_t frame = 0;
    std::array<uint8_t, 3> bytes{};

    bool operator==(const MidiMessage&) const = default;
};

// Sorted by frame; at the same frame note-offs come first, so a key struck again
// right where it was released keeps sounding. Every note lasts at least one frame.
std::vector<MidiMessage> ScheduleNotes(const std::vector<Note>& notes, double sample_rate);

}  // namespace tools
