// The VstEvents record handed to the plug-in for one host block. A plug-in may
// keep the pointer until processReplacing returns, so the record lives here
// until the next block is filled.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/vst2.h"
#include "tools/midi_schedule.h"

namespace tools {

class EventBlock {
public:
    // Keeps the messages of `schedule` (sorted by frame) that fall in
    // [first_frame, first_frame + frames), timed from the block's start.
    void Fill(const std::vector<MidiMessage>& schedule, int64_t first_frame, int frames);

    bool Empty() const { return midi_.empty(); }
    vst::VstEvents* Events();

private:
    std::vector<vst::VstMidiEvent> midi_;
    // VstEvents ends in an array of pointers as long as the host needs; the words
    // give it room and the alignment of its intptr_t field.
    std::vector<intptr_t> record_;
};

}  // namespace tools
