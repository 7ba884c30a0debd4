#pragma once
// A text table in a QTableWidget, as the panels show them.

#include "analysis/text_table.h"

class QTableWidget;
class QWidget;

namespace tesmora {

/// A read-only table of the panels, its rows as high as a line of text.
QTableWidget* MakeTable(QWidget* parent, const char* name);

/// Shows the table: cells from column firstNumber on are numbers, right-aligned and with the
/// locale's decimal point. The cells are kept while only their texts change (a marker being
/// dragged), and the columns fit their contents when the table changes its shape (a header
/// changes only with it).
void ShowTextTable(QTableWidget& widget, const TextTable& table, int firstNumber);

} // namespace tesmora
