#pragma once

#include <stdexcept>
#include <string>

namespace tesmora {

/// A value in a file that does not convert: a number, a date or a time.
class ConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// An error text as the application shows it: a "." appended when the code of its last
/// character lies above that of "." (so "...value" gets one, "...type)" and "...file." do not).
std::string ErrorTextForDisplay(const std::string& text);

} // namespace tesmora
