#pragma once
// Where the window's snapshot goes on a printed page.

#include <QRect>

namespace tesmora {

/// The snapshot (IW x IH screen pixels) on a page of PW x PH printer pixels: 80 % of the page
/// in its limiting direction, aspect ratio kept, 10 % of the page's width and height from its
/// left and top edges.
struct PrintPlacement {
    int W0, H0;     // the largest box the image may fill
    double SX, SY;  // scale factors
    int W, H, L, T; // the image's size and top-left corner on the page
    QRect Target() const { return QRect(L, T, W, H); }
};
PrintPlacement PlaceOnPage(int PW, int PH, int IW, int IH);

} // namespace tesmora
