#include "platform/embedded_project.h"

namespace platform {

std::optional<std::vector<uint8_t>> ReadEmbeddedProject(const std::string& library_path) {
    std::optional<std::vector<uint8_t>> file = ReadWholeFile(library_path);
    if (!file) return std::nullopt;
    return ProjectInTrailer(*file);
}

}  // namespace platform
