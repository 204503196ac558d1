#pragma once
// The organiser's files built byte by byte from the format notes, for tests that need a layout no
// genuine file shows: bitmaps, Data and Word files, agendas, sheets.

#include "kconv.h"

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace converter_tests {

using kconv::bytes;

// A bitmap file as the organiser lays it out, rows padded to even bytes, bit 0 the leftmost pixel.
bytes pic_file(int width, int height, const std::vector<std::vector<int>>& planes);
// `entries` descriptors of 16 x `height` bitmaps, `apart` bytes from one another (0: all one bitmap).
bytes pic_of_entries(int entries, int height, int apart);

// Data files: records framed by a word of length (bits 0-11) and type (bits 12-15).
std::string dbf_record(unsigned type, const std::string& data);
std::string qstr(const std::string& s);
std::string dbf_file(const std::string& records);

// Word files: the 40-byte header, then records of a type word, a length word and the data.
std::string wrd_record(unsigned type, const std::string& data);
std::string wrd_file(const std::string& records, unsigned version = 1);
// A style (type 6) or emphasis (type 7) record: code, attribute bits, inherit mask, alignment, and
// other words of a style by their offset (24 type size, 28 left indent, 32 first line, 44 outline).
std::string wrd_format(unsigned type, const char* code, unsigned attributes, unsigned inherit, unsigned align,
                       std::initializer_list<std::pair<std::size_t, int>> words = {});
std::string wrd_run(unsigned length, const char* style, const char* emphasis);

// Little-endian words and longs as text.
std::string word(unsigned v);
std::string lng(std::uint32_t v);
// An agenda of the 3a layout; `records` are framed like Data records, the first at offset 32.
std::string agn_file(const std::vector<std::string>& records);
std::size_t offset_of(const std::vector<std::string>& records, std::size_t i);
// An entry's fixed part and text (style 0); `after` holds the alarm and memo parts.
std::string timed(unsigned day, unsigned start, unsigned attr, unsigned length, const std::string& text,
                  const std::string& after = "");
std::string untimed(unsigned day, unsigned attr, const std::string& text);
std::string todo(unsigned shown, unsigned attr, unsigned due, unsigned list, unsigned prio, const std::string& text,
                 const std::string& after = "");
std::string repeat_of(unsigned kind, unsigned every, unsigned last, const std::string& days, std::size_t entry,
                      const std::vector<unsigned>& except = {});
std::string alarm_part(unsigned before);
std::string memo_part(const std::string& text);

// A sheet: the 22-byte header, then records of a type word and a length word.
std::string spr_record(unsigned type, const std::string& data);
std::string spr_file(const std::string& records);
std::string real_bytes(double v);
std::string spr_cell(unsigned col, unsigned row, unsigned flags, unsigned format, const std::string& value);

} // namespace converter_tests
