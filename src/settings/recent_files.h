#pragma once
// The recordings opened last, most recent first, kept in the settings file in a section of
// their own ("[Recent]": File1..File8, and the folder the open dialog starts in).

#include "settings/ini_file.h"

#include <string>
#include <string_view>
#include <vector>

namespace tesmora {

class RecentFiles {
public:
    static constexpr int MAX_FILES = 8;

    /// The list as the settings file holds it: File1..File8 in that order; entries that are
    /// empty, hold control characters or repeat an earlier one are left out.
    static RecentFiles Read(const IniFile& ini);
    /// Writes the section in place: File1..FileN, the keys of a longer list removed.
    void Write(IniFile& ini) const;

    /// The file opened now goes first (once); the folder it lies in becomes the last folder.
    /// A path that the settings file cannot hold (a line break in it) is not kept.
    void Add(const std::string& path);
    void Remove(const std::string& path);
    void Clear();

    const std::vector<std::string>& Files() const { return files_; }
    const std::string& LastFolder() const { return lastFolder_; }

private:
    std::vector<std::string> files_;
    std::string lastFolder_;
};

/// True when a path can be kept in the settings file: not empty, no control characters.
bool KeepablePath(std::string_view path);

} // namespace tesmora
