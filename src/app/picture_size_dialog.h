#pragma once
// "Export Chart Image...": the picture's size, preset with the chart's, and for a PNG its
// pixel density.

#include <QDialog>
#include <QSize>

class QDoubleSpinBox;
class QSpinBox;

namespace tesmora {

class PictureSizeDialog : public QDialog {
    Q_OBJECT
public:
    /// size: the chart's size now; pixelRatio: the screen's; withRatio: a PNG (the other
    /// formats are shapes, sharp at any density).
    PictureSizeDialog(QSize size, double pixelRatio, bool withRatio, QWidget* parent);

    QSize PictureSize() const;
    double PixelRatio() const;

private:
    QSpinBox *width_, *height_;
    QDoubleSpinBox* ratio_;
};

} // namespace tesmora
