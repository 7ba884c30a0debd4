#pragma once

#include <QPixmap>

namespace tesmora {

/// The 20 x 20 pictures of the arrangement buttons, black on transparent: tag 0 "rows" (three
/// stacked bars), tag 1 "grid" (two by two blocks).
QPixmap ArrangementGlyph(int tag);

} // namespace tesmora
