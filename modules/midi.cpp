#include "modules/midi.h"

#include "project/module_registry.h"

namespace {
ug_registration<ug_adder_midi> register_midi_adder("MIDI Adder2");
}

void ug_adder_midi::ListInterface(std::vector<InterfaceObject>& list) {
    AddInterface(list, {.direction = DR_OUT, .name = "Out", .data_type = DT_MIDI});
    AddInterface(list, {.direction = DR_IN, .name = "In", .flags = IO_MULTI_INPUT, .data_type = DT_MIDI});
}

void ug_adder_midi::Open() {
    ug_base::Open();
    SetProcess(&ug_base::SleepIfIdle);
}

void ug_adder_midi::HandleEvent(ug_event* event) {
    if (event->kind == UET_MIDI)
        GetPlug(0)->TransmitMidi(event->time, event->parm1);
    else
        ug_base::HandleEvent(event);
}

InterfaceObject MidiChannelDescription(uint32_t flags, int16_t* channel) {
    return {.direction = DR_IN,
            .help = "MIDI Channel",
            .name = "Channel",
            .default_value = "-1",
            .list_values = kMidiChannelList,
            .flags = flags,
            .data_type = DT_ENUM,
            .variable = channel};
}

void ug_midi_device::ListInterface(std::vector<InterfaceObject>& list) {
    AddInterface(list, {.direction = DR_IN, .help = "MIDI Input Plug", .name = "MIDI In", .data_type = DT_MIDI,
                        .variable = &midi_in_});
    AddInterface(list, MidiChannelDescription(0x003, &midi_in_.channel_filter));
}

void ug_midi_device::Open() {
    ug_base::Open();
    SetProcess(&ug_base::SleepIfIdle);
}

void ug_midi_device::HandleEvent(ug_event* event) {
    if (event->kind == UET_MIDI)
        OnMidi(event->time, event->parm1);
    else
        ug_base::HandleEvent(event);
}
