#include "plugin/project_scramble.h"

namespace {
constexpr uint8_t kScrambleKey = 0xA7;

// The step is decided by the byte as stored, so both directions walk alike.
std::size_t Step(uint8_t stored) { return (stored & 1) != 0 ? 3 : 1; }
}  // namespace

void UnscrambleProject(std::span<uint8_t> stored) {
    for (std::size_t cursor = 0; cursor < stored.size();) {
        const uint8_t before = stored[cursor];
        stored[cursor] = static_cast<uint8_t>(before ^ kScrambleKey);
        cursor += Step(before);
    }
}

void ScrambleProject(std::span<uint8_t> project) {
    for (std::size_t cursor = 0; cursor < project.size();) {
        project[cursor] = static_cast<uint8_t>(project[cursor] ^ kScrambleKey);
        cursor += Step(project[cursor]);
    }
}
