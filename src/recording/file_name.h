#pragma once
// File names taken apart as the program's commands see them.

#include <string>
#include <string_view>

namespace tesmora {

/// The extension of a path with its dot: the text from the last "." of the last path
/// component, or empty when that component has none (".bashrc" counts as an extension).
constexpr std::string_view FileExtension(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    return path.substr(dot);
}

/// The path with its extension replaced by ext (which carries its dot), or ext appended.
inline std::string WithExtension(std::string_view path, std::string_view ext) {
    std::string out(path.substr(0, path.size() - FileExtension(path).size()));
    out += ext;
    return out;
}

} // namespace tesmora
