#pragma once
// The organiser's sound file: a 32-byte little-endian header, then one A-law byte a sample at 8,000 Hz.

#include "kconv.h"

namespace kconv {

constexpr std::size_t wve_header_size = 32;
constexpr char wve_signature[] = "ALawSoundFile**"; // 15 characters and its zero fill a 16-byte field
constexpr int wve_rate = 8000;

} // namespace kconv
