#include "recording/system_error.h"

#include <system_error>

namespace tesmora {

std::string SystemErrorText(int err) {
    return std::generic_category().message(err);
}

} // namespace tesmora
