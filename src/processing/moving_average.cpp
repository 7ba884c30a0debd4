#include "processing/moving_average.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tesmora {
namespace {

constexpr int kQuantities = 4;

float& Value(ChannelData& ch, int q) {
    switch (q) {
    case 0:
        return ch.OXHb;
    case 1:
        return ch.DXHb;
    case 2:
        return ch.TOHb;
    default:
        return ch.StO2;
    }
}

// One series' window: the sum of its finite samples and the count of the others, so that
// one NaN or infinity leaves the sum usable once it has left the window.
struct Window {
    double sum = 0;
    int nonFinite = 0;
    void Add(float x) { std::isfinite(x) ? void(sum += x) : void(++nonFinite); }
    void Remove(float x) { std::isfinite(x) ? void(sum -= x) : void(--nonFinite); }
};

} // namespace

void CalcCompareData(RecordingStore& store, int k) {
    const std::int32_t n = store.DataCount;
    if (n <= 0) return;
    const int channels = std::clamp(store.ChCount, 0, 4);
    k = std::clamp(k, 0, MAX_AVERAGE_HALF_WIDTH);
    SampleRecord* const buf = store.SampleBuff.get();
    if (k == 0) {
        for (std::int32_t j = 0; j < n; ++j)
            for (int c = 0; c < channels; ++c)
                for (int q = 0; q < kQuantities; ++q)
                    Value(buf[j].Ave[c], q) = Value(buf[j].Ch[c], q);
        return;
    }
    // All series advance together, one pass over the records; each series sees exactly the
    // additions and subtractions of its own pass, in the same order.
    Window w[4][kQuantities];
    const std::int32_t m = std::min<std::int32_t>(k, n);
    for (std::int32_t i = 0; i < m; ++i)
        for (int c = 0; c < channels; ++c)
            for (int q = 0; q < kQuantities; ++q) w[c][q].Add(Value(buf[i].Ch[c], q));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (std::int32_t j = 0; j < n; ++j) {
        std::int32_t lo = j - k, hi = j + k;
        const bool leaves = lo >= 1, enters = hi < n;
        if (!leaves) lo = 0;
        if (!enters) hi = n - 1;
        const double count = static_cast<double>(hi - lo + 1);
        for (int c = 0; c < channels; ++c) {
            for (int q = 0; q < kQuantities; ++q) {
                Window& s = w[c][q];
                if (leaves) s.Remove(Value(buf[j - k - 1].Ch[c], q));
                if (enters) s.Add(Value(buf[j + k].Ch[c], q));
                Value(buf[j].Ave[c], q) = s.nonFinite ? nan : static_cast<float>(s.sum / count);
            }
        }
    }
}

} // namespace tesmora
