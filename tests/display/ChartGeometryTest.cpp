#include "display/ChartGeometry.h"
#include "display/ChartState.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

using namespace chart;

TEST(ChartGeometry, PulseAndGainIndicatorPerGain)
{
    const struct {
        float gain;
        int pulse;
        double percent;
    } cases[] = {{1, 16, 50}, {2, 31, 100}, {3, 45, 150}, {6, 89, 300}};
    for (const auto& c : cases) {
        EXPECT_EQ(PulseHeight(438, c.gain), c.pulse) << c.gain;
        EXPECT_EQ(GainPercent(c.gain), c.percent) << c.gain;
    }
    EXPECT_EQ(PulseBaseline(438), 219);
}

TEST(ChartGeometry, GridLines)
{
    const GridLines g = GridLinesFor(kChartSize);
    ASSERT_EQ(g.majorX.size(), 11u);
    ASSERT_EQ(g.majorY.size(), 7u);
    EXPECT_EQ(g.majorX[1], 73);
    EXPECT_EQ(g.majorX[3], 219);  // 3 x 73.3
    EXPECT_EQ(g.majorX[10], 732);
    EXPECT_EQ(g.majorY[2], 146);
    EXPECT_EQ(g.majorY[6], 437);
    EXPECT_EQ(g.minorY[1], 14);   // 14.6
    EXPECT_EQ(g.minorY[10], 146);
    EXPECT_EQ(g.minorX[1], 14);   // 14.66
    EXPECT_EQ(g.minorX[3], 43);
}

TEST(ChartGeometry, WindowIsClampedAndNeverWraps)
{
    EXPECT_EQ(ExtraSecondsOf(40, 30), 10);
    EXPECT_EQ(ExtraSecondsOf(20, 30), -10);
    // A long foreign recording: 2^31 seconds and more stay positive.
    EXPECT_EQ(ExtraSecondsOf(int64_t(1) << 40, 30), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(ExtraSecondsOf(70000, 30), 69970);  // beyond the 16 bits the value once had

    EXPECT_EQ(WindowStart(10, 128), 9 * 128);  // second S - 31
    EXPECT_EQ(WindowStart(1, 256), 0);
    EXPECT_EQ(WindowStart(-10, 256), 0);       // shorter than 31 s: from the first sample
    EXPECT_EQ(WindowStart(std::numeric_limits<int32_t>::max(), 256),
              (int64_t(std::numeric_limits<int32_t>::max()) - 1) * 256);
}

TEST(ChartGeometry, ResamplingTo128)
{
    const std::vector<int16_t> in256 = {0, 10, 20, 31, 40, 50};
    const auto out = ResampleTo128(in256, 256, 0);
    EXPECT_TRUE(out.empty());
    // 256/s: each output is the mean of two neighbours; 128/s: the next sample.
    std::vector<int16_t> second256(512), second128(128);
    for (int i = 0; i < 512; ++i) second256[size_t(i)] = int16_t(i * 3);
    for (int i = 0; i < 128; ++i) second128[size_t(i)] = int16_t(i * 5);
    const auto a = ResampleTo128(second256, 256, 2);
    ASSERT_EQ(a.size(), 256u);
    EXPECT_EQ(a[0], 1);    // (0 + 3) / 2 truncated
    EXPECT_EQ(a[10], 61);  // (60 + 63) / 2
    EXPECT_EQ(a[255], 0);  // the last entry is never filled
    const auto b = ResampleTo128(second128, 128, 1);
    EXPECT_EQ(b[0], 5);
    EXPECT_EQ(b[126], 635);
}

TEST(ChartGeometry, AnnotationsSitOverTheirBeatsInsideTheirRows)
{
    // R = 128, S = 40: the trace window starts at second 9 (sample 1152).
    const struct {
        int64_t t;
        bool shown;
        QPoint at;
    } cases[] = {
        {1152, true, {0, 10}},      // first sample of the first row
        {1408, true, {146, 10}},    // two seconds later: 256 x 732 / 1280
        {1152 + 1280, true, {0, 156}},
        {1152 + 2560 + 640, true, {366, 302}},
        {1151, false, {}},          // before the window
        {1152 + 3840, false, {}},   // the last second is not drawn
    };
    for (const auto& c : cases) {
        QPoint at;
        EXPECT_EQ(AnnotationPosition(c.t, WindowStart(10, 128), 128, kChartSize, at), c.shown) << c.t;
        if (c.shown) {
            EXPECT_EQ(at, c.at) << c.t;
        }
    }
    QPoint at;
    ASSERT_TRUE(AnnotationPosition(2 * 1408, WindowStart(10, 256), 256, kChartSize, at));
    EXPECT_EQ(at, QPoint(146, 10));  // the same beat at 256/s
}

TEST(ViewerControls, GainColourAndEngineeringSteps)
{
    ChartDisplayState s;
    EXPECT_EQ(s.ChartGain, 2.0f);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(viewer::ZoomIn(s));
    EXPECT_EQ(s.ChartGain, 5.0f);
    EXPECT_TRUE(viewer::ZoomIn(s));
    EXPECT_FALSE(viewer::ZoomIn(s));  // at 6: no change, no redraw
    EXPECT_EQ(s.ChartGain, 6.0f);
    EXPECT_TRUE(viewer::Recover(s));
    EXPECT_EQ(s.ChartGain, 2.0f);
    EXPECT_TRUE(viewer::ZoomOut(s));
    EXPECT_FALSE(viewer::ZoomOut(s));
    EXPECT_EQ(s.ChartGain, 1.0f);

    s.ChartColour.clear();  // a missing COLOR key: the first click gives pink
    viewer::ToggleColour(s);
    EXPECT_EQ(s.ChartColour, "1");
    viewer::ToggleColour(s);
    EXPECT_EQ(s.ChartColour, "0");

    EXPECT_EQ(viewer::NextDisplayMode(s), 8);
    EXPECT_EQ(viewer::NextDisplayMode(s), 7);
    s.ChartMode = 4;
    EXPECT_EQ(viewer::NextDisplayMode(s), 5);

    // From 1.6, eleven presses give 3.80 and the twelfth lands just above 4: 1.00.
    s.TracePenWidth = 1.6f;
    for (int i = 0; i < 11; ++i) viewer::NextPenWidth(s);
    EXPECT_EQ(QString::number(double(s.TracePenWidth), 'f', 2), "3.80");
    EXPECT_EQ(viewer::NextPenWidth(s), 1.0f);

    EXPECT_EQ(viewer::NextPlusCounter(90), 100);
    EXPECT_EQ(viewer::NextPlusCounter(100), 0);
}

}  // namespace
