#pragma once
// The organiser's sheet file: a 22-byte header ("SPREADSHEET"), then records of a type word, a
// length word and the data. Cells are records of type 2.

#include "kconv.h"

namespace kconv {

constexpr char spr_signature[16] = "SPREADSHEET"; // and zero bytes to fill 16
constexpr std::size_t spr_header_size = 22;
constexpr std::uint16_t spr_formula = 1, spr_cell = 2, spr_status = 5, spr_display = 6;
constexpr std::size_t spr_max_cells = 8192; // columns and rows, A1 = 0, 0
enum spr_contents : unsigned {
    spr_blank = 0,
    spr_real = 1,
    spr_text = 2,
    spr_integer = 3,
    spr_real_formula = 5,
    spr_text_formula = 6
};
constexpr std::uint8_t spr_date_format = 0x79;

} // namespace kconv
