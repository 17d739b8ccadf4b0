// Joining and parting plugs of a document: the two edits that wiring the
// plug-in's I/O modules, and any editing of a patch, are made of.
#pragma once

class CLine2;
class CPlug2;

// A new wire between A (where the connection starts) and B, stored output
// first; none when the plugs may not be joined, after showing why.
CLine2* Connect(CPlug2* a, CPlug2* b);
// Takes a wire out of its container and off its plugs, and removes plugs
// that were only there because the wire was.
void DeleteWire(CLine2* wire);
