// The stored project is scrambled byte by byte with a fixed key: at each step
// the byte under the cursor is combined with the key, and the cursor moves on
// by 3 when the stored byte's lowest bit is set, else by 1. The bytes stepped
// over stay as they are.
#pragma once

#include <cstdint>
#include <span>

void UnscrambleProject(std::span<uint8_t> stored);
void ScrambleProject(std::span<uint8_t> project);
