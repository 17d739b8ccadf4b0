// MIDI modules.
#pragma once

#include "engine/ug_base.h"

// "MIDI Adder2": merges every MIDI source wired into its input.
class ug_adder_midi : public ug_module<ug_adder_midi> {
public:
    void ListInterface(std::vector<InterfaceObject>& list) override;
    void Open() override;
    void HandleEvent(ug_event* event) override;
};
