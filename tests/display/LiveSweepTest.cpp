// The live sweep's display step on a chart-sized canvas, fed from a plain list of samples.
#include "display/ChartGeometry.h"
#include "display/LiveSweep.h"
#include <QPainter>
#include <gtest/gtest.h>
#include <deque>

namespace {

struct ListSource : live::SampleSource {
    std::deque<std::int16_t> samples;
    bool running = true;
    bool streaming() const override { return running; }
    std::uint32_t readableSamples() override { return static_cast<std::uint32_t>(samples.size()); }
    std::int16_t takeSample() override
    {
        const std::int16_t s = samples.front();
        samples.pop_front();
        return s;
    }
    void add(std::int16_t value, int count) { samples.insert(samples.end(), count, value); }
};

const QRgb kBlack = qRgb(0, 0, 0);

int BlackInColumn(const QImage& image, int x)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        n += image.pixel(x, y) == kBlack ? 1 : 0;
    return n;
}

live::LiveSweep ChartSweep()
{
    live::LiveSweep sweep(chart::kChartSize);
    sweep.setScale(live::kDefaultStreamOffset, live::LivePixelsPerUnit(2.0f, chart::kChartSize.height()));
    return sweep;
}

TEST(LiveSweep, TenSecondsAcrossTheCanvasThenANewSweepOnFreshGrid)
{
    live::LiveSweep sweep = ChartSweep();
    ListSource source;
    source.add(2048, 2559);
    EXPECT_EQ(sweep.Step(source), 2559);
    EXPECT_EQ(sweep.sweepsStarted(), 0);
    EXPECT_EQ(sweep.sweepPosition(), 2559);
    EXPECT_EQ(BlackInColumn(sweep.image(), 600), 1) << "the first sweep reached the right side";

    source.add(2048, 1);
    sweep.Step(source);
    EXPECT_EQ(sweep.sweepsStarted(), 1) << "a 733-pixel canvas holds 2560 samples";
    EXPECT_EQ(sweep.sweepPosition(), 0);
    source.add(2048, 10);
    sweep.Step(source);
    EXPECT_EQ(BlackInColumn(sweep.image(), 600), 0) << "the new sweep repainted the grid";
    EXPECT_EQ(BlackInColumn(sweep.image(), 1), 1);
}

TEST(LiveSweep, RecorderValuesLandOnTheCanvasAtTheChartsScale)
{
    const int height = chart::kChartSize.height();
    struct Case {
        std::int16_t value;
        int row;
    };
    // The baseline in the middle; one millivolt (186 units) two minor squares (about 29 pixels) up at
    // the standard gain; the converter's limits on the paper's edges.
    for (Case c : {Case{2048, height / 2}, Case{2048 + 186, height / 2 - 29}, Case{4095, 0}, Case{0, height - 1}}) {
        live::LiveSweep sweep = ChartSweep();
        ListSource source;
        source.add(c.value, 200);
        sweep.Step(source);
        int found = -1;
        for (int y = 0; y < height; ++y)
            if (sweep.image().pixel(30, y) == kBlack)
                found = y;
        EXPECT_NEAR(found, c.row, 1) << c.value;
        EXPECT_EQ(BlackInColumn(sweep.image(), 30), 1) << c.value;
    }
}

TEST(LiveSweep, NothingIsDrawnOrTakenWhileTheStreamIsStopped)
{
    live::LiveSweep sweep = ChartSweep();
    const QImage before = sweep.image();
    ListSource source;
    source.add(3000, 50);
    source.running = false;
    EXPECT_EQ(sweep.Step(source), 0);
    EXPECT_EQ(source.samples.size(), 50u);
    EXPECT_EQ(sweep.image(), before);
    EXPECT_EQ(before.pixel(1, 1), qRgb(255, 255, 255));
    EXPECT_EQ(before.pixel(0, 5), qRgb(255, 122, 122)) << "major line at x 0";
}

}  // namespace
