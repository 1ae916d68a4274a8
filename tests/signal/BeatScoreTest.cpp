// The beat scorer on small hand-made annotation pairs: pairing within the
// window, the AAMI classes and which pairs count for and against QRS, VEB
// and SVEB.
#include "tools/beatscore/BeatScore.h"
#include "tools/beatscore/MitRecords.h"
#include "MitBih.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using beatscore::Beat;

struct Expected {
    int64_t tp, fn, fp;
};

void ExpectRates(const beatscore::Rates& r, Expected e, const char* what)
{
    EXPECT_EQ(r.truePositives, e.tp) << what;
    EXPECT_EQ(r.falseNegatives, e.fn) << what;
    EXPECT_EQ(r.falsePositives, e.fp) << what;
}

TEST(BeatScore, PairsAndCountsBeatsByClass)
{
    constexpr int64_t kWindow = 38;  // 150 ms at 256 per second
    // MIT codes: 1 N, 5 V, 8 A, 6 F, 13 Q.
    struct Case {
        const char* name;
        std::vector<Beat> reference, test;
        Expected qrs, veb, sveb;
    };
    const Case cases[] = {
        {"close beats pair with their classes", {{1000, 1}, {2000, 5}, {3000, 8}}, {{1005, 1}, {1990, 5}, {3000, 8}},
         {3, 0, 0}, {1, 0, 0}, {1, 0, 0}},
        {"the window's edge still pairs", {{2000, 5}}, {{2038, 5}}, {1, 0, 0}, {1, 0, 0}, {0, 0, 0}},
        {"beyond the window: missed and extra", {{2000, 5}}, {{2039, 5}}, {0, 1, 1}, {0, 1, 1}, {0, 0, 0}},
        {"the nearest pairs, the other is extra", {{1000, 1}}, {{990, 1}, {1001, 5}}, {1, 0, 1}, {0, 0, 1},
         {0, 0, 0}},
        {"V on a fusion or unclassifiable beat counts neither way", {{1000, 6}, {2000, 13}}, {{1000, 5}, {2000, 5}},
         {2, 0, 0}, {0, 0, 0}, {0, 0, 0}},
        {"S on a V is a missed V and a false S", {{1000, 5}}, {{1000, 8}}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
        {"other beat codes fall into their AAMI class", {{1000, 2}, {2000, 10}, {3000, 4}}, {{1000, 1}, {2000, 5}, {3000, 8}},
         {3, 0, 0}, {1, 0, 0}, {1, 0, 0}},
        {"outside the scored part nothing counts, but border beats still pair",
         {{100, 5}, {490, 1}, {9500, 1}}, {{100, 1}, {200, 5}, {520, 5}}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
        {"a missed beat in the scored part", {{1000, 8}, {2000, 1}}, {{2000, 1}}, {1, 1, 0}, {0, 0, 0}, {0, 1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const beatscore::Counts counts = beatscore::CompareBeats(c.reference, c.test, kWindow, 500, 9000);
        ExpectRates(beatscore::Qrs(counts), c.qrs, "QRS");
        ExpectRates(beatscore::Veb(counts), c.veb, "VEB");
        ExpectRates(beatscore::Sveb(counts), c.sveb, "SVEB");
    }
}

TEST(BeatScore, RatesAndTableLine)
{
    beatscore::Counts c = beatscore::CompareBeats({{1000, 1}, {2000, 5}, {3000, 5}}, {{1000, 5}, {2000, 5}}, 38, 0, 10000);
    c += c;  // gross figures add the counts, not the percentages
    const beatscore::Rates v = beatscore::Veb(c);
    EXPECT_DOUBLE_EQ(v.Sensitivity(), 0.5);
    EXPECT_DOUBLE_EQ(v.PositivePredictivity(), 0.5);
    EXPECT_DOUBLE_EQ(beatscore::Sveb(c).Sensitivity(), 1.0);  // nothing to find
    EXPECT_EQ(beatscore::TableLine("r", c),
              "r            6   66.67 100.00  50.00  50.00      -      -   (4/4, 0/0)");
}

// In ventricular flutter the reference marks no beats: what an analyser finds
// there is neither extra nor missed, while beats around it are scored as usual.
TEST(BeatScore, FlutterIsLeftOutOfAPiece)
{
    constexpr int kRate = 256;
    beatscore::Recording r;
    r.samples.assign(30 * kRate, 2048);
    r.reference = {{2000, 1}, {3000, 5}, {6000, 1}};
    r.flutter = {{3500, 5500}};
    const std::vector<Beat> test{{2000, 1}, {3010, 5}, {3600, 5}, {4500, 5}, {5400, 1}, {5600, 1}, {6000, 1}};
    const beatscore::Counts c = beatscore::ScorePiece(r, test, kRate);
    ExpectRates(beatscore::Qrs(c), {3, 0, 1}, "QRS");  // only the one at 5600 is extra
    ExpectRates(beatscore::Veb(c), {1, 0, 0}, "VEB");
    EXPECT_FALSE(beatscore::IsScored(r, 4000, kRate));
    EXPECT_TRUE(beatscore::IsScored(r, 5500, kRate));
}


// Pieces cut later into a record are the same signal and beats, shifted: the
// piece starting 10 s in holds the second third of the first whole piece.
TEST(BeatScore, PiecesCutAtAnOffsetAreTheSameRecordShifted)
{
    const std::string folder = mitbih::RecordFolder();
    if (folder.empty()) GTEST_SKIP() << "MIT-BIH records not present";
    constexpr int kRate = 256;
    const std::vector<beatscore::Recording> from0 = beatscore::CutRecord(folder, "100", kRate, 30);
    const std::vector<beatscore::Recording> from10 = beatscore::CutRecord(folder, "100", kRate, 30, 10);
    ASSERT_FALSE(from0.empty());
    ASSERT_EQ(from10.size(), from0.size() - 1);  // the last 20 s are no whole piece
    const int64_t shift = 10 * kRate;
    EXPECT_TRUE(std::equal(from0[0].samples.begin() + shift, from0[0].samples.end(), from10[0].samples.begin()));
    size_t first = 0;
    while (from0[0].reference[first].sample < shift) ++first;
    ASSERT_LT(first, from0[0].reference.size());
    EXPECT_EQ(from10[0].reference[0].sample, from0[0].reference[first].sample - shift);
    EXPECT_EQ(from10[0].reference[0].code, from0[0].reference[first].code);
    EXPECT_TRUE(beatscore::CutRecord(folder, "100", kRate, 30, -1).empty());
}

}  // namespace
