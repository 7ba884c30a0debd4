#pragma once
// Plausible demo recordings of both device models, the same bytes on every run.

#include "lqd_encoder.h"

#include <vector>

namespace tesmora::demo {

/// Two hours of a three-channel device at 500 ms: slow waves, a desaturation, a probe-off
/// stretch on channel 3, a few device error codes, skipped records and one counter wrap.
struct ThreeChannelDemo {
    lqd::Ws56Header header;
    std::vector<lqd::Ws56Record> records;
};
/// steps: time steps of 500 ms (two hours by default; 345,600 is the largest recording).
ThreeChannelDemo MakeThreeChannelDemo(int steps = 2 * 3600 * 2);

/// One hour of a single-channel device at 500 ms: stamped and untimed records, and two gaps
/// in the stamps, one plain (read as "P") and one flagged as an error (read as "E").
struct SingleChannelDemo {
    lqd::Ws31Header header;
    std::vector<lqd::Ws31Record> records;
};
SingleChannelDemo MakeSingleChannelDemo();

} // namespace tesmora::demo
