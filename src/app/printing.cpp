#include "app/printing.h"

#include <cmath>

namespace tesmora {

PrintPlacement PlaceOnPage(int PW, int PH, int IW, int IH) {
    PrintPlacement p{};
    p.W0 = 4 * PW / 5;
    p.H0 = 4 * PH / 5;
    p.SX = static_cast<double>(p.W0) / IW;
    p.SY = static_cast<double>(p.H0) / IH;
    if (p.SY > p.SX) { // the width limits
        p.W = p.W0;
        p.H = static_cast<int>(std::floor(IH * p.SX));
    } else {
        p.W = static_cast<int>(std::floor(IW * p.SY));
        p.H = p.H0;
    }
    p.L = PW / 10;
    p.T = PH / 10;
    return p;
}

} // namespace tesmora
