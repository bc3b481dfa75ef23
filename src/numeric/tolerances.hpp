#pragma once

namespace cmatinv {

// Absolute thresholds, never scaled by the size of the entries.

// The determinant gate and the zero-pivot test of the elimination.
constexpr double ZERO_PIVOT_TOLERANCE = 1e-200;
// A pivot of the determinant's own elimination counts as zero below this, part by part.
constexpr double DET_PIVOT_TOLERANCE = 1e-50;
// Entries of the reduced matrix whose parts both fall below this are set to zero.
constexpr double FLUSH_TOLERANCE = 1e-10;

}  // namespace cmatinv
