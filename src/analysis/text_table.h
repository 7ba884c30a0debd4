#pragma once
// Tables of texts as the panels show them and the files hold them: numbers written with "."
// (a panel shows the user's decimal point instead), copied tab-separated, exported as CSV.

#include <optional>
#include <string>
#include <vector>

namespace tesmora {

struct TextTable {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
};

/// The shortest text that reads back to the same double; empty for none (and for a value
/// that is not finite).
std::string ShortestNumber(std::optional<double> v);

/// printf's "%.Nf" of v; "-" for none.
std::string FixedNumber(std::optional<double> v, int decimals);

/// One CSV line: cells holding a comma, a quote or a line break quoted, "\r\n" at the end.
std::string CsvLine(const std::vector<std::string>& cells);

/// The table as text: cells joined by `separator`, one line per row, the header first. With
/// ',' it is CSV (see CsvLine); otherwise the cells go as they are, lines ending in '\n'.
std::string TableText(const TextTable& table, char separator);

} // namespace tesmora
