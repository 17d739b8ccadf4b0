// The project a plug-in library carries. On Windows it is the library's "WS1"
// resource 165; on Linux it rides at the end of the library file as a
// trailer: the project bytes, their length (32-bit little-endian), then an
// eight-byte mark. The bytes are kept as stored (scrambled).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace platform {

// The whole file, or nothing when it cannot be read.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes);

// The stored project of the library at that path, read the way this system
// stores it (resource or trailer), or nothing when it has none.
std::optional<std::vector<uint8_t>> ReadEmbeddedProject(const std::string& library_path);

// The Linux trailer, readable and writable on any system (packing a Linux
// library works anywhere). A copy of a library's bytes that carries the
// stored project (any project the library carried before is replaced).
std::vector<uint8_t> WithEmbeddedProject(std::span<const uint8_t> library, std::span<const uint8_t> stored_project);
// The stored project in a library's trailer, or nothing when it has none.
std::optional<std::vector<uint8_t>> ProjectInTrailer(std::span<const uint8_t> library);

}  // namespace platform
