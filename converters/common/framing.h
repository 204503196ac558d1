#pragma once
// The record framing that Data and Agenda files share: a word whose bits 0-11 are the data part's
// length and bits 12-15 the record's type, then the data part.

#include "kconv.h"

#include <string>
#include <vector>

namespace kconv {

struct framed_record {
    unsigned type;
    std::size_t frame, at, size; // the frame word's offset; the data part
};

// Every record from offset `first` to the end of the file, each checked against the file's size.
std::vector<framed_record> framed_records(const bytes& file, std::size_t first);

// A record's fields, each checked against the record's end.
class record_reader {
public:
    record_reader(const bytes& file, const framed_record& r) : file_(file), end_(r.at + r.size), at_(r.at) {}
    std::uint8_t byte_at(std::size_t offset) const { return file_[need(offset, 1)]; }
    std::uint16_t word_at(std::size_t offset) const { return get16(file_, need(offset, 2)); }
    std::uint32_t long_at(std::size_t offset) const { return get32(file_, need(offset, 4)); }
    // A qstr's bytes at `offset` (checked); `next` is set to the offset after it.
    const std::uint8_t* qstr_at(std::size_t offset, std::size_t& length, std::size_t& next) const {
        length = byte_at(offset);
        need(offset + 1, length);
        next = offset + 1 + length;
        return data(offset + 1);
    }
    std::size_t size() const { return end_ - at_; }
    const std::uint8_t* data(std::size_t offset) const { return file_.data() + at_ + offset; }

private:
    std::size_t need(std::size_t offset, std::size_t n) const {
        if (at_ + offset + n > end_)
            throw error("a record is too short for what it holds");
        return at_ + offset;
    }
    const bytes& file_;
    std::size_t end_, at_;
};

} // namespace kconv
