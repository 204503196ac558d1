#pragma once
// A file dialog that answers ShowOpen with a fixed text, or leaves FileName alone (a cancel).

#include "convert/common_dialog.h"

#include <optional>
#include <string>

namespace kivo_test {

class scripted_dialog : public mod_convert::common_dialog {
public:
    std::optional<std::string> answer;
    int shown = 0;
    void ShowOpen() override {
        ++shown;
        if (answer)
            FileName = *answer;
    }
};

} // namespace kivo_test
