// The state a host saves for the plug-in: program names, the per-program
// values of the controls that follow the top container's programs and those
// of its patch parameters, as one block of bytes.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

class CContainer;

enum chunk_tag : int32_t {
    kChunkByListOrder = 852154,  // controls matched by position only
    kChunkWithControlIds = 852170,
    kChunkWithParameters = 852171,  // the tag written
    kChunkWithControlNames = 852218,
};

// A control's id in chunks: its position in the walk over the controls that
// follow the container's programs, which stays the same from load to load.
std::vector<uint8_t> WriteProgramChunk(const CContainer& top, bool single_program);

enum class chunk_read_result {
    complete,
    incomplete,  // something was left out; the rest was applied
    ignored,     // not a chunk of ours, or cut short: nothing changed
};

chunk_read_result ReadProgramChunk(CContainer& top, std::span<const uint8_t> bytes, bool single_program);
