// Beat measurement and the classification helpers on constructed signals.
#include "signal/BeatAnalysis.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using Ring = std::array<int16_t, ecg::kRingSize>;

// A ring whose current index is `a`, flat at `level`, with `values` placed
// at positions (samples back from a) first, first+1, ... (newest first).
Ring RingWith(int a, int16_t level, int first, const std::vector<int16_t>& newestFirst)
{
    Ring ring;
    ring.fill(level);
    for (size_t k = 0; k < newestFirst.size(); ++k) {
        const int position = first + static_cast<int>(k);
        ring[static_cast<size_t>(((a - position) % ecg::kRingSize + ecg::kRingSize) % ecg::kRingSize)] = newestFirst[k];
    }
    return ring;
}

TEST(BeatMeasurement, PositiveAndNegativeComplexes)
{
    struct Case {
        const char* name;
        int16_t sign;
        int a;  // ring index, also across the wrap-around
    };
    for (const Case c : {Case{"positive", 1, 300}, Case{"negative", -1, 300}, Case{"positive across the ring end", 1, 20}}) {
        // Triangle peaking 50 samples back (the ordinary detector delay).
        const std::vector<int16_t> qrs = {int16_t(20 * c.sign), int16_t(60 * c.sign), int16_t(100 * c.sign),
                                          int16_t(60 * c.sign), int16_t(20 * c.sign)};
        const Ring ring = RingWith(c.a, 0, 48, qrs);
        const ecg::BeatMeasurement m = ecg::MeasureBeat(ring, c.a, 50, 100, 0);
        SCOPED_TRACE(c.name);
        EXPECT_EQ(m.rPosition, 50);
        EXPECT_EQ(m.isoLevel, 0);
        EXPECT_EQ(m.pve, c.sign > 0 ? 100 : 0);
        EXPECT_EQ(m.nve, c.sign > 0 ? 0 : -100);
        EXPECT_EQ(m.area, 260);
        EXPECT_EQ(m.width, 39);  // 5 samples x 1000 >> 7
        EXPECT_EQ(m.noiseRatio, 0);
        EXPECT_EQ(m.noiseCount, 0);
        EXPECT_FALSE(m.widePremature);
    }
}

TEST(BeatMeasurement, NoDelayMeasuresNothing)
{
    const Ring ring = RingWith(100, 0, 48, {20, 60, 100, 60, 20});
    const ecg::BeatMeasurement m = ecg::MeasureBeat(ring, 100, 0, 100, 7);
    EXPECT_EQ(m.rPosition, 0);
    EXPECT_EQ(m.area, 0);
    EXPECT_EQ(m.isoLevel, 7);
}

TEST(BeatMeasurement, IsoLevelJumpOntoTheComplexKeepsThePreviousLevel)
{
    // A flat window: the iso point lands on a level 200 above the last beat's
    // while the highest value is within 8 of it, so the last level is kept.
    const Ring flat = RingWith(300, 200, 0, {});
    EXPECT_EQ(ecg::MeasureBeat(flat, 300, 50, 100, 0).isoLevel, 0);
    // A real complex on a moved baseline takes the new level.
    const Ring moved = RingWith(300, 200, 48, {220, 260, 300, 260, 220});
    EXPECT_EQ(ecg::MeasureBeat(moved, 300, 50, 100, 0).isoLevel, 200);
}

TEST(BeatMeasurement, NoiseBeforeTheBeatCountsTurningPoints)
{
    // Zig-zag of +-30 between 70 and 100 samples back; RR 120 samples looks
    // back to 0.6 x 120 + 50 = 122.
    std::vector<int16_t> zigzag;
    for (int k = 0; k < 30; ++k) zigzag.push_back(static_cast<int16_t>(k % 2 == 0 ? 30 : -30));
    Ring ring = RingWith(300, 0, 70, zigzag);
    const std::vector<int16_t> qrs = {20, 60, 100, 60, 20};
    for (size_t k = 0; k < qrs.size(); ++k) ring[static_cast<size_t>(300 - 48 - static_cast<int>(k))] = qrs[k];
    const ecg::BeatMeasurement m = ecg::MeasureBeat(ring, 300, 50, 120, 0);
    EXPECT_EQ(m.pve - m.nve, 100);
    EXPECT_EQ(m.noiseRatio, 60);  // (30 - -30) x 100 / 100
    EXPECT_GE(m.noiseCount, 28);
}

TEST(BeatMeasurement, RrInMilliseconds)
{
    const std::pair<uint16_t, int16_t> cases[] = {{0, 0},       {32, 250},     {128, 1000},
                                                  {4096, 32000}, {4097, 32000}, {65535, 32000}};
    for (const auto& [samples, ms] : cases) EXPECT_EQ(ecg::RrToMs(samples), ms) << samples;
}

TEST(MeasurementFilters, StepResponses)
{
    ecg::MeasurementFilterState f0, f1, f2;
    int y0 = 0, y1 = 0, y2 = 0;
    for (int i = 0; i < 2000; ++i) {
        y0 = ecg::MeasurementFilter(f0, 0, 1000);
        y1 = ecg::MeasurementFilter(f1, 1, 1000);
        y2 = ecg::MeasurementFilter(f2, 2, 1000);
        if (i == 0) {
            EXPECT_EQ(y0, 952);  // truncated 952.08
        }
    }
    EXPECT_EQ(y0, 0);                    // high-pass: the baseline goes
    EXPECT_NEAR(y1, 1000, 1);            // low-pass: flat at 0 Hz
    EXPECT_NEAR(y2, 890, 15);            // movement detector: about 0.9 below 1 Hz
}

TEST(VariabilityIndex, MeanAbsoluteDeviationInPerMille)
{
    struct Case {
        std::vector<int16_t> values;
        int index;
    };
    const Case cases[] = {
        {{800, 800, 800, 800}, 0},
        {{100, 120, 80}, 133},    // (0 + 20 + 20) x 1000 / 3 / 100
        {{100, 200}, 0},          // a jump above 1.5 x the previous value zeroes both
        {{0, 0, 0}, 0},           // mean below 1
        {{-500, 200, 100}, 0},    // mean below 1
        {{1000, 500, 1000}, 66},  // m 833; the jump back to 1000 zeroes d1 and d2: 167 x 1000 / 3 / 833
    };
    for (const Case& c : cases) EXPECT_EQ(ecg::VariabilityIndex(c.values), c.index);
}

TEST(GradeEctopy, GradesFromTheBeatTypes)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> types;
        bool irregular;
        bool shortPremature;
        uint8_t grade;
    };
    const std::vector<uint8_t> normal(20, 1);
    auto with = [&](std::initializer_list<std::pair<int, uint8_t>> changes) {
        std::vector<uint8_t> t = normal;
        for (const auto& [k, type] : changes) t[static_cast<size_t>(k)] = type;
        return t;
    };
    const Case cases[] = {
        {"none", normal, false, false, 1},
        {"one isolated type 5", with({{7, 5}}), false, false, 2},
        {"one isolated type 8", with({{7, 8}}), false, false, 2},
        {"three isolated type 8", with({{3, 8}, {9, 8}, {15, 8}}), false, false, 3},
        {"three isolated type 5", with({{3, 5}, {9, 5}, {15, 5}}), false, false, 3},
        {"two successive type 8", with({{3, 8}, {4, 8}}), false, false, 3},
        {"two successive type 5", with({{3, 5}, {4, 5}}), false, false, 4},
        {"bigeminy", with({{3, 5}, {5, 5}, {7, 5}}), false, false, 4},
        {"trigeminy", with({{2, 5}, {5, 5}, {8, 5}}), false, false, 4},
        {"six isolated type 8", with({{1, 8}, {4, 8}, {8, 8}, {11, 8}, {14, 8}, {18, 8}}), false, false, 4},
        {"irregular rhythm", with({{7, 5}}), true, false, 4},
        {"short premature beat", with({{7, 5}}), false, true, 4},
    };
    for (const Case& c : cases) {
        auto st = std::make_unique<ecg::AnalysisState>();
        st->countedBeats = static_cast<int16_t>(c.types.size());
        for (size_t k = 0; k < c.types.size(); ++k) st->beatMark[k] = c.types[k];
        st->findings.irregular = c.irregular;
        EXPECT_EQ(ecg::GradeEctopy(*st, c.shortPremature), c.grade) << c.name;
    }
}

}  // namespace
