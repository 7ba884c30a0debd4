#include "settings/recent_files.h"

#include <algorithm>

namespace tesmora {
namespace {

constexpr std::string_view kSection = "Recent";

std::string FileKey(int k) {
    return "File" + std::to_string(k);
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

} // namespace

bool KeepablePath(std::string_view path) {
    // A value is one line of text, spaces around it removed when it is read back.
    if (path.empty() || path.front() == ' ' || path.back() == ' ') return false;
    return std::none_of(path.begin(), path.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

RecentFiles RecentFiles::Read(const IniFile& ini) {
    RecentFiles r;
    for (int k = 1; k <= MAX_FILES; ++k) {
        const std::optional<std::string> path = ini.ReadString(kSection, FileKey(k));
        if (!path || !KeepablePath(*path)) continue;
        if (std::find(r.files_.begin(), r.files_.end(), *path) != r.files_.end()) continue;
        r.files_.push_back(*path);
    }
    if (const std::optional<std::string> folder = ini.ReadString(kSection, "LastFolder");
        folder && KeepablePath(*folder))
        r.lastFolder_ = *folder;
    return r;
}

void RecentFiles::Write(IniFile& ini) const {
    for (int k = 1; k <= MAX_FILES; ++k) {
        const std::size_t i = static_cast<std::size_t>(k - 1);
        if (i < files_.size())
            ini.WriteString(kSection, FileKey(k), files_[i]);
        else
            ini.RemoveKey(kSection, FileKey(k));
    }
    if (lastFolder_.empty())
        ini.RemoveKey(kSection, "LastFolder");
    else
        ini.WriteString(kSection, "LastFolder", lastFolder_);
}

void RecentFiles::Add(const std::string& path) {
    if (!KeepablePath(path)) return;
    Remove(path);
    files_.insert(files_.begin(), path);
    if (files_.size() > static_cast<std::size_t>(MAX_FILES)) files_.resize(MAX_FILES);
    if (const std::string folder = FolderOf(path); KeepablePath(folder)) lastFolder_ = folder;
}

void RecentFiles::Remove(const std::string& path) {
    files_.erase(std::remove(files_.begin(), files_.end(), path), files_.end());
}

void RecentFiles::Clear() {
    files_.clear();
}

} // namespace tesmora
