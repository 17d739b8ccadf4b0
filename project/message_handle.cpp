#include "project/message_handle.h"

#include <atomic>

namespace message_handles {

int32_t Next() {
    // Positive numbers only: -1 means "none" to message targets. The space is
    // large enough that a process never wraps it in practice.
    static std::atomic<int32_t> last{0};
    return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

}  // namespace message_handles
