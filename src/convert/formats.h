#pragma once
// The twelve formats and the converter (name and flags) for a source/target pair.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace mod_convert {

enum format : std::int32_t { agn, dbf, spr, wrd, tsv, html, pic, pcx, wve, wav, txt, csv, no_format = -1 };
constexpr int format_count = 12;

// Raised for a format index outside 0..11.
class bad_format_index : public std::out_of_range {
public:
    explicit bad_format_index(std::int32_t index);
};

std::string format_ext(std::int32_t index);
std::string format_caption(std::int32_t index);

std::string converter_command(std::int32_t source, std::int32_t target, bool with_flags);
// For the current source_format and target_format.
std::string converter_command(bool with_flags);

// Converters of Kivo's own that lie beside the others but serve no pair of the window (the agenda
// into a calendar, an address book into contacts).
std::vector<std::string> companion_converters();

// The targets a source offers, in the order they are offered (the last stays selected); none for
// html and txt, which are never sources.
std::vector<std::int32_t> offered_targets(std::int32_t source);
// pic, pcx, wve and wav converters name and write their output file themselves.
bool writes_own_output(std::int32_t source);
// The sources in the order the window's rules look for the selected one.
std::vector<std::int32_t> rule_sources();

} // namespace mod_convert
