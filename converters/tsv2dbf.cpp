// tsv2dbf: tab-separated text on standard input to an organiser Data file on standard output. The
// first row names the fields (they become the Data application's labels); every field is a string.
// What the layout cannot hold is cut, with a warning; characters code page 850 lacks become '?'.

#include "cp850.h"
#include "dbf.h"
#include "fields.h"
#include "kconv.h"

#include <string>

using namespace kconv;

namespace {

struct writer {
    cp850_counts replaced; // a control byte 20 would join a field to the one before
    std::size_t cut_strings = 0;

    std::string to_cp850(const std::string& text) {
        std::string out = cp850_from_utf8(text, replaced);
        if (out.size() > dbf_max_string) {
            out.resize(dbf_max_string);
            ++cut_strings;
        }
        return out;
    }

    // Strings as qstrs, as many as fit into one record's data part.
    bytes qstrs(const std::vector<std::string>& fields, std::size_t limit, std::size_t& cut_fields) {
        bytes out;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const std::string s = to_cp850(fields[i]);
            if (out.size() + 1 + s.size() > limit) {
                cut_fields += fields.size() - i;
                break;
            }
            out.push_back(static_cast<std::uint8_t>(s.size()));
            out.insert(out.end(), s.begin(), s.end());
        }
        return out;
    }
};

void put_record(bytes& out, unsigned type, const bytes& data) {
    put16(out, static_cast<std::uint16_t>(type << 12 | data.size()));
    out.insert(out.end(), data.begin(), data.end());
}

// Streams: a field longer than a Data file holds is read only as far as it can matter.
void convert() {
    tsv_reader in(dbf_max_fields, dbf_max_string * 4); // 254 characters are at most 4 UTF-8 bytes each
    std::vector<std::string> names, fields;
    if (!in.next(names))
        throw error("no header row naming the fields");
    writer w;
    std::size_t cut_columns = 0, cut_fields = 0;
    spooled_output spool;
    bytes out(dbf_signature, dbf_signature + sizeof dbf_signature);
    for (std::uint16_t word : {0x100F, static_cast<int>(dbf_header_size), 0x100F})
        put16(out, word);
    put_record(out, dbf_fields, bytes(names.size(), dbf_string));
    bytes labels;
    put_record(labels, dbf_labels, w.qstrs(names, dbf_max_data - 2, cut_fields));
    put_record(out, dbf_descriptive, labels);
    for (std::size_t records = 0; in.next(fields);) {
        if (++records > 65534) {
            warn("more than 65,534 records: the rest are left out");
            break;
        }
        if (fields.size() > names.size())
            fields.resize(names.size());
        put_record(out, dbf_data, w.qstrs(fields, dbf_max_data, cut_fields));
        if (out.size() > (1u << 16)) {
            spool.write(out);
            out.clear();
        }
    }
    cut_columns = in.widest_seen > names.size() ? in.widest_seen - names.size() : 0;
    if (cut_columns)
        warn(std::to_string(cut_columns) + " column(s) beyond the 32 a Data file holds were left out");
    if (w.cut_strings)
        warn(std::to_string(w.cut_strings) + " field(s) longer than 254 characters were cut");
    if (cut_fields)
        warn(std::to_string(cut_fields) + " field(s) left out of records longer than 4,094 bytes");
    if (w.replaced.controls)
        warn(std::to_string(w.replaced.controls) + " control character(s) a Data field cannot hold became '?'");
    if (w.replaced.lacking)
        warn(std::to_string(w.replaced.lacking) + " character(s) the organiser cannot show became '?'");
    spool.write(out);
    spool.finish();
}

} // namespace

int main(int argc, char** argv) {
    const char* usage = "usage: tsv2dbf < FILE.tsv > FILE.dbf\n"
                        "Reads tab-separated text on standard input (the first row names the fields) and\n"
                        "writes an organiser Data file on standard output.\n";
    if (const int done = standard_call("tsv2dbf", usage, argc, argv, argc == 1); done >= 0)
        return done;
    return run("tsv2dbf", "", convert);
}
