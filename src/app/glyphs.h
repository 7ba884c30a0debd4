#pragma once

#include <QIcon>
#include <QPixmap>

namespace tesmora {

/// The 20 x 20 pictures of the arrangement buttons, black on transparent: tag 0 "rows" (three
/// stacked bars), tag 1 "grid" (two by two blocks).
QPixmap ArrangementGlyph(int tag);

/// The glyph as a button's icon: its pixels, and each of them as a block of 2 x 2 (and 3 x 3)
/// device pixels for denser screens, so that it stays sharp rather than smoothed.
QIcon ArrangementIcon(int tag);

} // namespace tesmora
