#pragma once
// The moving average that fills the display copy (Ave) of every sample.

#include "recording/store.h"

namespace tesmora {

/// Half-widths of the averaging choices "none", "3 points" .. "11 points".
inline constexpr int MAX_AVERAGE_HALF_WIDTH = 5;

/// Fills Ave[c] of samples 0..DataCount-1, channels 0..ChCount-1: with k = 0 an exact copy of
/// Ch[c]; otherwise the mean of samples max(0, j-k) .. min(N-1, j+k), carried from one sample
/// to the next by a running sum in double precision. A window that holds a value that is not
/// finite averages to NaN; it does not spoil the windows after it.
void CalcCompareData(RecordingStore& store, int k);

} // namespace tesmora
