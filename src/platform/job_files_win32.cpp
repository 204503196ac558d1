#include "platform/job_files.h"

#include "platform/job_files_shared.h"
#include "platform/utf16_win32.h"

namespace platform {

using namespace output_detail;

namespace {

DWORD attributes_of(const std::string& path) {
    return GetFileAttributesW(wide(path).c_str());
}

void set_attributes(const std::string& path, DWORD attributes) {
    if (attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesW(wide(path).c_str(), attributes);
}

} // namespace

// The job script's redirection writes by name, so the standard output is guarded like a file the
// converter writes itself; the scratch output is the script's business.
// The earlier output waits hidden, and gets its own attributes back when it returns.
struct output_file::impl {
    std::string path;
    std::string aside;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    bool guarded = false;
    bool committed = false;
};

output_file::output_file(const std::string& path, how h) : d(std::make_unique<impl>()) {
    d->path = path;
    d->guarded = h != how::scratch;
    if (d->guarded)
        d->aside = set_aside(path);
    if (!d->aside.empty()) {
        d->attributes = attributes_of(d->aside);
        set_attributes(d->aside, d->attributes | FILE_ATTRIBUTE_HIDDEN);
    }
}

output_file::~output_file() {
    if (d->guarded && !d->committed) {
        put_back(d->aside, d->path);
        set_attributes(d->path, d->attributes);
    }
}

std::string output_file::folder() const {
    return {};
}

// The job script writes by name: there is no folder of outputs to look at.
std::vector<output_file::produced_file> output_file::produced() const {
    return {};
}

std::intptr_t output_file::handle() const {
    return -1;
}

void output_file::discard(const std::function<void()>&) {}

void output_file::commit(const std::function<void()>&) {
    if (d->guarded && !d->committed) {
        const DWORD now = attributes_of(d->path);
        if (now == INVALID_FILE_ATTRIBUTES) { // no new file: the earlier one stays, as it was
            let_go(d->aside, d->path);
            set_attributes(d->path, d->attributes);
        } else {
            set_attributes(d->aside, FILE_ATTRIBUTE_NORMAL); // a read-only file cannot be deleted
            let_go(d->aside, d->path);
            // The new output is read-only or hidden where the earlier one was.
            constexpr DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
            if (d->attributes != INVALID_FILE_ATTRIBUTES && (d->attributes & kept) != 0)
                set_attributes(d->path, now | (d->attributes & kept));
        }
    }
    d->committed = true;
}

void note_output_settings() {}

// An earlier output a killed Kivo left aside is the user's to rename back: it is kept.
bool remove_leftover(const std::string&) {
    return false;
}

input_file::input_file(const std::string&) {}

input_file::~input_file() = default;

std::intptr_t input_file::handle() const {
    return handle_;
}

} // namespace platform
