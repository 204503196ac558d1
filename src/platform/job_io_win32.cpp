#include "platform/job_io.h"

#include "platform/job_io_shared.h"

namespace platform {

using namespace output_detail;

// The job script's redirection writes by name, so the standard output is guarded like a file the
// converter writes itself; the scratch output is the script's business.
struct output_file::impl {
    std::string path;
    std::string aside;
    bool guarded = false;
    bool committed = false;
};

output_file::output_file(const std::string& path, how h) : d(std::make_unique<impl>()) {
    d->path = path;
    d->guarded = h != how::scratch;
    if (d->guarded)
        d->aside = set_aside(path);
}

output_file::~output_file() {
    if (d->guarded && !d->committed)
        put_back(d->aside, d->path);
}

std::intptr_t output_file::handle() const {
    return -1;
}

void output_file::commit() {
    if (d->guarded && !d->committed)
        let_go(d->aside, d->path);
    d->committed = true;
}

input_file::input_file(const std::string&) {}

input_file::~input_file() = default;

std::intptr_t input_file::handle() const {
    return handle_;
}

} // namespace platform
