#include "app/go_to_time_dialog.h"

#include "recording/datetime.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tesmora {

GoToTimeDialog::GoToTimeDialog(const RecordingSpan& span, QWidget* parent)
    : QDialog(parent), span_(span), days_(RecordingDays(span)) {
    setObjectName("GoToTimeDialog");
    setWindowTitle("Go To Time");
    auto* form = new QFormLayout;
    time_ = new QLineEdit(this);
    time_->setObjectName("TimeEdit");
    time_->setPlaceholderText("hh:mm:ss, or +h:mm:ss since the start");
    time_->setMinimumWidth(220);
    form->addRow("&Time:", time_);
    if (days_.size() > 1) {
        day_ = new QComboBox(this);
        day_->setObjectName("DayComboBox");
        day_->addItem("The first time it occurs");
        for (const std::int64_t d : days_)
            day_->addItem(
                QString::fromStdString(FormatDateTime(static_cast<double>(d)).substr(0, 10)));
        form->addRow("&Day:", day_);
    }
    message_ = new QLabel(this);
    message_->setObjectName("MessageLabel");
    message_->setWordWrap(true);
    QPalette red = message_->palette();
    red.setColor(QPalette::WindowText, QColor(192, 0, 0));
    message_->setPalette(red);
    message_->hide();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName("Buttons");
    connect(buttons, &QDialogButtonBox::accepted, this, &GoToTimeDialog::TryAccept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(message_);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void GoToTimeDialog::TryAccept() {
    std::optional<std::int64_t> day;
    if (day_ && day_->currentIndex() > 0)
        day = days_[static_cast<std::size_t>(day_->currentIndex() - 1)];
    const TimeTarget found = FindTimeTarget(time_->text().toStdString(), span_, day);
    if (!found.index) {
        message_->setText(QString::fromStdString(found.message));
        message_->show();
        time_->setFocus();
        time_->selectAll();
        return;
    }
    target_ = *found.index;
    accept();
}

} // namespace tesmora
