#include "app/picture_size_dialog.h"

#include "chart/chart_picture.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

namespace tesmora {

PictureSizeDialog::PictureSizeDialog(QSize size, double pixelRatio, bool withRatio, QWidget* parent)
    : QDialog(parent) {
    setObjectName("PictureSizeDialog");
    setWindowTitle("Chart Image");
    auto* form = new QFormLayout;
    auto side = [this](const char* name, int value) {
        auto* box = new QSpinBox(this);
        box->setObjectName(name);
        box->setRange(100, PICTURE_MAX_SIDE);
        box->setSuffix(" px");
        box->setValue(value);
        return box;
    };
    width_ = side("WidthSpinBox", size.width());
    height_ = side("HeightSpinBox", size.height());
    form->addRow("&Width:", width_);
    form->addRow("&Height:", height_);
    ratio_ = new QDoubleSpinBox(this);
    ratio_->setObjectName("PixelRatioSpinBox");
    ratio_->setRange(0.5, 8);
    ratio_->setDecimals(2);
    ratio_->setSingleStep(0.25);
    ratio_->setValue(std::clamp(pixelRatio, 0.5, 8.0));
    ratio_->setToolTip("Image pixels per pixel of the chart: 2 gives a picture as sharp as on "
                       "a screen of twice the density");
    ratio_->setEnabled(withRatio);
    form->addRow("&Pixel ratio:", ratio_);
    auto* note = new QLabel(withRatio ? "The size is the chart's on the screen; the image has "
                                        "width and height times the pixel ratio."
                                      : "Traces, grid and labels are written as shapes and "
                                        "text: sharp at any size.",
                            this);
    note->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName("Buttons");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(buttons);
    setMinimumWidth(300);
}

QSize PictureSizeDialog::PictureSize() const {
    return {width_->value(), height_->value()};
}

double PictureSizeDialog::PixelRatio() const {
    return ratio_->isEnabled() ? ratio_->value() : 1.0;
}

} // namespace tesmora
