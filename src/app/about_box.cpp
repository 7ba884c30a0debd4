#include "app/about_box.h"

#include "app/artwork.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace tesmora {

AboutBox::AboutBox(QWidget* owner) : QDialog(owner) {
    setObjectName("Form2");
    setWindowTitle("About  tesmora");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(283, 196);

    Label1 = new QLabel("Tesmora", this);
    Label1->setObjectName("Label1");
    QFont big("Tahoma", 14);
    big.setBold(true);
    Label1->setFont(big);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label1->setGeometry(24, 24, Label1->sizeHint().width(), 23);

    Label2 = new QLabel("for Brisela,VRM-56    Ver1.00", this);
    Label2->setObjectName("Label2");
    const int w2 = Label2->sizeHint().width();
    Label2->setGeometry(268 - w2, 53, w2, 13); // right-aligned: the text ends at x = 268

    Label3 = new QLabel(QString::fromUtf8("\u00A9 2026 The Tesmora developers"), this);
    Label3->setObjectName("Label3");
    Label3->setGeometry(26, 96, Label3->sizeHint().width(), 13);

    // A raised outer and a lowered inner bevel around the logo.
    auto* outer = new QFrame(this);
    outer->setObjectName("Panel1");
    outer->setGeometry(24, 125, 153, 52);
    outer->setAutoFillBackground(true);
    QPalette white = outer->palette();
    white.setColor(QPalette::Window, Qt::white);
    outer->setPalette(white);
    outer->setFrameStyle(QFrame::Panel | QFrame::Raised);
    outer->setLineWidth(1);
    auto* inner = new QFrame(outer);
    inner->setGeometry(1, 1, 151, 50);
    inner->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    inner->setLineWidth(1);
    Panel1 = outer;
    Image1 = new QLabel(outer);
    Image1->setObjectName("Image1");
    Image1->setGeometry(2, 2, 149, 48);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setPixmap(TesmoraLogo(qApp->devicePixelRatio())); // sharp on the densest screen

    OkButton = new QPushButton("OK", this);
    OkButton->setObjectName("OkButton");
    OkButton->setGeometry(192, 152, 75, 25);
    OkButton->setDefault(true);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    for (QWidget* w : findChildren<QWidget*>())
        if (w != OkButton) w->setFocusPolicy(Qt::NoFocus); // the button alone takes the focus
}

void AboutBox::PlaceForShowing() {
    if (placed_) return; // later showings keep the last position
    placed_ = true;
    const QWidget* owner = parentWidget();
    if (!owner) return;
    const QRect o = owner->frameGeometry();
    // Before its first showing the box has no frame yet: take the owner's frame as its own.
    const QSize size = this->size() + (o.size() - owner->size());
    int left = o.left() + (o.width() - size.width()) / 2;
    int top = o.top() + (o.height() - size.height()) / 2;
    if (const QScreen* screen = owner->screen()) {
        const QRect work = screen->availableGeometry();
        left = std::max(left, work.left());
        top = std::max(top, work.top());
    }
    move(left, top);
}

} // namespace tesmora
