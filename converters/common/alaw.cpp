#include "alaw.h"

namespace kconv {

namespace {
constexpr std::uint8_t inverted_bits = 0x55;
} // namespace

std::int16_t alaw_decode(std::uint8_t code) {
    code ^= inverted_bits;
    const int segment = (code >> 4) & 0x07;
    int magnitude = ((code & 0x0F) << 4) + 8; // the middle of the step
    if (segment > 0)
        magnitude = (magnitude + 0x100) << (segment - 1);
    return static_cast<std::int16_t>((code & 0x80) ? magnitude : -magnitude);
}

std::uint8_t alaw_encode(std::int16_t sample) {
    int value = sample >> 3; // 13 bits
    std::uint8_t sign = 0x80;
    if (value < 0) {
        value = -value - 1;
        sign = 0;
    }
    int segment = 0;
    while (segment < 8 && value > (0x20 << segment) - 1)
        ++segment;
    std::uint8_t code;
    if (segment >= 8)
        code = 0x7F;
    else
        code = static_cast<std::uint8_t>(segment << 4 | ((value >> (segment < 2 ? 1 : segment)) & 0x0F));
    return static_cast<std::uint8_t>((code | sign) ^ inverted_bits);
}

} // namespace kconv
