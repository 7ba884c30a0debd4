#include "app/table_view.h"

#include "chart/painter.h"

#include <QHeaderView>
#include <QTableWidget>

namespace tesmora {

QTableWidget* MakeTable(QWidget* parent, const char* name) {
    auto* table = new QTableWidget(parent);
    table->setObjectName(name);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->verticalHeader()->setMinimumSectionSize(1);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    return table;
}

void ShowTextTable(QTableWidget& widget, const TextTable& table, int firstNumber) {
    const int rows = static_cast<int>(table.rows.size());
    const int columns = static_cast<int>(table.header.size());
    const bool reshaped = rows != widget.rowCount() || columns != widget.columnCount();
    if (reshaped) {
        widget.clear();
        widget.setColumnCount(columns);
        widget.setRowCount(rows);
        QStringList header;
        for (const std::string& h : table.header) header << QString::fromStdString(h);
        widget.setHorizontalHeaderLabels(header);
    }
    for (int r = 0; r < rows; ++r) {
        const std::vector<std::string>& cells = table.rows[static_cast<std::size_t>(r)];
        for (int c = 0; c < columns; ++c) {
            const std::string cell = static_cast<std::size_t>(c) < cells.size()
                                         ? cells[static_cast<std::size_t>(c)]
                                         : std::string();
            // Numbers take the user's decimal point on the screen; the copy and the file not.
            const QString text = c >= firstNumber
                                     ? WithLocaleDecimalPoint(QString::fromStdString(cell))
                                     : QString::fromStdString(cell);
            QTableWidgetItem* item = widget.item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                if (c >= firstNumber) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                widget.setItem(r, c, item);
            }
            if (item->text() != text) item->setText(text);
        }
    }
    if (reshaped) widget.resizeColumnsToContents();
}

} // namespace tesmora
