// Renders the user manual into a PDF with pictures of the real window:
// tesmora-manual MANUAL.md SAMPLES_DIR OUT.pdf

#include "app/dialogs.h"
#include "app/fonts.h"
#include "app/main_window.h"
#include "pointer_events.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPdfWriter>
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
            image.setWidth(500);
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
