#pragma once
// Letter case of ASCII text, whatever the locale: the file formats' keywords and extensions
// are ASCII, and a Turkish "I" must not change what a file is.

#include <string>
#include <string_view>

namespace tesmora {

constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

/// True when a and b differ at most in the case of ASCII letters.
constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

} // namespace tesmora
