#include "settings/ini_file.h"

#include "csv/conversions.h"
#include "recording/ascii.h"
#include "recording/convert_error.h"

namespace tesmora {
namespace {

// Lines keep their carriage returns, so that a line written back is the line that was read.
bool Blank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && Blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && Blank(s.back())) s.remove_suffix(1);
    return s;
}

// The name of a section header line "[name]", or nothing.
std::optional<std::string_view> SectionName(std::string_view line) {
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[') return std::nullopt;
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(line.substr(1, close - 1));
}

// The key of a "key=value" line, or nothing for comments and other lines.
std::optional<std::string_view> KeyName(std::string_view line) {
    const std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';' || t.front() == '#' || t.front() == '[') return std::nullopt;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return Trim(line.substr(0, eq));
}

} // namespace

IniFile::IniFile(std::string_view text) {
    crlf_ = text.find("\r\n") != std::string_view::npos;
    finalEol_ = text.empty() || text.back() == '\n';
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        lines_.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
}

std::string IniFile::NewLine(std::string text) const {
    if (crlf_) text.push_back('\r'); // lines of this file end so
    return text;
}

int IniFile::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (const auto name = SectionName(lines_[i]);
            name && EqualsIgnoringAsciiCase(*name, section))
            return static_cast<int>(i);
    return -1;
}

int IniFile::FindKey(int header, std::string_view key) const {
    for (std::size_t i = static_cast<std::size_t>(header) + 1; i < lines_.size(); ++i) {
        if (SectionName(lines_[i])) break;
        if (const auto name = KeyName(lines_[i]); name && EqualsIgnoringAsciiCase(*name, key))
            return static_cast<int>(i);
    }
    return -1;
}

std::optional<std::string> IniFile::ReadString(std::string_view section,
                                               std::string_view key) const {
    const int header = FindSection(section);
    if (header < 0) return std::nullopt;
    const int at = FindKey(header, key);
    if (at < 0) return std::nullopt;
    const std::string& line = lines_[static_cast<std::size_t>(at)];
    return std::string(Trim(std::string_view(line).substr(line.find('=') + 1)));
}

int IniFile::ReadInteger(std::string_view section, std::string_view key, int def) const {
    std::optional<std::string> text = ReadString(section, key);
    if (!text) return def;
    if (text->size() > 2 && (*text)[0] == '0' && ((*text)[1] == 'x' || (*text)[1] == 'X'))
        text->replace(0, 2, "$");
    try {
        return ConvertInteger(*text);
    } catch (const ConvertError&) {
        return def;
    }
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    const std::string line = NewLine(std::string(key) + "=" + std::string(value));
    int header = FindSection(section);
    if (header < 0) {
        std::string head(1, '[');
        head.append(section).push_back(']');
        lines_.push_back(NewLine(std::move(head)));
        lines_.push_back(line);
        return;
    }
    if (const int at = FindKey(header, key); at >= 0) {
        lines_[static_cast<std::size_t>(at)] = line;
        return;
    }
    // After the section's last key line (blank lines and comments that follow it stay below).
    std::size_t insert = static_cast<std::size_t>(header) + 1;
    for (std::size_t i = insert; i < lines_.size() && !SectionName(lines_[i]); ++i)
        if (KeyName(lines_[i])) insert = i + 1;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insert), line);
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
    WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void IniFile::RemoveKey(std::string_view section, std::string_view key) {
    const int header = FindSection(section);
    if (header < 0) return;
    if (const int at = FindKey(header, key); at >= 0)
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(at));
}

std::string IniFile::Text() const {
    std::string out;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        out += lines_[i];
        if (i + 1 < lines_.size() || finalEol_) out += '\n';
    }
    return out;
}

} // namespace tesmora
