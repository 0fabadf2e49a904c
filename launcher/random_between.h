#pragma once

#include <cstdint>

// A pseudo-random whole number from `low` on, drawn with one step of a linear congruential
// generator seeded from the processor's time-stamp counter; there is no stored generator state.
std::uint32_t random_between(std::uint32_t low, std::uint32_t high);

// The same draw from a given seed, so that the arithmetic can be checked.
std::uint32_t random_between_seeded(std::uint32_t seed, std::uint32_t low, std::uint32_t high);

// The low 32 bits of the time-stamp counter (a high-resolution counter where there is none).
std::uint32_t timestamp_counter_low_bits();
