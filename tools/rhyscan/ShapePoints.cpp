#include "tools/rhyscan/ShapePoints.h"

#include <cstddef>

namespace rhy {

namespace {

// Samples from R: -80, -40, -20, 0, +20, +40, +80 and +120 ms.
constexpr std::array<int, kShapePointCount> kPoints{-20, -10, -5, 0, 5, 10, 20, 31};

}  // namespace

const std::array<const char*, kShapePointCount>& ShapePointNames()
{
    static const std::array<const char*, kShapePointCount> names{
        "shape_m80", "shape_m40", "shape_m20", "shape_0", "shape_p20", "shape_p40", "shape_p80", "shape_p120"};
    return names;
}

ShapePointRow ShapePoints(const float* beat, const float* dominant, int r, float qrsHeight)
{
    ShapePointRow f{};
    if (qrsHeight <= 1e-6f) return f;
    for (int k = 0; k < kShapePointCount; ++k) {
        float d = 0;
        for (int i = r + kPoints[static_cast<std::size_t>(k)] - 2; i < r + kPoints[static_cast<std::size_t>(k)] + 2; ++i) d += beat[i] - dominant[i];
        f[static_cast<std::size_t>(k)] = d / 4.0f / qrsHeight;
    }
    return f;
}

}  // namespace rhy
