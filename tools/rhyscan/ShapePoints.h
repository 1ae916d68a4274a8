#pragma once
#include <array>

// The beat against the recording's dominant beat at a few fixed points around
// R. Correlation and energy measures see how alike two shapes are, not where
// they part: a ventricular beat parts from the dominant one in its onset and
// its late QRS, noise anywhere at random.
namespace rhy {

inline constexpr int kShapePointCount = 8;
using ShapePointRow = std::array<float, kShapePointCount>;

// Column names, in the order of ShapePointRow.
const std::array<const char*, kShapePointCount>& ShapePointNames();

// The farthest samples the points read before and after R.
inline constexpr int kShapePointsBefore = 22, kShapePointsAfter = 33;

// beat and dominant: shapes at 256 per second with R at index r and at least
// kShapePointsBefore samples before it and kShapePointsAfter after it;
// qrsHeight: the dominant QRS's peak to peak. Each point is the mean
// difference over 4 samples (16 ms) in dominant QRS heights (0 for a flat one).
ShapePointRow ShapePoints(const float* beat, const float* dominant, int r, float qrsHeight);

}  // namespace rhy
