#pragma once
// The program's own pictures, drawn in code: the logo of the About box and the window icon.

#include <QIcon>
#include <QPixmap>

namespace tesmora {

/// 127 x 36 pixels on a transparent background, drawn at `ratio` device pixels per pixel.
QPixmap TesmoraLogo(qreal ratio = 1);
/// The window icon in 16, 24, 32, 48 and 256 pixels square.
QIcon TesmoraIcon();

} // namespace tesmora
