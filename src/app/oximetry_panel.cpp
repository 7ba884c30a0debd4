#include "app/oximetry_panel.h"

#include "app/table_view.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace tesmora {
namespace {

// A spin box that takes only values of its range: typing past it is refused as typed.
QDoubleSpinBox* Spin(QWidget* parent, const char* name, double max, const char* suffix) {
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(name);
    box->setRange(0, max);
    box->setDecimals(1);
    box->setSuffix(suffix);
    box->setAccelerated(true);
    return box;
}

} // namespace

OximetryPanel::OximetryPanel(QWidget* parent) : QDockWidget("Oximetry", parent) {
    setObjectName("OximetryPanel");
    auto* body = new QWidget(this);
    mode_ = new QComboBox(body);
    mode_->setObjectName("ThresholdModeComboBox");
    mode_->addItems({"Absolute", "Relative to baseline"});
    threshold_ = Spin(body, "ThresholdSpinBox", 100, " %");
    drop_ = Spin(body, "DropSpinBox", 100, " %");
    baseline_ = new QComboBox(body);
    baseline_->setObjectName("BaselineComboBox");
    baseline_->addItems({"First minutes", "Between markers A and B"});
    minutes_ = Spin(body, "BaselineMinutesSpinBox", 2880, " min");
    minEpisode_ = Spin(body, "MinEpisodeSpinBox", 3600, " s");
    mergeGap_ = Spin(body, "MergeGapSpinBox", 3600, " s");
    auto* form = new QFormLayout;
    form->addRow("&Threshold:", mode_);
    form->addRow("&Below:", threshold_);
    form->addRow("&Drop from baseline:", drop_);
    auto* baselineRow = new QHBoxLayout;
    baselineRow->addWidget(baseline_, 1);
    baselineRow->addWidget(minutes_);
    auto* baselineLabel = new QLabel("Base&line:", body);
    baselineLabel->setBuddy(baseline_);
    form->addRow(baselineLabel, baselineRow);
    form->addRow("&Shortest episode:", minEpisode_);
    form->addRow("&Join gaps under:", mergeGap_);
    note_ = new QLabel(body);
    note_->setObjectName("OximetryNote");
    note_->setTextFormat(Qt::PlainText);
    note_->setWordWrap(true);
    table_ = MakeTable(body, "OximetryTable");
    auto* episodesTitle = new QLabel("Episodes (double-click to go there)", body);
    episodes_ = MakeTable(body, "EpisodesTable");
    episodes_->setSelectionBehavior(QAbstractItemView::SelectRows);
    episodes_->setSelectionMode(QAbstractItemView::SingleSelection);
    export_ = new QPushButton("Export &Analysis...", body);
    export_->setObjectName("ExportAnalysisButton");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(export_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(body);
    layout->addLayout(form);
    layout->addWidget(note_);
    layout->addWidget(table_);
    layout->addWidget(episodesTitle);
    layout->addWidget(episodes_, 1);
    layout->addLayout(buttons);
    setWidget(body);

    SetChoice({});
    auto changed = [this] {
        EnableControls();
        if (!setting_ && onChanged) onChanged();
    };
    for (QComboBox* box : {mode_, baseline_})
        connect(box, &QComboBox::currentIndexChanged, this, changed);
    for (QDoubleSpinBox* box : {threshold_, drop_, minutes_, minEpisode_, mergeGap_})
        connect(box, &QDoubleSpinBox::valueChanged, this, changed);
    connect(export_, &QPushButton::clicked, this, [this] {
        if (onExport) onExport();
    });
    connect(episodes_, &QTableWidget::cellDoubleClicked, this, [this](int row) {
        if (onGoToEpisode) onGoToEpisode(row);
    });
    ShowResults({}, {}, {});
}

OximetryChoice OximetryPanel::Choice() const {
    OximetryChoice c;
    DesaturationSettings& s = c.settings;
    s.mode = mode_->currentIndex() == 1 ? DesaturationSettings::Mode::Relative
                                        : DesaturationSettings::Mode::Absolute;
    s.threshold = threshold_->value();
    s.drop = drop_->value();
    s.baselineMinutes = minutes_->value();
    s.minEpisode = minEpisode_->value();
    s.mergeGap = mergeGap_->value();
    c.baselineFromMarkers = baseline_->currentIndex() == 1;
    c.visible = !isHidden();
    return c;
}

void OximetryPanel::SetChoice(const OximetryChoice& c) {
    setting_ = true;
    const DesaturationSettings& s = c.settings;
    mode_->setCurrentIndex(s.mode == DesaturationSettings::Mode::Relative ? 1 : 0);
    threshold_->setValue(s.threshold);
    drop_->setValue(s.drop);
    minutes_->setValue(s.baselineMinutes);
    minEpisode_->setValue(s.minEpisode);
    mergeGap_->setValue(s.mergeGap);
    baseline_->setCurrentIndex(c.baselineFromMarkers ? 1 : 0);
    setting_ = false;
    EnableControls();
}

void OximetryPanel::EnableControls() {
    const bool relative = mode_->currentIndex() == 1;
    threshold_->setEnabled(!relative);
    drop_->setEnabled(relative);
    minutes_->setEnabled(baseline_->currentIndex() == 0);
}

void OximetryPanel::ShowResults(const TextTable& channels, const TextTable& episodes,
                                const QString& note) {
    ShowTextTable(*table_, channels, 1);
    // Every measure in view without scrolling; the episodes take the rest of the height.
    const int rows = std::max(table_->rowCount(), 12);
    table_->setFixedHeight(table_->horizontalHeader()->sizeHint().height() +
                           rows * table_->verticalHeader()->defaultSectionSize() +
                           2 * table_->frameWidth());
    ShowTextTable(*episodes_, episodes, 2);
    note_->setText(note);
    note_->setVisible(!note.isEmpty());
    export_->setEnabled(!channels.rows.empty());
}

} // namespace tesmora
