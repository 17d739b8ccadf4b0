// libFuzzer entry: any bytes are read as a Standard MIDI File. A clean read or
// a MidiFileError are both fine; anything else is a bug.
#include <cstddef>
#include <cstdint>

#include "tools/midi_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        tools::ReadMidiFile({data, size}, 44100);
    } catch (const tools::MidiFileError&) {
    }
    return 0;
}
