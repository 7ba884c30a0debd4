#pragma once

#include <string>

namespace tesmora {

/// The system's text for an errno value ("No such file or directory").
std::string SystemErrorText(int err);

} // namespace tesmora
