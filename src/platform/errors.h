#pragma once
// The one error type of the OS layer; its message is short enough to show beside a file name.

#include <stdexcept>

namespace platform {

class os_error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace platform
