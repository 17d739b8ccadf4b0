// What a host keeps of a plug-in between sessions, as a file of our own:
//
//   offset  size  field
//        0     4  magic, the characters "WsSt"
//        4     4  format version, 1
//        8     4  current program (effGetProgram), signed
//       12     4  chunk length N in bytes
//       16     N  the bank chunk (effGetChunk with index 0)
//
// Integers are little-endian; the file ends with the chunk.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace tools {

struct HostState {
    int32_t program = 0;
    std::vector<uint8_t> chunk;

    bool operator==(const HostState&) const = default;
};

// A state file that cannot be read as one; the message names the problem.
struct StateFileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

inline constexpr uint32_t kStateFileVersion = 1;
// Far beyond any bank chunk; a larger length is a damaged file.
inline constexpr uint32_t kLargestStateChunk = 256u << 20;

std::vector<uint8_t> EncodeState(const HostState& state);
// Throws StateFileError.
HostState DecodeState(std::span<const uint8_t> bytes);

// Both throw StateFileError naming the file.
void WriteStateFile(const std::string& path, const HostState& state);
HostState ReadStateFile(const std::string& path);

}  // namespace tools
