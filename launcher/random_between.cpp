#include "launcher/random_between.h"

#include <chrono>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#endif

std::uint32_t timestamp_counter_low_bits() {
#if defined(__x86_64__) || defined(__i386__)
    return static_cast<std::uint32_t>(__rdtsc());
#else
    return static_cast<std::uint32_t>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count());
#endif
}

std::uint32_t random_between_seeded(std::uint32_t seed, std::uint32_t low, std::uint32_t high) {
    const std::uint32_t x = seed * 214013u + 2531011u;
    const std::uint32_t r = (x >> 16) & 0x7FFFu;
    if (high == 0) high = 0x7FFFFFFFu;
    // When the span covers all 2^32 values it wraps to 0; r modulo 2^32 is r itself.
    const std::uint32_t span = high - low + 1u;
    return low + (span == 0 ? r : r % span);
}

std::uint32_t random_between(std::uint32_t low, std::uint32_t high) {
    return random_between_seeded(timestamp_counter_low_bits(), low, high);
}
