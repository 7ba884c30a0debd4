#pragma once
// The About box: product name, device models, version, publisher notice and logo.

#include <QDialog>

class QLabel;
class QPushButton;

namespace tesmora {

class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* owner);

    /// Before a showing: the first time centred over the owner, but not left of or above
    /// its monitor's work area; later where the box was when it was last closed.
    void PlaceForShowing();

    QLabel *Label1, *Label2, *Label3, *Image1;
    QWidget* Panel1;
    QPushButton* OkButton;

private:
    bool placed_ = false;
};

} // namespace tesmora
