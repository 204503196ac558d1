#include "convert/state.h"

namespace mod_convert {

module_state& state() {
    static module_state instance;
    return instance;
}

} // namespace mod_convert
