#include "signal/QrsDetector.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using ecg::QrsDetectorState;

// Feeds `count` samples of value x; returns the delays reported, with the
// sample number (from 0) at which each came.
struct Report {
    int sample;
    int delay;
};
std::vector<Report> Feed(QrsDetectorState& s, int count, int16_t x = 0)
{
    std::vector<Report> reports;
    for (int i = 0; i < count; ++i)
        if (const int d = ecg::QRSDetect(s, x)) reports.push_back({i, d});
    return reports;
}

// A train of QRS-like spikes: 3-sample triangles of `height` every `period`
// samples, optionally doubled `gap` samples later.
std::vector<int16_t> SpikeTrain(int count, int period, int16_t height, int gap = 0)
{
    std::vector<int16_t> x(static_cast<size_t>(count), 0);
    auto spike = [&](int at) {
        if (at + 2 >= count) return;
        x[static_cast<size_t>(at)] = static_cast<int16_t>(height / 2);
        x[static_cast<size_t>(at + 1)] = height;
        x[static_cast<size_t>(at + 2)] = static_cast<int16_t>(height / 2);
    };
    for (int at = period / 2; at < count; at += period) {
        spike(at);
        if (gap > 0) spike(at + gap);
    }
    return x;
}

QrsDetectorState AfterLearning()
{
    QrsDetectorState s;
    ecg::ResetQRSDetector(s);
    s.learning = false;
    s.firstBeat = false;
    s.qrsPeaks = {40, 40, 40, 40, 40};
    s.qrsMedian = 40;
    s.detThreshold = 15;
    return s;
}

TEST(QrsDetector, ConstantInputNeverReportsABeat)
{
    for (int16_t level : {int16_t{0}, int16_t{2048}, int16_t{4095}, int16_t{-32768}, int16_t{32767}}) {
        QrsDetectorState s;
        ecg::ResetQRSDetector(s);
        EXPECT_TRUE(Feed(s, 128 * 70, level).empty()) << "level " << level;
    }
}

TEST(QrsDetector, FirstTwoLearningBeatsAreNotReportedLaterOnesWithDelay50)
{
    QrsDetectorState s;
    ecg::ResetQRSDetector(s);
    const std::vector<int16_t> x = SpikeTrain(620, 100, 400);  // 6 beats within the 5-s learning time
    std::vector<Report> reports;
    for (size_t i = 0; i < x.size(); ++i)
        if (const int d = ecg::QRSDetect(s, x[i])) reports.push_back({static_cast<int>(i), d});
    EXPECT_TRUE(s.learning);
    ASSERT_EQ(reports.size(), 4u);  // spikes 3 to 6
    for (const Report& r : reports) {
        EXPECT_EQ(r.delay, 50);
        // The detection point lies a few samples after the spike (filter delays).
        const int spikeAt = r.sample - r.delay;
        EXPECT_EQ((spikeAt + 50) % 100 < 30, true) << "report at " << r.sample;
    }
    EXPECT_GT(reports.front().sample, 250);
}

TEST(QrsDetector, PeaksCloserThan32SamplesMergeIntoOneBeat)
{
    QrsDetectorState s;
    ecg::ResetQRSDetector(s);
    // Double spikes 20 samples apart, once per second, for 20 s.
    const std::vector<int16_t> x = SpikeTrain(128 * 20, 128, 400, 20);
    int reports = 0;
    for (int16_t v : x) reports += ecg::QRSDetect(s, v) > 0;
    EXPECT_EQ(reports, 20 - 2);  // one per pair; learning hides the first two
}

TEST(QrsDetector, NoisePeakWithin38SamplesOfABeatIsNoSearchBackCandidate)
{
    struct Case {
        uint16_t sinceBeat;  // before the evaluating sample (which adds one)
        bool candidate;
    };
    for (const Case c : {Case{47, false}, Case{48, true}, Case{80, true}}) {
        QrsDetectorState s = AfterLearning();
        s.heldPeak = 10;  // below the threshold of 15: noise
        s.holdCount = 1;
        s.sinceBeat = c.sinceBeat;
        EXPECT_EQ(ecg::QRSDetect(s, 0), 0);
        EXPECT_EQ(s.searchPeak, c.candidate ? 10 : 0) << "sinceBeat " << c.sinceBeat;
        if (c.candidate) {
            EXPECT_EQ(s.searchLoc, c.sinceBeat + 1 - 10);
        }
    }
}

TEST(QrsDetector, SearchBackStartsAfterOneAndAHalfMedianRr)
{
    QrsDetectorState s = AfterLearning();
    s.rrIntervals = {100, 100, 100, 100, 100};
    s.heldPeak = 40;  // a QRS with RR 100
    s.holdCount = 1;
    s.sinceBeat = 109;
    EXPECT_EQ(ecg::QRSDetect(s, 0), 50);
    EXPECT_EQ(s.rrMedian, 100);
    EXPECT_EQ(s.rrLimit, 160);

    s.searchPeak = 12;  // a missed beat 80 samples after the last one
    s.searchLoc = 80;
    const std::vector<Report> reports = Feed(s, 200);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].sample, 150);  // sinceBeat went from 11 to 161 > 160
    EXPECT_EQ(reports[0].delay, 161 - 80 + 40);
    EXPECT_EQ(s.rrIntervals[1], 80);
    EXPECT_EQ(s.qrsPeaks[1], 12);
}

TEST(QrsDetector, SearchBackOfAnEarlyCandidateOnlyReportsAfter128Samples)
{
    QrsDetectorState s = AfterLearning();
    s.rrLimit = 60;
    s.sinceBeat = 10;
    s.searchPeak = 12;
    s.searchLoc = 45;  // below 46: reported without touching the buffers
    const std::vector<Report> reports = Feed(s, 200);
    EXPECT_TRUE(reports.empty());  // sinceBeat 61 passes the limit first: candidate dropped
    EXPECT_EQ(s.searchPeak, 0);

    s = AfterLearning();
    s.rrLimit = 150;
    s.sinceBeat = 10;
    s.searchPeak = 12;
    s.searchLoc = 45;
    const std::vector<Report> late = Feed(s, 200);
    ASSERT_EQ(late.size(), 1u);
    EXPECT_EQ(late[0].delay, 151 - 45 + 40);
    EXPECT_EQ(s.rrIntervals, (std::array<uint16_t, 5>{128, 128, 128, 128, 128}));
}

TEST(QrsDetector, RelearnsAfter50SecondsWithoutBeats)
{
    QrsDetectorState s = AfterLearning();
    s.rrMedian = 90;
    s.rrLimit = 145;
    s.noiseMedian = 3;
    s.windowMax = 33;
    Feed(s, 1280 * 5 - 1);
    EXPECT_EQ(s.rrLimit, 145);
    Feed(s, 1);
    EXPECT_EQ(s.rrMedian, 128);
    EXPECT_EQ(s.rrLimit, 211);
    EXPECT_EQ(s.noiseMedian, 0);
    EXPECT_EQ(s.qrsPeaks, (std::array<uint16_t, 5>{33, 0, 0, 0, 0}));
    EXPECT_EQ(s.rrIntervals, (std::array<uint16_t, 5>{128, 128, 128, 128, 128}));
}

TEST(QrsDetector, LearningEndsAfterFiveOneSecondWindows)
{
    QrsDetectorState s;
    ecg::ResetQRSDetector(s);
    Feed(s, 5 * 128 - 1);
    EXPECT_TRUE(s.learning);
    Feed(s, 1);
    EXPECT_FALSE(s.learning);
}

// Every decision of the detector needs a level strictly above its limit: a
// peak equal to the threshold is noise, a learning peak of 4 is ignored, and
// search-back needs both more than rrLimit samples and more than half the
// threshold.
TEST(QrsDetector, LevelsMustExceedTheirLimitsStrictly)
{
    for (const uint16_t held : {uint16_t{4}, uint16_t{5}}) {
        QrsDetectorState s;
        ecg::ResetQRSDetector(s);
        s.heldPeak = held;  // threshold 0 during the first learning peak
        s.holdCount = 1;
        EXPECT_EQ(ecg::QRSDetect(s, 0), 0);
        EXPECT_EQ(s.firstBeat, held == 4) << "learning peak " << held;
    }
    for (const uint16_t held : {uint16_t{15}, uint16_t{16}}) {
        QrsDetectorState s = AfterLearning();  // threshold 15
        s.heldPeak = held;
        s.holdCount = 1;
        s.sinceBeat = 99;
        EXPECT_EQ(ecg::QRSDetect(s, 0), held == 15 ? 0 : 50) << "peak " << held;
        EXPECT_EQ(s.noisePeaks[0], held == 15 ? 15 : 0);
    }
    struct SearchCase {
        uint16_t sinceBeat;   // before the sample, which adds one
        uint16_t searchPeak;  // half the threshold of 15 is 7
        int delay;
    };
    for (const SearchCase c : {SearchCase{59, 8, 0}, SearchCase{60, 7, 0}, SearchCase{60, 8, 61 - 50 + 40}}) {
        QrsDetectorState s = AfterLearning();
        s.rrLimit = 60;
        s.sinceBeat = c.sinceBeat;
        s.searchPeak = c.searchPeak;
        s.searchLoc = 50;
        EXPECT_EQ(ecg::QRSDetect(s, 0), c.delay) << "sinceBeat " << c.sinceBeat << " searchPeak " << c.searchPeak;
    }
}

TEST(QrsDetector, MedianSortsDescendingAndTakesTheMiddle)
{
    struct Case {
        std::vector<uint16_t> values;
        uint16_t median;
    };
    const Case cases[] = {
        {{5, 1, 4, 2, 3}, 3}, {{9, 1, 5}, 5}, {{1, 2, 3, 4}, 2}, {{7, 7, 1, 1, 7}, 7}, {{6}, 6}, {{65535, 0}, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ecg::QrsMedian(c.values.data(), static_cast<int>(c.values.size())), c.median);
}

TEST(QrsDetector, ResetKeepsTheRrHistory)
{
    QrsDetectorState s = AfterLearning();
    s.rrIntervals = {90, 91, 92, 93, 94};
    s.searchLoc = 70;
    ecg::ResetQRSDetector(s);
    EXPECT_TRUE(s.learning);
    EXPECT_EQ(s.rrMedian, 128);
    EXPECT_EQ(s.rrLimit, 192);
    EXPECT_EQ(s.rrIntervals, (std::array<uint16_t, 5>{90, 91, 92, 93, 94}));
    EXPECT_EQ(s.searchLoc, 70);
}

}  // namespace
