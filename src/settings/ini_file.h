#pragma once
// A settings file of the INI kind, edited in place: a write changes one value and keeps every
// other line of the file as it was, comments and unknown keys included.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tesmora {

class IniFile {
public:
    IniFile() = default;
    /// Parses the text of a file; any text is accepted.
    explicit IniFile(std::string_view text);

    /// The value of a key, spaces around it removed; section and key match without regard to case.
    std::optional<std::string> ReadString(std::string_view section, std::string_view key) const;
    /// A decimal integer, or hexadecimal after "0x"; the default when missing or malformed.
    int ReadInteger(std::string_view section, std::string_view key, int def) const;
    /// True for a non-zero integer; the default when missing or malformed.
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;

    /// Replaces the key's value in place; a new key goes to the end of its section, a new
    /// section to the end of the file.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view key, int value);
    void WriteBool(std::string_view section, std::string_view key, bool value);
    /// Removes the key's line, if there is one; every other line stays.
    void RemoveKey(std::string_view section, std::string_view key);

    /// The file's text: the lines read, as they were, and the lines written, with the line
    /// ends the file has ("\n" for a new file).
    std::string Text() const;

private:
    std::string NewLine(std::string text) const;
    // Index of the section's header line, or -1.
    int FindSection(std::string_view section) const;
    // Index of the key's line inside the section that starts at `header`, or -1.
    int FindKey(int header, std::string_view key) const;

    std::vector<std::string> lines_;
    bool crlf_ = false; // the file ends its lines with CR LF
    bool finalEol_ = true;
};

} // namespace tesmora
