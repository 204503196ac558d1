#pragma once
// The organiser's Data file: a 22-byte header ("OPLDatabaseFile"), then records framed by a word
// whose bits 0-11 are the data length and bits 12-15 the record type.

#include "kconv.h"

namespace kconv {

constexpr char dbf_signature[] = "OPLDatabaseFile"; // 15 characters and its zero fill a 16-byte field
constexpr std::size_t dbf_header_size = 22;
constexpr std::size_t dbf_max_data = 4094; // one record's data part
constexpr std::size_t dbf_max_fields = 32;
constexpr std::size_t dbf_max_string = 254;
enum dbf_record : unsigned { dbf_deleted = 0, dbf_data = 1, dbf_fields = 2, dbf_descriptive = 3 };
enum dbf_field : std::uint8_t { dbf_word = 0, dbf_long = 1, dbf_real = 2, dbf_string = 3 };
constexpr unsigned dbf_labels = 4; // the descriptive record's sub-record of field labels

} // namespace kconv
