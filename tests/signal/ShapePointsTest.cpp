// rhyscan's comparison of a beat with the dominant beat at fixed points around
// R: where the two part, in heights of the dominant QRS.
#include "tools/rhyscan/ShapePoints.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr int kR = 26, kLength = 64;

// A QRS-like bump of the given height and width (samples), `shift` samples after R.
std::vector<float> Bump(float height, float width, int shift = 0)
{
    std::vector<float> w(kLength);
    for (int i = 0; i < kLength; ++i) {
        const float t = static_cast<float>(i - kR - shift) / width;
        w[static_cast<size_t>(i)] = height * std::exp(-t * t);
    }
    return w;
}

}  // namespace

TEST(ShapePoints, MeasuresWhereTheBeatPartsFromTheDominantOne)
{
    const std::vector<float> dominant = Bump(2.0f, 3.0f);
    const std::vector<float> wide = Bump(2.0f, 12.0f);
    struct Case {
        const char* name;
        std::vector<float> beat;
        float qrsHeight;
        std::array<float, rhy::kShapePointCount> low, high;  // each point's bounds
    };
    const Case cases[] = {
        {"the dominant beat itself", dominant, 2.0f, {0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}},
        // Half as high: at R half a dominant QRS lower (a little less as the mean of 4 samples), far off nothing.
        {"half the height", Bump(1.0f, 3.0f), 2.0f, {-0.01f, -0.01f, -0.1f, -0.5f, -0.1f, -0.01f, -0.01f, -0.01f},
         {0, 0, 0, -0.4f, 0, 0, 0, 0}},
        // Wide: higher than the dominant one on both sides of R, nearly equal at R.
        {"wide", wide, 2.0f, {0, 0.1f, 0.5f, 0, 0.5f, 0.1f, 0, -0.01f}, {0.2f, 1, 1, 0.2f, 1, 1, 0.2f, 0.05f}},
        // 20 ms late: lower at R, higher where the dominant one has come down.
        {"later", Bump(2.0f, 3.0f, 5), 2.0f, {-0.01f, -0.01f, -0.2f, -1, 0.5f, 0, -0.01f, -0.01f},
         {0, 0, 0, -0.5f, 1, 0.6f, 0.05f, 0.01f}},
        // A dominant beat without height gives nothing to measure against.
        {"flat dominant", wide, 0.0f, {0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const rhy::ShapePointRow f = rhy::ShapePoints(c.beat.data(), dominant.data(), kR, c.qrsHeight);
        for (size_t k = 0; k < f.size(); ++k) {
            SCOPED_TRACE(rhy::ShapePointNames()[k]);
            EXPECT_GE(f[k], c.low[k]);
            EXPECT_LE(f[k], c.high[k]);
        }
    }
}
