#include "fields.h"

#include "calendar.h"
#include "cp850.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kconv {

std::string field_text(const std::uint8_t* data, std::size_t size, int dropped) {
    return one_line(organiser_text(data, size, -1, dropped));
}

std::string organiser_text(const std::uint8_t* data, std::size_t size, int line_break, int dropped) {
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = data[i];
        if (b == dropped || (b == '\r' && i + 1 < size && data[i + 1] == '\n'))
            continue;
        if (b == '\r' || b == '\n' || b == line_break)
            out += '\n';
        else if (b == '\t')
            out += '\t';
        else
            out += b < 32 ? std::string(" ") : cp850_to_utf8(b);
    }
    return out;
}

std::string one_line(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\t')
            c = ' ';
    return text;
}

// The shortest exact digits (to_chars) d1...dk and the power n with value = 0.d1...dk x 10^n, spelt
// as JavaScript spells a number: plain decimals for 1e-6 <= |x| < 1e21, the exponent form beyond.
std::string shortest_number(double value) {
    if (!std::isfinite(value)) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%g", value);
        return buffer;
    }
    const std::string sign = std::signbit(value) ? "-" : "";
    char buffer[64];
    const char* end =
        std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific).ptr;
    const std::string text(static_cast<const char*>(buffer), end);
    const auto e = text.find('e');
    std::string digits = text.substr(0, e);
    digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
    const int k = static_cast<int>(digits.size());
    const int n = std::atoi(text.c_str() + e + 1) + 1;
    if (value == 0)
        return sign + "0";
    if (k <= n && n <= 21)
        return sign + digits + std::string(static_cast<std::size_t>(n - k), '0');
    if (0 < n && n <= 21)
        return sign + digits.substr(0, static_cast<std::size_t>(n)) + "." + digits.substr(static_cast<std::size_t>(n));
    if (-6 < n && n <= 0)
        return sign + "0." + std::string(static_cast<std::size_t>(-n), '0') + digits;
    const std::string mantissa = k == 1 ? digits : digits.substr(0, 1) + "." + digits.substr(1);
    return sign + mantissa + "e" + (n - 1 < 0 ? "-" : "+") + std::to_string(std::abs(n - 1));
}

std::string iso_date(std::int64_t day) {
    const civil_date c = civil_from_days(day);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04lld-%02d-%02d", static_cast<long long>(c.year), c.month, c.day);
    return buffer;
}

std::string clock_time(std::int64_t minutes) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%02lld:%02lld", static_cast<long long>(minutes / 60),
                  static_cast<long long>(minutes % 60));
    return buffer;
}

double get_real(const bytes& data, std::size_t at) {
    const std::uint64_t bits = get32(data, at) | std::uint64_t{get32(data, at + 4)} << 32;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

bool tsv_reader::more() {
    if (ended_)
        return false;
    block_.resize(1 << 16);
    const std::size_t n = std::fread(block_.data(), 1, block_.size(), stdin);
    block_.resize(n);
    at_ = 0;
    if (!started_ && n > 0) {
        started_ = true;
        if (block_.compare(0, 3, "\xEF\xBB\xBF") == 0)
            at_ = 3;
    }
    ended_ = n == 0;
    if (std::ferror(stdin))
        throw error("cannot read standard input");
    return n > 0;
}

bool tsv_reader::next(std::vector<std::string>& fields) {
    fields.clear();
    if (at_ >= block_.size() && !more())
        return false;
    std::string field;
    std::size_t count = 1;
    bool cut = false, beyond = false; // beyond: a field past `widest` with something in it
    const auto end_field = [&](bool last) {
        if (last && !field.empty() && field.back() == '\r')
            field.pop_back(); // CR LF ends the line
        if (cut || field.size() > longest_) {
            ++shortened;
            field.resize(std::min(field.size(), longest_));
            while (!field.empty() && (static_cast<unsigned char>(field.back()) & 0xC0) == 0x80)
                field.pop_back(); // the rest of a character that did not fit
            if (!field.empty() && static_cast<unsigned char>(field.back()) >= 0xC0)
                field.pop_back();
        }
        if (count <= widest_)
            fields.push_back(std::move(field));
        else if (beyond)
            ++dropped;
        field.clear();
        cut = beyond = false;
    };
    for (;;) {
        if (at_ >= block_.size() && !more())
            break;
        const char c = block_[at_++];
        if (c == '\n')
            break;
        if (c == '\t') {
            end_field(false);
            ++count;
            continue;
        }
        if (count > widest_) {
            beyond = beyond || c != '\r';
            continue;
        }
        if (field.size() < longest_ + 1) // one byte more: a CR before the line's end, or a cut
            field += c;
        else
            cut = true;
    }
    end_field(true);
    widest_seen = std::max(widest_seen, count);
    return true;
}

spill_buffer::~spill_buffer() {
    if (file_)
        std::fclose(file_);
}

void spill_buffer::append(const char* data, std::size_t size) {
    if (!file_ && held_.size() + size <= memory_limit_) {
        held_.append(data, size);
        return;
    }
    if (!file_) {
        file_ = std::tmpfile();
        if (!file_ || std::fwrite(held_.data(), 1, held_.size(), file_) != held_.size())
            throw error("cannot write a temporary file");
        held_.clear();
        held_.shrink_to_fit();
    }
    if (std::fwrite(data, 1, size, file_) != size)
        throw error("cannot write a temporary file");
}

void spill_buffer::drain(const std::function<void(const char*, std::size_t)>& block) {
    if (!file_) {
        if (!held_.empty())
            block(held_.data(), held_.size());
        held_.clear();
        return;
    }
    if (std::fflush(file_) != 0)
        throw error("cannot write a temporary file");
    std::rewind(file_);
    std::string buffer(1 << 16, '\0');
    for (std::size_t n; (n = std::fread(&buffer[0], 1, buffer.size(), file_)) > 0;)
        block(buffer.data(), n);
    std::fclose(file_);
    file_ = nullptr;
}

void spooled_output::finish() {
    spill_.drain([](const char* data, std::size_t size) {
        if (std::fwrite(data, 1, size, stdout) != size)
            throw error("cannot write the output");
    });
    if (std::fflush(stdout) != 0)
        throw error("cannot write the output");
}

void flush_when_large(std::string& out) {
    if (out.size() > (1u << 16)) {
        write_stdout(out);
        out.clear();
    }
}

} // namespace kconv
