#pragma once
// The "Measurements" panel: the markers, the statistics between them, and the notes.

#include "analysis/measurement_table.h"
#include "analysis/notes.h"

#include <QDockWidget>
#include <functional>

class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace tesmora {

class MeasurementsPanel : public QDockWidget {
    Q_OBJECT
public:
    explicit MeasurementsPanel(QWidget* parent);

    /// Shows a table (numbers with the locale's decimal point); an empty one says how to set
    /// markers.
    void ShowTable(const MeasurementTable& table);
    /// Lists the notes with their clock times.
    void ShowNotes(const std::vector<Note>& notes, const std::vector<QString>& times);

    std::function<void()> onCopy, onExport;
    /// A note double-clicked, to be edited, to be deleted: its position in the list.
    std::function<void(int)> onGoToNote, onEditNote, onDeleteNote;

private:
    int SelectedNote() const;

    QLabel* summary_;
    QTableWidget* table_;
    QListWidget* notes_;
    QPushButton *copy_, *export_, *edit_, *delete_;
};

} // namespace tesmora
