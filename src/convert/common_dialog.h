#pragma once
// The open-file dialog as the engine drives it: properties set, then ShowOpen.

#include <cstdint>
#include <string>

namespace mod_convert {

constexpr std::int32_t OFN_ALLOWMULTISELECT = 0x200;
constexpr std::int32_t OFN_EXPLORER = 0x80000;

class common_dialog {
public:
    virtual ~common_dialog() = default;

    // One pick: its full path. Several: the directory, then a NUL and a name for each file.
    // Left unchanged when the user cancels.
    std::string FileName;
    std::int32_t Flags = 0;
    std::string Filter; // "description|pattern|description|pattern..."
    std::int16_t FilterIndex = 1;
    std::string DialogTitle;

    virtual void ShowOpen() = 0;
};

} // namespace mod_convert
