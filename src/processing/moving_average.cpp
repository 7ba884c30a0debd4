#include "processing/moving_average.h"

#include "recording/simd.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tesmora {
namespace {

constexpr int kQuantities = 4;

// One series' window: the sum of its finite samples and the count of the others, so that
// one NaN or infinity leaves the sum usable once it has left the window.
struct Window {
    double sum = 0;
    int nonFinite = 0;
    void Add(float x) { std::isfinite(x) ? void(sum += x) : void(++nonFinite); }
    void Remove(float x) { std::isfinite(x) ? void(sum -= x) : void(--nonFinite); }
};

#if TESMORA_SSE2
// The running-window pass for channels 0..channels-1, k >= 1. All series advance together,
// one pass over the records; each series sees exactly the additions, subtractions and
// division of its own pass.
void AverageChannels(SampleRecord* buf, std::int32_t n, int k, int channels) {
    const std::int32_t m = std::min<std::int32_t>(k, n);
    // The four quantities of a channel lie side by side: two pairs of double lanes each.
    // Values that are not finite are left out of the sums (adding 0 instead changes no sum,
    // which is never -0) and counted.
    struct Lanes {
        __m128d sum[2] = {_mm_setzero_pd(), _mm_setzero_pd()};
        __m128d bad[2] = {_mm_setzero_pd(), _mm_setzero_pd()};
    };
    const __m128d one = _mm_set1_pd(1.0);
    auto step = [&](Lanes& w, const ChannelData& ch, bool add) {
        const __m128 v = _mm_loadu_ps(&ch.OXHb);
        const __m128d x[2] = {_mm_cvtps_pd(v), _mm_cvtps_pd(_mm_movehl_ps(v, v))};
        for (int h = 0; h < 2; ++h) {
            const __m128d finite = _mm_cmpeq_pd(_mm_sub_pd(x[h], x[h]), _mm_setzero_pd());
            const __m128d value = _mm_and_pd(finite, x[h]);
            const __m128d counted = _mm_andnot_pd(finite, one);
            w.sum[h] = add ? _mm_add_pd(w.sum[h], value) : _mm_sub_pd(w.sum[h], value);
            w.bad[h] = add ? _mm_add_pd(w.bad[h], counted) : _mm_sub_pd(w.bad[h], counted);
        }
    };
    Lanes w[4];
    for (std::int32_t i = 0; i < m; ++i)
        for (int c = 0; c < channels; ++c) step(w[c], buf[i].Ch[c], true);
    const __m128d nan = _mm_set1_pd(std::numeric_limits<double>::quiet_NaN());
    for (std::int32_t j = 0; j < n; ++j) {
        std::int32_t lo = j - k, hi = j + k;
        const bool leaves = lo >= 1, enters = hi < n;
        if (!leaves) lo = 0;
        if (!enters) hi = n - 1;
        const __m128d count = _mm_set1_pd(static_cast<double>(hi - lo + 1));
        // The records ahead, whose values enter soon and whose averages are written soon.
        PrefetchForRead(&buf[std::min(j + k + 16, n - 1)].Ch[0]);
        PrefetchForRead(&buf[std::min(j + k + 16, n - 1)].Ch[2]);
        PrefetchForWrite(&buf[std::min(j + 16, n - 1)].Ave[0]);
        PrefetchForWrite(&buf[std::min(j + 16, n - 1)].Ave[2]);
        for (int c = 0; c < channels; ++c) {
            if (leaves) step(w[c], buf[j - k - 1].Ch[c], false);
            if (enters) step(w[c], buf[j + k].Ch[c], true);
            __m128 out[2];
            for (int h = 0; h < 2; ++h) {
                const __m128d mean = _mm_div_pd(w[c].sum[h], count);
                const __m128d clean = _mm_cmpeq_pd(w[c].bad[h], _mm_setzero_pd());
                out[h] =
                    _mm_cvtpd_ps(_mm_or_pd(_mm_and_pd(clean, mean), _mm_andnot_pd(clean, nan)));
            }
            _mm_storeu_ps(&buf[j].Ave[c].OXHb, _mm_movelh_ps(out[0], out[1]));
        }
    }
}
#endif

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
                    ChannelValue(buf[j].Ave[c], q) = ChannelValue(buf[j].Ch[c], q);
        return;
    }
#if TESMORA_SSE2
    AverageChannels(buf, n, k, channels);
#else
    const std::int32_t m = std::min<std::int32_t>(k, n);
    Window w[4][kQuantities];
    for (std::int32_t i = 0; i < m; ++i)
        for (int c = 0; c < channels; ++c)
            for (int q = 0; q < kQuantities; ++q) w[c][q].Add(ChannelValue(buf[i].Ch[c], q));
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
                if (leaves) s.Remove(ChannelValue(buf[j - k - 1].Ch[c], q));
                if (enters) s.Add(ChannelValue(buf[j + k].Ch[c], q));
                ChannelValue(buf[j].Ave[c], q) =
                    s.nonFinite ? nan : static_cast<float>(s.sum / count);
            }
        }
    }
#endif
}

} // namespace tesmora
