// Renders the user manual into a PDF with pictures of the real window:
// tesmora-manual MANUAL.md SAMPLES_DIR OUT.pdf

#include "app/dialogs.h"
#include "app/fonts.h"
#include "app/go_to_time_dialog.h"
#include "app/main_window.h"
#include "pointer_events.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPdfWriter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QToolButton>
#include <cstdio>

namespace {

using namespace tesmora;

QImage Shot(MainWindow& w) {
    QApplication::processEvents();
    return w.grab().toImage();
}

QWidget* Chart(MainWindow& w) {
    return w.findChild<QWidget*>("PaintBox1");
}

// Middle-button drag by dx pixels: the zoom.
void Zoom(MainWindow& w, int dx) {
    tools::Drag(Chart(w), Qt::MiddleButton, QPoint(600, 100), QPoint(600 + dx, 100));
}

// A menu as it shows when opened.
QImage MenuShot(QMenu* menu) {
    menu->popup(QPoint(0, 0));
    QApplication::processEvents();
    const QImage image = menu->grab().toImage();
    menu->hide();
    return image;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fputs("usage: tesmora-manual MANUAL.md SAMPLES_DIR OUT.pdf\n", stderr);
        return 2;
    }
    UseWindowFont();
    const QDir samples(QString::fromLocal8Bit(argv[2]));
    QTemporaryDir scratch;
    NoDialogs dialogs;
    QTextDocument doc;
    QList<std::pair<QString, QImage>> pictures;

    {
        MainWindow w(dialogs, scratch.filePath("manual.INI"), QString());
        w.resize(1100, 680);
        w.show();
        w.OpenRecording(samples.filePath("demo_pc56.lqd"));
        pictures.append({"window.png", Shot(w)});
        tools::Click(Chart(w), QPoint(420, 100)); // a click in the first panel
        pictures.append({"cursor.png", Shot(w)});
        Zoom(w, -50 * 100);
        pictures.append({"zoomed.png", Shot(w)});
        w.findChild<QToolButton*>("SpeedButton2")->click();
        Zoom(w, -50 * 100);
        pictures.append({"grid.png", Shot(w)});
        // Two markers around the desaturation of the three-channel demo, with the panel.
        w.findChild<QAction*>("I1")->trigger();
        w.resize(1500, 700);
        QApplication::processEvents();
        w.findChild<QScrollBar*>("ScrollBar1")->setValue(9000);
        tools::Drag(Chart(w), Qt::RightButton, QPoint(300, 120), QPoint(700, 120));
        pictures.append({"markers.png", Shot(w)});
        w.findChild<QAction*>("Measurements1")->trigger(); // hidden again
        // The Oximetry panel over the whole recording: the threshold line and the bars.
        w.findChild<QAction*>("I1")->trigger();
        w.findChild<QToolButton*>("SpeedButton1")->click(); // one column
        w.resize(1100, 700);
        w.findChild<QAction*>("Oximetry1")->trigger();
        w.findChild<QAction*>("WholeRecording1")->trigger();
        pictures.append({"oximetry.png", Shot(w)});
        w.findChild<QAction*>("Oximetry1")->trigger();
        w.resize(1100, 680);
        w.OpenRecording(samples.filePath("demo_mv31.lqd"));
        pictures.append({"recent.png", MenuShot(w.findChild<QMenu*>("RecentFiles1"))});
        pictures.append({"viewmenu.png", MenuShot(w.findChild<QMenu*>("N1"))});
        const RecordingStore& store = w.Store();
        GoToTimeDialog go({store.StartTime, store.Rate, store.DataCount}, &w);
        go.findChild<QLineEdit*>("TimeEdit")->setText("14:35:00");
        go.show();
        QApplication::processEvents();
        pictures.append({"goto.png", go.grab().toImage()});
        go.close();
    }

    QFile md(QString::fromLocal8Bit(argv[1]));
    if (!md.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "tesmora-manual: cannot read %s\n", argv[1]);
        return 1;
    }
    QFont body("DejaVu Sans");
    body.setPointSizeF(9.5);
    doc.setDefaultFont(body);
    doc.setMarkdown(QString::fromUtf8(md.readAll()), QTextDocument::MarkdownDialectGitHub);
    for (const auto& [name, image] : pictures)
        doc.addResource(QTextDocument::ImageResource, QUrl(name), image);

    // Pictures span the text's width.
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            QTextFragment f = it.fragment();
            if (!f.charFormat().isImageFormat()) continue;
            QTextImageFormat image = f.charFormat().toImageFormat();
            // Pictures of the window span the text's width; menus and dialogs keep their size
            // (at the page's 300 dpi, as on a screen of 96).
            const QImage picture =
                doc.resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>();
            image.setWidth(picture.width() > 600 ? 500 : picture.width() * 0.75);
            QTextCursor c(&doc);
            c.setPosition(f.position());
            c.setPosition(f.position() + f.length(), QTextCursor::KeepAnchor);
            c.setCharFormat(image);
        }

    QPdfWriter pdf(QString::fromLocal8Bit(argv[3]));
    pdf.setTitle("Tesmora user manual");
    pdf.setCreator("Tesmora");
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(20, 18, 20, 18), QPageLayout::Millimeter);
    pdf.setResolution(300);
    doc.print(&pdf);
    return 0;
}
