#include "analysis/interval_stats.h"

#include "recording/simd.h"

#if TESMORA_SSE2 && defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <limits>

namespace tesmora {
namespace {

constexpr std::int32_t kBlock = 64;

// Count, means and second moments of value x and time t (in samples), combinable.
struct Moments {
    double n = 0, meanX = 0, m2X = 0, meanT = 0, m2T = 0, cXT = 0;

    void Add(const Moments& b) {
        if (b.n == 0) return;
        if (n == 0) {
            *this = b;
            return;
        }
        const double total = n + b.n;
        const double dx = b.meanX - meanX, dt = b.meanT - meanT;
        const double w = n * b.n / total;
        meanX += dx * (b.n / total);
        meanT += dt * (b.n / total);
        m2X += b.m2X + dx * dx * w;
        m2T += b.m2T + dt * dt * w;
        cXT += b.cXT + dx * dt * w;
        n = total;
    }
};

// One channel within one block, its four quantities side by side: sums of the value less
// the block's first valid value of that quantity (the shift), of the time since the block's
// start, and the extremes. Samples whose four values are all finite (nearly all) go into the
// shared count and time sums and the per-quantity value sums; the others into per-quantity
// sums of their own, added at the end. The vector path and the scalar one do the same
// operations in the same order.
struct BlockSums {
    double shift[4] = {};
    double n = 0, t = 0, tt = 0;              // samples with four finite values
    double d[4] = {}, dd[4] = {}, td[4] = {}; // their value sums
    double nS[4] = {}, tS[4] = {}, ttS[4] = {}, dS[4] = {}, ddS[4] = {}, tdS[4] = {};
    double lo[4], hi[4];
    double notFinite[4] = {};
    BlockSums() {
        for (int q = 0; q < 4; ++q) {
            lo[q] = std::numeric_limits<double>::infinity();
            hi[q] = -std::numeric_limits<double>::infinity();
        }
    }

    double Count(int q) const { return n + nS[q]; }

    // The block's moments of quantity q, its mean taken less `origin` (a float, as the shift
    // is, so their difference is exact): means stay small, and their differences keep every
    // digit.
    Moments ToMoments(int q, double blockStart, double origin) const {
        Moments m;
        const double k = Count(q);
        if (k == 0) return m;
        const double sd = d[q] + dS[q], sdd = dd[q] + ddS[q], st = t + tS[q], stt = tt + ttS[q],
                     std_ = td[q] + tdS[q];
        m.n = k;
        m.meanX = (shift[q] - origin) + sd / k;
        m.m2X = std::max(sdd - sd * sd / k, 0.0);
        m.meanT = blockStart + st / k;
        m.m2T = std::max(stt - st * st / k, 0.0);
        m.cXT = std_ - st * sd / k;
        return m;
    }
};

double ValueOf(const ChannelData& ch, int q) {
    const double v = ChannelValue(ch, q);
    return q == 3 ? v * 100.0 : v; // StO2 in percent: a float times 100 is exact in double
}

bool Valid(const ChannelData& ch, int q) {
    return ch.Status == 0 && std::isfinite(ChannelValue(ch, q));
}

} // namespace

SampleInterval OrderedInterval(std::int32_t a, std::int32_t b, std::int32_t dataCount) {
    if (dataCount <= 0) return {};
    a = std::clamp(a, 0, dataCount - 1);
    b = std::clamp(b, 0, dataCount - 1);
    return {std::min(a, b), std::max(a, b)};
}

namespace {

void CountExcluded(std::uint16_t status, ExcludedCounts& excluded) {
    (status & STS_FILLED ? excluded.replaced : status & STS_P ? excluded.p : excluded.e)++;
}

// A sample with a value that is not finite: its finite quantities, one by one.
void AddMixed(const ChannelData& ch, double since, BlockSums& s) {
    for (int q = 0; q < 4; ++q) {
        const double x = ValueOf(ch, q);
        if (!std::isfinite(x)) {
            s.notFinite[q] += 1;
            continue;
        }
        const double dx = x - s.shift[q];
        s.nS[q] += 1;
        s.tS[q] += since;
        s.ttS[q] += since * since;
        s.dS[q] += dx;
        s.ddS[q] += dx * dx;
        s.tdS[q] += since * dx;
        s.lo[q] = std::min(s.lo[q], x);
        s.hi[q] = std::max(s.hi[q], x);
    }
}

// The valid samples of channel c in records first..last into `sums` (its shifts already
// set), the excluded ones counted by kind.
void ScanBlock(const SampleRecord* buf, int c, std::int32_t first, std::int32_t last, BlockSums& s,
               ExcludedCounts& excluded) {
    double lo[4], hi[4];
    for (int q = 0; q < 4; ++q) {
        lo[q] = s.lo[q];
        hi[q] = s.hi[q];
    }
    for (std::int32_t j = first; j <= last; ++j) {
        const ChannelData& ch = buf[j].Ch[c];
        if (ch.Status != 0) {
            CountExcluded(ch.Status, excluded);
            continue;
        }
        const double since = static_cast<double>(j - first);
        bool finite = true;
        for (int q = 0; q < 4; ++q) finite = finite && std::isfinite(ChannelValue(ch, q));
        if (!finite) {
            AddMixed(ch, since, s);
            continue;
        }
        s.n += 1;
        s.t += since;
        s.tt += since * since;
        for (int q = 0; q < 4; ++q) {
            const double x = ValueOf(ch, q);
            const double dx = x - s.shift[q];
            s.d[q] += dx;
            s.dd[q] += dx * dx;
            s.td[q] += since * dx;
            lo[q] = std::min(x, lo[q]);
            hi[q] = std::max(x, hi[q]);
        }
    }
    for (int q = 0; q < 4; ++q) {
        s.lo[q] = std::min(s.lo[q], lo[q]);
        s.hi[q] = std::max(s.hi[q], hi[q]);
    }
}

#if TESMORA_SSE2 && defined(__GNUC__) && defined(__x86_64__)
#define TESMORA_AVX2_SCAN 1
// The same pass with the four quantities in one register, for processors that have AVX2:
// each quantity sees exactly the operations of the pass above (no fused multiply-add), so
// the results are the same bit for bit.
__attribute__((target("avx2"))) void ScanBlockAvx2(const SampleRecord* buf, int c,
                                                   std::int32_t first, std::int32_t last,
                                                   BlockSums& s, ExcludedCounts& excluded) {
    const __m256d shift = _mm256_loadu_pd(s.shift);
    const __m256d percent = _mm256_set_pd(100.0, 1.0, 1.0, 1.0);
    __m256d d = _mm256_setzero_pd(), dd = d, td = d;
    __m256d lo = _mm256_loadu_pd(s.lo), hi = _mm256_loadu_pd(s.hi);
    double n = 0, t = 0, tt = 0;
    for (std::int32_t j = first; j <= last; ++j) {
        const ChannelData& ch = buf[j].Ch[c];
        if (ch.Status != 0) {
            CountExcluded(ch.Status, excluded);
            continue;
        }
        const double since = static_cast<double>(j - first);
        const __m128 v = _mm_loadu_ps(&ch.OXHb);
        if (_mm_movemask_ps(_mm_cmpeq_ps(_mm_sub_ps(v, v), _mm_setzero_ps())) != 0xF) {
            AddMixed(ch, since, s);
            continue;
        }
        n += 1;
        t += since;
        tt += since * since;
        const __m256d x = _mm256_mul_pd(_mm256_cvtps_pd(v), percent);
        const __m256d dx = _mm256_sub_pd(x, shift);
        d = _mm256_add_pd(d, dx);
        dd = _mm256_add_pd(dd, _mm256_mul_pd(dx, dx));
        td = _mm256_add_pd(td, _mm256_mul_pd(_mm256_set1_pd(since), dx));
        lo = _mm256_min_pd(x, lo);
        hi = _mm256_max_pd(x, hi);
    }
    s.n = n;
    s.t = t;
    s.tt = tt;
    _mm256_storeu_pd(s.d, d);
    _mm256_storeu_pd(s.dd, dd);
    _mm256_storeu_pd(s.td, td);
    double l[4], h[4];
    _mm256_storeu_pd(l, lo);
    _mm256_storeu_pd(h, hi);
    for (int q = 0; q < 4; ++q) {
        s.lo[q] = std::min(s.lo[q], l[q]);
        s.hi[q] = std::max(s.hi[q], h[q]);
    }
}
#endif

// The first sample of records first..last where quantity q of channel c is valid and equal
// to x.
std::int32_t FirstAt(const SampleRecord* buf, int c, int q, std::int32_t first, std::int32_t last,
                     double x) {
    for (std::int32_t j = first; j <= last; ++j) {
        const ChannelData& ch = buf[j].Ch[c];
        if (ch.Status == 0 && ValueOf(ch, q) == x) return j;
    }
    return -1;
}

} // namespace

std::array<ChannelStats, 4> IntervalStats(const RecordingStore& store, std::int32_t a,
                                          std::int32_t b) {
    std::array<ChannelStats, 4> out{};
    const SampleInterval in = OrderedInterval(a, b, store.DataCount);
    if (in.Empty()) return out;
    a = std::clamp(a, 0, store.DataCount - 1);
    b = std::clamp(b, 0, store.DataCount - 1);
    const int channels = std::clamp(store.ChCount, 0, 4);
    const SampleRecord* const buf = store.SampleBuff.get();

    Moments total[4][4];
    double origin[4][4] = {}; // the first valid value of each series: its means lie near it
    bool haveOrigin[4][4] = {};
    double lo[4][4], hi[4][4];
    std::int32_t loAt[4][4], hiAt[4][4];
    for (int c = 0; c < 4; ++c)
        for (int q = 0; q < 4; ++q) {
            lo[c][q] = std::numeric_limits<double>::infinity();
            hi[c][q] = -std::numeric_limits<double>::infinity();
            loAt[c][q] = hiAt[c][q] = -1;
        }

#ifdef TESMORA_AVX2_SCAN
    static const bool avx2 = __builtin_cpu_supports("avx2");
#endif
    for (std::int32_t start = in.first; start <= in.last; start += kBlock) {
        const std::int32_t end = std::min(start + kBlock - 1, in.last);
        for (int c = 0; c < channels; ++c) {
            BlockSums sums;
            // The shifts: each quantity's first valid value in the block (mostly the first).
            int found = 0;
            bool have[4] = {};
            for (std::int32_t j = start; j <= end && found < 4; ++j) {
                const ChannelData& ch = buf[j].Ch[c];
                if (ch.Status != 0) continue;
                for (int q = 0; q < 4; ++q)
                    if (!have[q] && std::isfinite(ChannelValue(ch, q))) {
                        sums.shift[q] = ValueOf(ch, q);
                        have[q] = true;
                        ++found;
                    }
            }
            ChannelStats& cs = out[static_cast<std::size_t>(c)];
#ifdef TESMORA_AVX2_SCAN
            if (avx2)
                ScanBlockAvx2(buf, c, start, end, sums, cs.excluded);
            else
#endif
                ScanBlock(buf, c, start, end, sums, cs.excluded);
            for (int q = 0; q < 4; ++q) {
                cs.series[static_cast<std::size_t>(q)].notFinite +=
                    static_cast<std::int32_t>(sums.notFinite[q]);
                if (sums.Count(q) == 0) continue;
                // A block that holds a new extreme: where in it (the first such sample; an
                // extreme equal to one before keeps the earlier sample).
                if (sums.lo[q] < lo[c][q]) {
                    lo[c][q] = sums.lo[q];
                    loAt[c][q] = FirstAt(buf, c, q, start, end, sums.lo[q]);
                }
                if (sums.hi[q] > hi[c][q]) {
                    hi[c][q] = sums.hi[q];
                    hiAt[c][q] = FirstAt(buf, c, q, start, end, sums.hi[q]);
                }
                if (!haveOrigin[c][q]) {
                    origin[c][q] = sums.shift[q];
                    haveOrigin[c][q] = true;
                }
                total[c][q].Add(sums.ToMoments(q, start, origin[c][q]));
            }
        }
    }

    const double samplesPerMinute = store.Rate > 0 ? 60000.0 / store.Rate : 0.0;
    for (int c = 0; c < channels; ++c)
        for (int q = 0; q < 4; ++q) {
            SeriesStats& s = out[static_cast<std::size_t>(c)].series[static_cast<std::size_t>(q)];
            const ChannelData& chA = buf[a].Ch[c];
            const ChannelData& chB = buf[b].Ch[c];
            if (Valid(chA, q)) s.atA = ValueOf(chA, q);
            if (Valid(chB, q)) s.atB = ValueOf(chB, q);
            const Moments& m = total[c][q];
            s.valid = static_cast<std::int32_t>(m.n);
            if (s.valid < 2) continue;
            s.min = lo[c][q];
            s.minIndex = loAt[c][q];
            s.max = hi[c][q];
            s.maxIndex = hiAt[c][q];
            s.mean = origin[c][q] + m.meanX;
            s.sd = std::sqrt(m.m2X / (m.n - 1));
            // The times of valid samples differ, so m2T > 0 with two of them.
            if (m.m2T > 0) s.slopePerMinute = m.cXT / m.m2T * samplesPerMinute;
        }
    return out;
}

} // namespace tesmora
