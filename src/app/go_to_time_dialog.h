#pragma once
// "Go To Time...": asks for a clock time or a time since the start, and checks it against the
// recording before it closes.

#include "navigation/time_target.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;

namespace tesmora {

class GoToTimeDialog : public QDialog {
    Q_OBJECT
public:
    /// For the recording `span`; the day list shows when it touches more than one day.
    GoToTimeDialog(const RecordingSpan& span, QWidget* parent);

    /// The sample found, once the dialog has been accepted.
    std::int32_t Target() const { return target_; }

    /// OK: accepts when the text names a sample of the recording, else says why and stays.
    void TryAccept();

private:
    RecordingSpan span_;
    std::vector<std::int64_t> days_;
    QLineEdit* time_;
    QComboBox* day_ = nullptr;
    QLabel* message_;
    std::int32_t target_ = -1;
};

} // namespace tesmora
