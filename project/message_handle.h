// Message identities: the 32-bit numbers that address messages between the
// panel side and the audio side. Each document object, patch manager and patch
// parameter draws one when it is made; 0 stays the application's own.
#pragma once

#include <cstdint>

namespace message_handles {

constexpr int32_t kApplication = 0;

// A number no other live object holds; never 0 or -1.
int32_t Next();

}  // namespace message_handles
