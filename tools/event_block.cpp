#include "tools/event_block.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>

namespace tools {

namespace {

vst::VstMidiEvent ToVstEvent(const MidiMessage& message, int64_t first_frame) {
    vst::VstMidiEvent event{};
    event.type = vst::kVstMidiType;
    event.byteSize = int32_t(sizeof(vst::VstMidiEvent) - offsetof(vst::VstMidiEvent, deltaFrames));
    event.deltaFrames = int32_t(message.frame - first_frame);
    std::memcpy(event.midiData, message.bytes.data(), message.bytes.size());
    return event;
}

}  // namespace

void EventBlock::Fill(const std::vector<MidiMessage>& schedule, int64_t first_frame, int frames) {
    auto before = [](const MidiMessage& message, int64_t frame) { return message.frame < frame; };
    auto begin = std::lower_bound(schedule.begin(), schedule.end(), first_frame, before);
    auto end = std::lower_bound(begin, schedule.end(), first_frame + frames, before);
    midi_.clear();
    for (auto message = begin; message != end; ++message) midi_.push_back(ToVstEvent(*message, first_frame));
}

vst::VstEvents* EventBlock::Events() {
    constexpr size_t kPointersAt = offsetof(vst::VstEvents, events);
    size_t pointers = std::max<size_t>(midi_.size(), 2);
    size_t bytes = kPointersAt + pointers * sizeof(vst::VstEvent*);
    record_.assign((bytes + sizeof(intptr_t) - 1) / sizeof(intptr_t), 0);

    auto* events = new (record_.data()) vst::VstEvents{};
    events->numEvents = int32_t(midi_.size());
    auto* slots = reinterpret_cast<vst::VstEvent**>(reinterpret_cast<std::byte*>(record_.data()) + kPointersAt);
    for (size_t i = 0; i < midi_.size(); ++i) slots[i] = reinterpret_cast<vst::VstEvent*>(&midi_[i]);
    return events;
}

}  // namespace tools
