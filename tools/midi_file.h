// Standard MIDI Files (formats 0 and 1) read into the channel messages a host
// sends a plug-in, each at its sample. Tempo changes of any track form the
// tempo map; system-exclusive and meta events other than tempo and end of track
// are skipped. Every length in the file is checked against the bytes left.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/midi_schedule.h"

namespace tools {

// A file that is not a well-formed MIDI file; the message names the problem and
// where it lies.
struct MidiFileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A file larger than this is refused unread: a performance of hours takes a few megabytes.
inline constexpr uintmax_t kLargestMidiFile = 64u << 20;

struct MidiPerformance {
    // Sorted by frame; at the same tick, in the order of the tracks, then of the file.
    std::vector<MidiMessage> messages;
    // Where the last track ends (its end-of-track event, or its last event).
    double end_seconds = 0;
};

// Throws MidiFileError.
MidiPerformance ReadMidiFile(std::span<const uint8_t> bytes, double sample_rate);
// The same for a file; its errors name the file.
MidiPerformance ReadMidiFileAt(const std::string& path, double sample_rate);

}  // namespace tools
