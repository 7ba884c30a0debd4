#include "demo_recordings.h"

#include <cmath>
#include <cstdint>
#include <numbers>

namespace tesmora::demo {
namespace {

// A small generator of our own, so that every platform makes the same files.
class Noise {
public:
    explicit Noise(std::uint64_t seed) : state_(seed) {}
    double Uniform() { // [0, 1)
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return static_cast<double>(state_ >> 11) * 0x1.0p-53;
    }
    double Gauss(double sigma) { // sum of uniforms: close enough to normal, no libm branches
        double s = 0;
        for (int k = 0; k < 6; ++k) s += Uniform();
        return (s - 3.0) * sigma * std::numbers::sqrt2;
    }

private:
    std::uint64_t state_;
};

double Wave(double t, double period) {
    return std::sin(2 * std::numbers::pi * t / period);
}

// A dip centred at `at` seconds, `width` seconds wide.
double Dip(double t, double at, double width) {
    const double x = (t - at) / width;
    return std::exp(-x * x);
}

struct Tissue {
    float sto2, oxhb, dxhb;
};

// One channel's values at t seconds: StO2 in 60..75 % with slow waves and one desaturation
// that falls below 50 % for a minute or two, OXHb following the oxygenation and DXHb
// mirroring it, each with a little noise.
Tissue Sample(double t, double base, double phase, double desatAt, Noise& noise) {
    const double swing =
        0.025 * Wave(t + phase, 620) + 0.012 * Wave(t + 2 * phase, 97) + 0.004 * Wave(t, 11);
    const double desat = 0.24 * Dip(t, desatAt, 150);
    const double sto2 = base + swing - desat + noise.Gauss(0.002);
    const double oxhb =
        0.40 + 2.0 * (sto2 - base) + 0.03 * Wave(t + phase, 1500) + noise.Gauss(0.004);
    const double dxhb = 0.22 - 0.6 * (oxhb - 0.40) + 0.02 * Wave(t, 900) + noise.Gauss(0.004);
    return {static_cast<float>(sto2), static_cast<float>(oxhb), static_cast<float>(dxhb)};
}

} // namespace

ThreeChannelDemo MakeThreeChannelDemo(int kSteps) {
    ThreeChannelDemo demo;
    demo.header.start = lqd::BcdDateTime(2026, 3, 14, 9, 30, 0);
    const int endMinutes = 9 * 60 + 30 + kSteps / 120; // the device's end, to the minute
    demo.header.end =
        lqd::BcdDateTime(2026, 3, 14 + endMinutes / 1440, endMinutes / 60 % 24, endMinutes % 60, 0);
    demo.header.serial = "A0417";
    demo.header.patientId = "P-2026-031";
    demo.header.patientName = "Demo Patient";

    Noise noise(0x5eed0056);
    const double base[3] = {0.68, 0.64, 0.71};
    std::uint32_t counter = 58000; // wraps past 65,535 after about an hour
    for (int k = 0; k < kSteps; ++k) {
        // The device skipped a few records here and there: the reader fills those steps.
        const bool skipped = (k >= 3000 && k < 3003) || (k >= 9000 && k < 9010);
        const double t = k * 0.5;
        lqd::Ws56Record r;
        r.counter = counter;
        r.batt = static_cast<float>(3.95 - 0.25 * k / kSteps + noise.Gauss(0.003));
        for (int c = 0; c < 3; ++c) {
            const Tissue v = Sample(t, base[c], 130.0 * c, 2800 + 40 * c, noise);
            r.ch[static_cast<std::size_t>(c)] = {0, v.oxhb, v.dxhb, v.sto2};
        }
        if (k >= 2400 && k < 2404) r.ch[0].status = static_cast<std::uint16_t>(0x0040 | 3);
        if (k == 6100) r.ch[1].status = 0x0040 | 1;
        if (k >= 8400 && k < 9360) r.ch[2].status = 0x0040; // probe off: error without a code
        counter = (counter + 1) & 0xFFFF;
        if (!skipped) demo.records.push_back(r);
    }
    return demo;
}

SingleChannelDemo MakeSingleChannelDemo() {
    constexpr int kSteps = 3600 * 2; // one hour of 500 ms steps
    constexpr int kStartSeconds = 14 * 3600 + 5 * 60;
    SingleChannelDemo demo;
    demo.header.start = lqd::BcdDateTime(2026, 3, 14, 14, 5, 0);
    demo.header.end = {lqd::Bcd(15), lqd::Bcd(5), lqd::Bcd(0)};
    demo.header.serial = "B1122";

    Noise noise(0x5eed0031);
    bool afterGap = true; // the first record carries a stamp
    for (int k = 0; k < kSteps; ++k) {
        const bool plainGap = k >= 1800 && k < 1812; // 6 s without records
        const bool errorGap = k >= 4800 && k < 4820; // 10 s, flagged as an error
        if (plainGap || errorGap) {
            afterGap = true;
            continue;
        }
        const double t = k * 0.5;
        const Tissue v = Sample(t, 0.66, 40, 1700, noise);
        lqd::Ws31Record r{std::nullopt, v.sto2, v.oxhb, v.dxhb};
        if (afterGap) {
            // Steps after a gap are even, so their stamps fall on whole seconds.
            const int s = kStartSeconds + k / 2;
            r.stamp = lqd::Ws31Stamp(s / 3600, s / 60 % 60, s % 60, k == 4820 ? 0x80 : 0x00);
            afterGap = false;
        }
        demo.records.push_back(r);
    }
    demo.header.count = static_cast<std::uint16_t>(demo.records.size());
    return demo;
}

} // namespace tesmora::demo
