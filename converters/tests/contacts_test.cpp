// dbf2vcf: Data files as vCards that an independent reader (Python's vobject) reads, every field's
// text kept, labels read for what they say; and the Data records that hold more fields than declared.

#include "builders.h"
#include "cp850.h"
#include "data_file.h"
#include "support.h"

#include <map>

using namespace converter_tests;

namespace {

class Contacts : public Converters {
protected:
    // The cards as vobject reads them: one map of property -> values a card.
    using card = std::multimap<std::string, std::string>;
    std::vector<card> read_cards(const fs::path& vcf) {
        const std::string reader = fs::path(__FILE__).parent_path() / "read_vcards.py";
        const auto r = sh("/usr/bin/python3 '" + reader + "' '" + vcf.string() + "'");
        EXPECT_EQ(r.code, 0) << r.err;
        std::vector<card> cards(1);
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);) {
            if (line == "END") {
                cards.emplace_back();
                continue;
            }
            const auto tab = line.find('\t'), tab2 = line.find('\t', tab + 1);
            cards.back().emplace(line.substr(0, tab) +
                                     (tab2 > tab + 1 ? ";" + line.substr(tab + 1, tab2 - tab - 1) : ""),
                                 line.substr(tab2 + 1));
        }
        cards.pop_back();
        return cards;
    }
    std::vector<card> convert(const std::string& dbf) {
        spit(dir / "a.dbf", dbf);
        const auto r = sh("'" + program("dbf2vcf") + "' -o a.vcf a.dbf");
        EXPECT_EQ(r.code, 0) << r.err;
        return read_cards(dir / "a.vcf");
    }
};

bool have_vobject() {
    return std::system("/usr/bin/python3 -c 'import vobject' 2>/dev/null") == 0;
}

// Text as the organiser stores it: code page 850, its control codes (5 a phone, 21 a line break) kept.
std::string as_stored(const std::string& text) {
    std::string out, run;
    kconv::cp850_counts counts;
    for (char c : text + '\0') {
        if (static_cast<unsigned char>(c) >= 32) {
            run += c;
            continue;
        }
        out += kconv::cp850_from_utf8(run, counts) + (c ? std::string(1, c) : "");
        run.clear();
    }
    return out;
}

// A Data file of qstr fields with these labels (the organiser's phone mark where a label starts "\5 ").
std::string data_file_of(const std::vector<std::string>& labels, const std::vector<std::vector<std::string>>& records,
                         std::size_t declared = 0) {
    std::string label_part;
    for (const auto& l : labels)
        label_part += qstr(as_stored(l));
    std::string out = dbf_record(2, std::string(declared ? declared : labels.size(), '\x03'));
    out += dbf_record(3, word(static_cast<unsigned>(4u << 12 | label_part.size())) + label_part);
    for (const auto& fields : records) {
        std::string data;
        for (const auto& f : fields)
            data += qstr(as_stored(f));
        out += dbf_record(1, data);
    }
    return dbf_file(out);
}

std::string flat(std::string text) {
    for (std::size_t at; (at = text.find("\\n")) != std::string::npos;)
        text.replace(at, 2, " ");
    return text;
}

} // namespace

// Every non-empty field's text is somewhere in its card; the organiser's phone fields are phones.
TEST_F(Contacts, GenuineDataFilesKeepEveryField) {
    if (!fs::exists(real("dbf-emulated-s3a340-default-contacts.dbf")) || !have_vobject())
        GTEST_SKIP() << "the genuine files or python3-vobject are not here";
    for (const char* name : {"dbf-emulated-s3a340-default-contacts.dbf", "dbf-emulated-s3a340-contacts.dbf",
                             "dbf-emulated-s3a340-default-empty.dbf"}) {
        const std::string file = slurp(real(name));
        const auto d = kconv::read_data_file(kconv::bytes(file.begin(), file.end()));
        const auto cards = convert(file);
        ASSERT_EQ(cards.size(), d.records.size()) << name;
        for (std::size_t i = 0; i < cards.size(); ++i) {
            std::string all;
            for (const auto& [property, value] : cards[i])
                all += flat(value) + "\n";
            for (std::size_t f = 0; f < d.records[i].size(); ++f) {
                std::string text = d.records[i][f];
                std::replace(text.begin(), text.end(), '\n', ' ');
                EXPECT_NE(all.find(text), std::string::npos) << name << " record " << i << ": " << text << "\n" << all;
                if (!text.empty() && f < d.labels.size() && d.labels[f].phone) {
                    EXPECT_TRUE(cards[i].count("TEL;" + std::string(f == 1   ? "HOME"
                                                                    : f == 2 ? "WORK"
                                                                             : "FAX")))
                        << name << " " << text;
                }
            }
            EXPECT_EQ(cards[i].count("FN"), 1u);
            EXPECT_EQ(cards[i].count("N"), 1u);
        }
    }
}

TEST_F(Contacts, LabelsSayWhatAFieldHolds) {
    if (!have_vobject())
        GTEST_SKIP() << "python3-vobject is not here";
    const auto cards = convert(
        data_file_of({"Surname:", "First name:", "\x05 Mobile:", "E-mail:", "Street:", "",
                      "Town:", "Postcode:", "Country:", "Company:", "Birthday:", "Hobby:", "Notes:"},
                     {{"Ångström", "Zoë", "+46 70 123", "zoe@example.se", "Drottninggatan 1", "Floor 3", "Stockholm",
                       "111 51", "Sweden", "Acme; Sons", "22/07/1958", "chess", "Line one\x15line two"},
                      {"Smith", "Bob", "", "", "", "", "", "", "", "", "12/03/1961"}}));
    ASSERT_EQ(cards.size(), 2u);
    const auto one = [](const Contacts::card& c, const std::string& p) {
        return c.count(p) ? c.find(p)->second : std::string("(none)");
    };
    EXPECT_EQ(one(cards[0], "FN"), "Zoë Ångström");
    EXPECT_EQ(one(cards[0], "N"), "Ångström;Zoë;;;");
    EXPECT_EQ(one(cards[0], "TEL;CELL"), "+46 70 123");
    EXPECT_EQ(one(cards[0], "EMAIL;INTERNET"), "zoe@example.se");
    EXPECT_EQ(one(cards[0], "ADR"), ";;Drottninggatan 1\\nFloor 3;Stockholm;;111 51;Sweden");
    EXPECT_EQ(one(cards[0], "ORG"), "Acme; Sons");
    EXPECT_EQ(one(cards[0], "BDAY"), "1958-07-22");
    EXPECT_EQ(one(cards[0], "NOTE"), "Hobby: chess\\nLine one\\nline two");
    EXPECT_EQ(one(cards[1], "BDAY"), "(none)") << "12/03 reads two ways";
    EXPECT_EQ(one(cards[1], "NOTE"), "Birthday: 12/03/1961");

    const struct {
        const char* text;
        const char* bday;
    } birthdays[] = {{"1961-03-12", "1961-03-12"}, {"12 March 1961", "1961-03-12"}, {"March 12th, 1961", "1961-03-12"},
                     {"5/5/1970", "1970-05-05"},   {"31/02/1970", "(none)"},        {"1 Jan", "(none)"},
                     {"about 1960", "(none)"}};
    for (const auto& b : birthdays) {
        const auto c = convert(data_file_of({"Name:", "Birthday:"}, {{"Ann", b.text}}));
        ASSERT_EQ(c.size(), 1u);
        EXPECT_EQ(one(c[0], "BDAY"), b.bday) << b.text;
    }
}

// The organiser writes records with more fields than the file declares: nothing of them is lost.
TEST_F(Contacts, ARecordMayHoldMoreFieldsThanDeclared) {
    spit(dir / "wide.dbf", data_file_of({"Name:", "Tel:", "Notes:"}, {{"Ann", "123", "first", "second", "third"}}, 3));
    const auto table = sh("'" + program("dbf2tsv") + "' wide.dbf");
    EXPECT_EQ(table.code, 0) << table.err;
    EXPECT_EQ(table.out, "Name\tTel\tNotes\tField4\tField5\nAnn\t123\tfirst\tsecond\tthird\n");
    EXPECT_EQ(std::count(table.err.begin(), table.err.end(), '\n'), 1) << table.err;
    const auto cards = sh("'" + program("dbf2vcf") + "' wide.dbf");
    EXPECT_EQ(cards.code, 0);
    EXPECT_NE(cards.out.find("NOTE:first\\nsecond\\nthird\r\n"), std::string::npos) << cards.out;
    EXPECT_EQ(std::count(cards.err.begin(), cards.err.end(), '\n'), 1) << cards.err;
}

// Ids that stay the same run after run, one file a card for Outlook, a file written whole.
TEST_F(Contacts, CardsForEveryProgram) {
    spit(dir / "p.dbf", data_file_of({"Name:"}, {{"Ann"}, {"Ann"}, {"Bob/Rob"}, {""}}));
    const auto first = sh("'" + program("dbf2vcf") + "' p.dbf"), second = sh("'" + program("dbf2vcf") + "' p.dbf");
    EXPECT_EQ(first.out, second.out);
    std::set<std::string> uids;
    std::istringstream lines(first.out);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("UID:", 0) == 0)
            uids.insert(line);
    EXPECT_EQ(uids.size(), 3u) << "one card a record that holds something, each its own id";
    EXPECT_NE(first.err.find("1 empty record(s) left out"), std::string::npos);
    const auto split = sh("'" + program("dbf2vcf") + "' --split cards p.dbf");
    EXPECT_EQ(split.code, 0) << split.err;
    EXPECT_EQ(slurp(dir / "cards" / "Ann.vcf") + slurp(dir / "cards" / "Ann (2).vcf") +
                  slurp(dir / "cards" / "Bob_Rob.vcf"),
              first.out);
}
