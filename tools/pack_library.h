// The stored project inside a plug-in library of either kind: a Windows
// library carries it as its "WS1" resource 165, a Linux library as a trailer.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tools {

// A copy of the library that carries the stored (scrambled) project, replacing
// any it carried. Anything but a PE or ELF library throws std::runtime_error.
std::vector<uint8_t> LibraryWithProject(std::span<const uint8_t> library, std::span<const uint8_t> stored_project);

// The stored project a library carries, or nothing.
std::optional<std::vector<uint8_t>> ProjectInLibrary(std::span<const uint8_t> library);

}  // namespace tools
