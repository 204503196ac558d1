#pragma once
// The ITU-T G.711 A-law code: 13-bit magnitudes in eight segments, sign bit and alternate bits inverted.

#include <cstdint>

namespace kconv {

std::int16_t alaw_decode(std::uint8_t code);
std::uint8_t alaw_encode(std::int16_t sample);

} // namespace kconv
