// Flush-to-zero and denormals-are-zero for the length of one audio call: the
// host's own floating-point state is put back when the call returns.
#pragma once

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace platform {

class scoped_flush_denormals {
public:
#if defined(__SSE__) || defined(__x86_64__)
    scoped_flush_denormals() : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | kFlushToZero | kDenormalsAreZero); }
    ~scoped_flush_denormals() { _mm_setcsr(saved_); }

private:
    static constexpr unsigned kFlushToZero = 1u << 15;
    static constexpr unsigned kDenormalsAreZero = 1u << 6;
    unsigned saved_;
#else
    scoped_flush_denormals() = default;
#endif
    scoped_flush_denormals(const scoped_flush_denormals&) = delete;
    scoped_flush_denormals& operator=(const scoped_flush_denormals&) = delete;
};

}  // namespace platform
