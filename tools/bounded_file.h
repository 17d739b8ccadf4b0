// Reading input files whose size has a sensible limit, so that a damaged or
// hostile file is refused before it is read into memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

// Throws std::runtime_error naming the file when it cannot be read or is larger
// than `largest` bytes.
std::vector<uint8_t> ReadFileBytes(const std::string& path, std::uintmax_t largest);

}  // namespace tools
