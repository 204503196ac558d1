// dbf2vcf [-o FILE.vcf | --split FOLDER] FILE.dbf: the organiser's Data file (an address book) as
// vCards 3.0 (RFC 2426) that any contacts program imports: one card a record, in file order. Fields
// whose labels say what they hold become names, phones, e-mail, one address, a company or a birthday;
// every other non-empty field goes into the note, so nothing is lost.

#include "calendar.h"
#include "content_lines.h"
#include "data_file.h"
#include "dbf.h"
#include "fields.h"
#include "kconv.h"
#include "output_set.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <map>
#include <set>

using namespace kconv;

namespace {

const char* const usage = "usage: dbf2vcf [-o FILE.vcf | --split FOLDER] FILE.dbf\n"
                          "Writes the organiser Data file as vCards (for Google Contacts, Apple Contacts,\n"
                          "Outlook, phones) on standard output, into FILE.vcf with -o, or one file a card\n"
                          "into FOLDER with --split (Outlook imports the first card of a file only).\n";

// What a field holds, as its label says.
enum class role {
    name,
    family,
    given,
    phone,
    email,
    street,
    locality,
    region,
    postcode,
    country,
    org,
    birthday,
    note,
    other
};

struct field_role {
    role what = role::other;
    std::string phone_type; // for a phone: HOME, WORK, FAX, CELL or VOICE
};

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The label's words, lower case, without what joins them ("E-mail" is "e mail").
std::vector<std::string> words_of(const std::string& label) {
    std::vector<std::string> words(1);
    for (char c : lower(label)) {
        if (std::isalpha(static_cast<unsigned char>(c)) || static_cast<unsigned char>(c) >= 0x80)
            words.back() += c;
        else if (!words.back().empty())
            words.emplace_back();
    }
    if (words.back().empty())
        words.pop_back();
    return words;
}

std::string phone_type(const std::set<std::string>& w) {
    if (w.count("fax"))
        return "FAX";
    if (w.count("mobile") || w.count("mble") || w.count("mob") || w.count("cell"))
        return "CELL";
    if (w.count("home"))
        return "HOME";
    if (w.count("work") || w.count("office") || w.count("business"))
        return "WORK";
    return "VOICE";
}

field_role role_of(const data_label& label) {
    const auto list = words_of(label.text);
    const std::set<std::string> w(list.begin(), list.end());
    std::string joined;
    for (const auto& word : list)
        joined += word;
    const auto is = [&joined](std::initializer_list<const char*> names) {
        return std::any_of(names.begin(), names.end(), [&joined](const char* n) { return joined == n; });
    };
    if (is({"name", "fullname"}))
        return {role::name, {}};
    if (is({"surname", "lastname", "familyname"}))
        return {role::family, {}};
    if (is({"firstname", "givenname", "forename", "forenames", "christianname"}))
        return {role::given, {}};
    if (is({"email", "emailaddress"}))
        return {role::email, {}};
    if (w.count("address") || w.count("addr") || is({"street"}))
        return {role::street, {}};
    if (is({"town", "city"}))
        return {role::locality, {}};
    if (is({"county", "state", "province", "region"}))
        return {role::region, {}};
    if (is({"postcode", "zip", "zipcode", "postalcode"}))
        return {role::postcode, {}};
    if (is({"country"}))
        return {role::country, {}};
    if (is({"company", "organisation", "organization", "firm", "employer"}))
        return {role::org, {}};
    if (is({"birthday", "born", "dateofbirth", "dob", "birthdate"}))
        return {role::birthday, {}};
    if (is({"notes", "note", "remarks", "remark", "comment", "comments", "memo"}))
        return {role::note, {}};
    const bool phone_word = w.count("tel") || w.count("telephone") || w.count("phone") || w.count("ph");
    const bool alone =
        list.size() == 1 && is({"home", "work", "office", "business", "mobile", "mble", "mob", "cell", "fax"});
    if (label.phone || phone_word || alone)
        return {role::phone, phone_type(w)};
    return {role::other, {}};
}

// What each field holds: a field without a label goes on with the address or note before it.
std::vector<field_role> roles_of(const data_file& d, std::size_t fields) {
    std::vector<field_role> roles;
    for (std::size_t i = 0; i < fields; ++i) {
        const bool labelled = i < d.labels.size() && !d.labels[i].text.empty();
        field_role r = labelled ? role_of(d.labels[i]) : field_role{};
        if (!labelled && i > 0 && (roles.back().what == role::street || roles.back().what == role::note))
            r = roles.back();
        else if (!labelled && i > 0 && roles.back().what >= role::locality && roles.back().what <= role::country)
            r.what = role::street; // an address typed over labelled lines, then more
        roles.push_back(r);
    }
    return roles;
}

// ---- a birthday, when its text reads as one date and one only

int month_named(const std::string& word) {
    static const char* const months[] = {"january", "february", "march",     "april",   "may",      "june",
                                         "july",    "august",   "september", "october", "november", "december"};
    const std::string w = lower(word);
    for (int m = 0; m < 12; ++m)
        if (w.size() >= 3 && std::string(months[m]).compare(0, w.size(), w) == 0)
            return m + 1;
    return 0;
}

std::string valid_date(long year, long month, long day) {
    if (year < 1000 || year > 2100 || month < 1 || month > 12 || day < 1 || day > days_in_month(year, int(month)))
        return {};
    return iso_date(days_from_civil(year, int(month), int(day)));
}

std::string birthday(const std::string& text) {
    std::vector<std::string> parts(1); // numbers and words, in order
    for (char c : text) {
        const bool digit = std::isdigit(static_cast<unsigned char>(c)) != 0;
        const bool letter = std::isalpha(static_cast<unsigned char>(c)) != 0;
        if ((digit || letter) && !parts.back().empty() &&
            (std::isdigit(static_cast<unsigned char>(parts.back().back())) != 0) != digit)
            parts.emplace_back();
        if (digit || letter)
            parts.back() += c;
        else if (!parts.back().empty())
            parts.emplace_back();
    }
    if (parts.back().empty())
        parts.pop_back();
    // 1st, 2nd, 3rd, 4th: the number alone
    parts.erase(std::remove_if(parts.begin(), parts.end(),
                               [](const std::string& p) { return p == "st" || p == "nd" || p == "rd" || p == "th"; }),
                parts.end());
    if (parts.size() != 3)
        return {};
    const auto number = [](const std::string& p) {
        return !p.empty() && std::isdigit(static_cast<unsigned char>(p[0])) ? std::stol(p.substr(0, 6)) : -1;
    };
    const long a = number(parts[0]), b = number(parts[1]), c = number(parts[2]);
    if (parts[0].size() == 4 && a >= 0 && b >= 0 && c >= 0)
        return valid_date(a, b, c); // 1961-03-12
    if (c < 0 || parts[2].size() != 4)
        return {};
    if (a >= 0 && b >= 0) { // day and month either way round: only where one of them cannot be a month
        if (a == b || b > 12)
            return valid_date(c, a, b);
        return a > 12 ? valid_date(c, b, a) : std::string();
    }
    if (a >= 0 && month_named(parts[1]))
        return valid_date(c, month_named(parts[1]), a); // 12 March 1961
    if (b >= 0 && month_named(parts[0]))
        return valid_date(c, month_named(parts[0]), b); // March 12, 1961
    return {};
}

// ---- one card

struct card {
    std::string fn, family, given, org, bday;
    std::vector<std::pair<std::string, std::string>> phones; // type, number
    std::vector<std::string> emails, street, note;
    std::array<std::string, 4> place; // locality, region, postal code, country
};

card card_of(const std::vector<std::string>& record, const data_file& d, const std::vector<field_role>& roles) {
    card c;
    std::string first_text;
    for (std::size_t i = 0; i < record.size(); ++i) {
        const std::string& value = record[i];
        if (value.empty())
            continue;
        const std::string line = one_line(value);
        if (first_text.empty())
            first_text = line;
        const std::string label =
            i < d.labels.size() && !d.labels[i].text.empty() ? d.labels[i].text : "Field" + std::to_string(i + 1);
        switch (roles[i].what) {
        case role::name:
            c.fn = c.fn.empty() ? line : c.fn;
            break;
        case role::family:
            c.family = line;
            break;
        case role::given:
            c.given = line;
            break;
        case role::phone:
            c.phones.emplace_back(roles[i].phone_type, line);
            break;
        case role::email:
            c.emails.push_back(line);
            break;
        case role::street:
            c.street.push_back(value);
            break;
        case role::locality:
        case role::region:
        case role::postcode:
        case role::country:
            c.place[static_cast<std::size_t>(roles[i].what) - static_cast<std::size_t>(role::locality)] = line;
            break;
        case role::org:
            c.org = line;
            break;
        case role::birthday:
            c.bday = birthday(line);
            if (c.bday.empty())
                c.note.push_back(label + ": " + value);
            break;
        case role::note:
            c.note.push_back(value);
            break;
        case role::other:
            c.note.push_back(label + ": " + value);
            break;
        }
    }
    if (c.fn.empty())
        c.fn = !c.given.empty() || !c.family.empty() ? one_line(c.given + " " + c.family) : first_text;
    c.fn.erase(0, c.fn.find_first_not_of(' '));
    c.fn.erase(c.fn.find_last_not_of(' ') + 1);
    return c;
}

std::string joined_lines(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines)
        out += (out.empty() ? "" : "\n") + l;
    return out;
}

std::string vcard(const card& c, const std::string& uid) {
    content_lines lines;
    lines.add("BEGIN:VCARD");
    lines.add("VERSION:3.0");
    lines.add("UID:" + uid);
    lines.add("FN:" + escaped_text(c.fn));
    // Only labels split a name; a name they do not split is the given name, so every program shows it whole.
    const bool split = !c.family.empty() || !c.given.empty();
    lines.add("N:" + escaped_text(split ? c.family : "") + ";" + escaped_text(split ? c.given : c.fn) + ";;;");
    if (!c.org.empty())
        lines.add("ORG:" + escaped_text(c.org));
    for (const auto& [type, number] : c.phones)
        lines.add("TEL;TYPE=" + type + ":" + escaped_text(number));
    for (const auto& email : c.emails)
        lines.add("EMAIL;TYPE=INTERNET:" + escaped_text(email));
    const bool place = std::any_of(c.place.begin(), c.place.end(), [](const std::string& p) { return !p.empty(); });
    if (!c.street.empty() || place)
        lines.add("ADR:;;" + escaped_text(joined_lines(c.street)) + ";" + escaped_text(c.place[0]) + ";" +
                  escaped_text(c.place[1]) + ";" + escaped_text(c.place[2]) + ";" + escaped_text(c.place[3]));
    if (!c.bday.empty())
        lines.add("BDAY:" + c.bday);
    if (!c.note.empty())
        lines.add("NOTE:" + escaped_text(joined_lines(c.note)));
    lines.add("END:VCARD");
    return lines.text();
}

// A card's file name in --split: its name without what file systems refuse, once in the folder.
std::string file_name_for(const std::string& fn, std::set<std::string>& taken) {
    std::string name;
    for (char c : fn)
        name += std::string("/\\:*?\"<>|").find(c) != std::string::npos || static_cast<unsigned char>(c) < 32 ? '_' : c;
    while (!name.empty() && (name.back() == '.' || name.back() == ' '))
        name.pop_back();
    if (name.size() > 100) {
        name.resize(100);
        while (!name.empty() && (static_cast<unsigned char>(name.back()) & 0xC0) == 0x80)
            name.pop_back();
        if (!name.empty() && static_cast<unsigned char>(name.back()) >= 0xC0)
            name.pop_back();
    }
    if (name.empty() || name.front() == '.')
        name = "contact" + name;
    std::string unique = name;
    for (int n = 2; taken.count(lower(unique)); ++n)
        unique = name + " (" + std::to_string(n) + ")";
    taken.insert(lower(unique));
    return unique + ".vcf";
}

struct options {
    std::string input, output, split;
};

void convert(const options& o) {
    const data_file d =
        read_data_file(read_organiser_file(o.input, signature({dbf_signature, sizeof dbf_signature}, "a Data file")));
    std::size_t widest = 0;
    for (const auto& r : d.records)
        widest = std::max(widest, r.size());
    const auto roles = roles_of(d, widest);
    std::vector<std::pair<std::string, std::string>> cards; // name, text
    std::map<std::string, int> seen;
    std::size_t empty = 0;
    for (const auto& record : d.records) {
        if (std::all_of(record.begin(), record.end(), [](const std::string& f) { return f.empty(); })) {
            ++empty;
            continue;
        }
        const card c = card_of(record, d, roles);
        const int n = ++seen[c.fn];
        const std::string uid = stable_id("dbf|" + c.fn) + (n > 1 ? "-" + std::to_string(n) : "") + "@dbf2vcf.kivo";
        cards.emplace_back(c.fn, vcard(c, uid));
    }
    if (empty > 0)
        warn(std::to_string(empty) + " empty record(s) left out");
    if (o.split.empty()) {
        std::string text;
        for (const auto& card : cards)
            text += card.second;
        write_result(o.input, o.output, text);
        return;
    }
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::u8path(o.split), ec);
    output_set set(o.input);
    std::set<std::string> taken;
    std::vector<std::size_t> files;
    for (const auto& card : cards)
        files.push_back(set.add(
            (std::filesystem::u8path(o.split) / std::filesystem::u8path(file_name_for(card.first, taken))).u8string()));
    for (std::size_t i = 0; i < cards.size(); ++i)
        set.write(files[i], reinterpret_cast<const std::uint8_t*>(cards[i].second.data()), cards[i].second.size());
    set.commit();
}

} // namespace

int main(int argc, char** argv) {
    const std::string first = argc > 1 ? argv[1] : "";
    const bool named = first == "-o" || first == "--split";
    if (const int done = standard_call("dbf2vcf", usage, argc, argv, argc == (named ? 4 : 2)); done >= 0)
        return done;
    options o;
    o.input = argv[argc - 1];
    (first == "-o" ? o.output : o.split) = named ? argv[2] : "";
    return run("dbf2vcf", o.input, [&] { convert(o); });
}
