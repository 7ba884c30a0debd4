#include "analysis/text_table.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace tesmora {

std::string ShortestNumber(std::optional<double> v) {
    if (!v || !std::isfinite(*v)) return {};
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, *v); // shortest round trip
    return std::string(text, r.ptr);
}

std::string FixedNumber(std::optional<double> v, int decimals) {
    if (!v) return "-";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, *v);
    return text;
}

std::string CsvLine(const std::vector<std::string>& cells) {
    std::string out;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i) out += ',';
        const std::string& s = cells[i];
        if (s.find_first_of(",\"\r\n") == std::string::npos) {
            out += s;
            continue;
        }
        out += '"';
        for (const char c : s) {
            if (c == '"') out += '"';
            out += c;
        }
        out += '"';
    }
    return out + "\r\n";
}

std::string TableText(const TextTable& table, char separator) {
    if (separator == ',') {
        std::string out = CsvLine(table.header);
        for (const auto& r : table.rows) out += CsvLine(r);
        return out;
    }
    std::string out;
    auto line = [&](const std::vector<std::string>& cells) {
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (i) out += separator;
            out += cells[i];
        }
        out += '\n';
    };
    line(table.header);
    for (const auto& r : table.rows) line(r);
    return out;
}

} // namespace tesmora
