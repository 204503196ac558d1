// dbf2tsv FILE.dbf: the organiser's Data file to tab-separated text on standard output: a row of
// field names (the Data application's labels, else Field1, Field2, ...), then one row a record.

#include "data_file.h"
#include "dbf.h"
#include "fields.h"
#include "kconv.h"

#include <algorithm>

using namespace kconv;

namespace {

// The columns: every field some record fills, every labelled one, and, without labels, every declared
// one. The 25 fields the Data application declares but never uses are left out.
std::vector<std::string> column_names(const data_file& d) {
    std::size_t columns = 0;
    for (const auto& fields : d.records)
        for (std::size_t i = fields.size(); i > columns; --i)
            if (!fields[i - 1].empty())
                columns = i;
    for (std::size_t i = d.labels.size(); i > columns; --i)
        if (!d.labels[i - 1].text.empty())
            columns = i;
    if (d.labels.empty())
        columns = std::max(columns, d.declared);
    std::vector<std::string> names(columns);
    for (std::size_t i = 0; i < columns; ++i)
        names[i] =
            i < d.labels.size() && !d.labels[i].text.empty() ? d.labels[i].text : "Field" + std::to_string(i + 1);
    return names;
}

void convert(const bytes& file) {
    const data_file d = read_data_file(file);
    const auto names = column_names(d);
    std::string out;
    append_row(out, names);
    for (const auto& record : d.records) {
        std::vector<std::string> fields(names.size());
        for (std::size_t i = 0; i < fields.size() && i < record.size(); ++i)
            fields[i] = one_line(record[i]);
        append_row(out, fields);
        flush_when_large(out);
    }
    write_stdout(out);
}

} // namespace

int main(int argc, char** argv) {
    const char* usage = "usage: dbf2tsv FILE.dbf\n"
                        "Writes the organiser Data file as tab-separated text on standard output: a row\n"
                        "of field names, then one row a record.\n";
    return convert_file_arg("dbf2tsv", usage, argc, argv, argc == 2, [](const std::string& input) {
        convert(read_organiser_file(input, signature({dbf_signature, sizeof dbf_signature}, "a Data file")));
    });
}
