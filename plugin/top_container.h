// What the host sees of the top container: its audio and MIDI plugs and its
// programs.
#pragma once

#include <cstdint>
#include <string>

class CContainer;
class CPatchManager;
class CPlug2;

// Plugs of that direction and type, spares not counted.
int CountWiredPlugs(const CContainer& top, int32_t direction, int32_t data_type);
// The index-th audio plug of that direction, counting every audio plug.
const CPlug2* AudioPlug(const CContainer& top, int32_t direction, int index);
