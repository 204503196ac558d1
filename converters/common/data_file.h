#pragma once
// The organiser's Data file, read once for every writer: its field labels as the Data application
// shows them and its records' fields as text. Gaps in the public notes are said on standard error.

#include "kconv.h"

#include <string>
#include <vector>

namespace kconv {

struct data_label {
    std::string text;   // without the blanks and colon the Data application aligns its screen with
    bool phone = false; // the organiser's telephone mark stands before the label's word
};

struct data_file {
    std::vector<data_label> labels;                // in field order; may be fewer than the fields
    std::size_t declared = 0;                      // the fields the file declares
    std::vector<std::vector<std::string>> records; // each field's text, line breaks kept ("\n")
};

// A record may hold more fields than the file declares (the Data application writes such records):
// the extra ones are kept as strings, with one warning. Raises error for a file the organiser could
// not have written.
data_file read_data_file(const bytes& file);

} // namespace kconv
