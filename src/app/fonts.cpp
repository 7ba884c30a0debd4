#include "app/fonts.h"

#include <QApplication>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>

namespace tesmora {

void UseWindowFont() {
    // Only the regular face of fonts-wine: its bold face draws thin strokes (and declares no
    // characters to fontconfig, so Qt would even take another family for it), while bold made
    // from the regular face by Qt looks as bold as it should.
    constexpr const char* kWineTahoma = "/usr/share/wine/fonts/tahoma.ttf";
    if (!QFontDatabase::families().contains("Tahoma") && QFileInfo::exists(kWineTahoma))
        QFontDatabase::addApplicationFont(kWineTahoma);
    QFont font;
    if (QFontDatabase::families().contains("Tahoma")) {
        font = QFont("Tahoma", 8);
    } else {
        font.setPointSize(8);
        font.setStyleHint(QFont::SansSerif);
    }
    QApplication::setFont(font);
}

} // namespace tesmora
