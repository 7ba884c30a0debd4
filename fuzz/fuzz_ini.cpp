// Any text as a settings file: read, change a key, write, read again. Every other line stays.

#include "fuzz_common.h"
#include "settings/ini_file.h"

#include <string>
#include <vector>

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tesmora;
    const std::string text(reinterpret_cast<const char*>(data), size);
    IniFile ini(text);
    for (const char* key : {"Top", "Left", "Width", "Height"}) ini.ReadInteger("Form", key, -1);
    for (const char* key : {"Check1", "Check4"}) ini.ReadBool("Settings", key, true);
    const int amp = ini.ReadInteger("Settings", "Amp", 1);
    ini.WriteInteger("Settings", "Amp", 4);
    ini.WriteBool("Settings", "Check2", true);
    ini.WriteInteger("Form", "Top", -7);
    const IniFile again(ini.Text());
    if (again.ReadInteger("Settings", "Amp", 1) != 4) fuzz::Fail("written key does not read back");
    if (again.ReadInteger("Form", "Top", 0) != -7) fuzz::Fail("written key does not read back");
    if (!again.ReadBool("Settings", "Check2", false)) fuzz::Fail("written key does not read back");
    (void)amp;
    // The file as before, but for the written keys' lines replaced in place and the keys and
    // sections added: every other line is still there, in order.
    const std::vector<std::string> before = Lines(text), after = Lines(ini.Text());
    auto added = [](const std::string& l) {
        return l == "Amp=4" || l == "Check2=1" || l == "Top=-7" || l == "[Settings]" ||
               l == "[Form]";
    };
    auto written = [](std::string l) {
        for (char& c : l) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        const std::size_t start = l.find_first_not_of(" \t\r");
        if (start == std::string::npos) return false;
        l = l.substr(start);
        for (const char* key : {"amp", "check2", "top"}) {
            const std::size_t n = std::string(key).size();
            if (l.compare(0, n, key) == 0) {
                const std::size_t eq = l.find_first_not_of(" \t\r", n);
                if (eq != std::string::npos && l[eq] == '=') return true;
            }
        }
        return false;
    };
    std::size_t k = 0;
    for (const std::string& line : before) {
        if (k < after.size() && after[k] == line) {
            ++k;
            continue;
        }
        if (written(line) && k < after.size() && added(after[k])) { // replaced where it stood
            ++k;
            continue;
        }
        while (k < after.size() && added(after[k]) && after[k] != line) ++k; // keys added
        if (k < after.size() && after[k] == line) {
            ++k;
            continue;
        }
        fuzz::Fail("a line of the file was lost");
    }
    return 0;
}
