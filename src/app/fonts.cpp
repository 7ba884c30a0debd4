#include "app/fonts.h"

#include <QApplication>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>

namespace tesmora {

void UseWindowFont() {
    if (!QFontDatabase::families().contains("Tahoma")) {
        for (const char* file :
             {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"})
            if (QFileInfo::exists(file)) QFontDatabase::addApplicationFont(file);
    }
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
