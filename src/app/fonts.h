#pragma once

namespace tesmora {

/// Makes Tahoma 8 pt the application font: the system's Tahoma, else the one Debian's
/// fonts-wine installs, else the default sans-serif font.
void UseWindowFont();

} // namespace tesmora
