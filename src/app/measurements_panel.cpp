#include "app/measurements_panel.h"

#include "app/table_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tesmora {

MeasurementsPanel::MeasurementsPanel(QWidget* parent) : QDockWidget("Measurements", parent) {
    setObjectName("MeasurementsPanel");
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    summary_ = new QLabel(body);
    summary_->setObjectName("MarkerSummary");
    summary_->setTextFormat(Qt::PlainText);
    summary_->setWordWrap(true);
    table_ = MakeTable(body, "MeasurementsTable");
    copy_ = new QPushButton("&Copy", body);
    copy_->setObjectName("CopyValuesButton");
    export_ = new QPushButton("&Export...", body);
    export_->setObjectName("ExportMeasurementsButton");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(copy_);
    buttons->addWidget(export_);
    buttons->addStretch();
    auto* notesTitle = new QLabel("Notes", body);
    notes_ = new QListWidget(body);
    notes_->setObjectName("NotesList");
    edit_ = new QPushButton("E&dit...", body);
    edit_->setObjectName("EditNoteButton");
    delete_ = new QPushButton("De&lete", body);
    delete_->setObjectName("DeleteNoteButton");
    auto* noteButtons = new QHBoxLayout;
    noteButtons->addWidget(edit_);
    noteButtons->addWidget(delete_);
    noteButtons->addStretch();
    layout->addWidget(summary_);
    layout->addWidget(table_, 3);
    layout->addLayout(buttons);
    layout->addWidget(notesTitle);
    layout->addWidget(notes_, 1);
    layout->addLayout(noteButtons);
    setWidget(body);

    connect(copy_, &QPushButton::clicked, this, [this] {
        if (onCopy) onCopy();
    });
    connect(export_, &QPushButton::clicked, this, [this] {
        if (onExport) onExport();
    });
    connect(notes_, &QListWidget::itemDoubleClicked, this, [this] {
        if (onGoToNote && SelectedNote() >= 0) onGoToNote(SelectedNote());
    });
    connect(edit_, &QPushButton::clicked, this, [this] {
        if (onEditNote && SelectedNote() >= 0) onEditNote(SelectedNote());
    });
    connect(delete_, &QPushButton::clicked, this, [this] {
        if (onDeleteNote && SelectedNote() >= 0) onDeleteNote(SelectedNote());
    });
    ShowTable({});
    ShowNotes({}, {});
}

int MeasurementsPanel::SelectedNote() const {
    return notes_->currentRow();
}

void MeasurementsPanel::ShowTable(const MeasurementTable& table) {
    const bool any = !table.rows.empty();
    summary_->setText(any ? QString::fromStdString(table.summary)
                          : QString("Right-drag across the chart, or right-click it, to set "
                                    "markers A and B."));
    ShowTextTable(*table_, table, 2);
    copy_->setEnabled(any);
    export_->setEnabled(any);
}

void MeasurementsPanel::ShowNotes(const std::vector<Note>& notes,
                                  const std::vector<QString>& times) {
    const int keep = notes_->currentRow();
    notes_->clear();
    for (std::size_t i = 0; i < notes.size(); ++i)
        notes_->addItem((i < times.size() ? times[i] : QString()) + "  " +
                        QString::fromStdString(notes[i].text)); // plain text, never markup
    if (keep >= 0 && keep < notes_->count()) notes_->setCurrentRow(keep);
    edit_->setEnabled(!notes.empty());
    delete_->setEnabled(!notes.empty());
}

} // namespace tesmora
