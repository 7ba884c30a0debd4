#include "recording/convert_error.h"

namespace tesmora {

std::string ErrorTextForDisplay(const std::string& text) {
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') return text + ".";
    return text;
}

} // namespace tesmora
