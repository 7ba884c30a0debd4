#pragma once
// The "Oximetry" panel: the desaturation analysis's choices, its table per channel and the
// list of episodes.

#include "analysis/text_table.h"
#include "settings/oximetry_settings.h"

#include <QDockWidget>
#include <functional>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace tesmora {

class OximetryPanel : public QDockWidget {
    Q_OBJECT
public:
    explicit OximetryPanel(QWidget* parent);

    /// The choices as the controls hold them (visible: the panel is shown).
    OximetryChoice Choice() const;
    /// Puts choices into the controls (from the settings file): no onChanged.
    void SetChoice(const OximetryChoice& choice);
    /// The tables, and a note on what could not be computed (empty: none).
    void ShowResults(const TextTable& channels, const TextTable& episodes, const QString& note);

    /// A choice changed; export asked for; an episode double-clicked (its row).
    std::function<void()> onChanged, onExport;
    std::function<void(int)> onGoToEpisode;

private:
    void EnableControls();

    QComboBox *mode_, *baseline_;
    QDoubleSpinBox *threshold_, *drop_, *minutes_, *minEpisode_, *mergeGap_;
    QLabel* note_;
    QTableWidget *table_, *episodes_;
    QPushButton* export_;
    bool setting_ = false; // SetChoice is filling the controls
};

} // namespace tesmora
