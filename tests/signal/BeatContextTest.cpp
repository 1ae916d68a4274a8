// rhyscan's second look at a beat: the first look's calls of the beats around
// it, of the whole recording and of the beat's shape group, in the columns the
// trainer gave its second trees.
#include "tools/rhyscan/BeatContext.h"

#include <gtest/gtest.h>

namespace {

// Ventricular beats every other beat (bigeminy): beats 1 and 3 of five, which
// are also of a shape group of their own.
TEST(BeatContext, BeatsAroundRecordingAndGroupInTheirColumns)
{
    const std::vector<double> normal{0.9, 0.05, 0.05, 0, 0}, ventricular{0.1, 0.1, 0.8, 0, 0};
    const std::vector<std::vector<double>> p{normal, ventricular, normal, ventricular, normal};
    std::vector<rhy::BeatFeatureRow> rows(5);
    for (size_t b = 0; b < rows.size(); ++b) {
        rows[b][0] = static_cast<float>(b);  // to see the features come along
        rows[b][37] = b % 2 ? 0.4f : 0.6f;   // the group's share
    }
    const std::vector<rhy::ContextRow> c = rhy::ComputeBeatContext(p, rows);
    ASSERT_EQ(c.size(), 5u);
    // Beat 1: its own N, S, V; beat -1 is missing; then beats 0, 2 and 3.
    const std::vector<float> expected{0.1f, 0.1f, 0.8f, -1.0f, -1.0f, 0.05f, 0.05f, 0.05f, 0.05f, 0.1f, 0.8f};
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_FLOAT_EQ(c[1][i], expected[i]) << i;
    // Recording means of S and V, then the group's: the two ventricular beats.
    EXPECT_FLOAT_EQ(c[1][11], 0.07f);
    EXPECT_FLOAT_EQ(c[1][12], 0.35f);
    EXPECT_FLOAT_EQ(c[1][13], 0.1f);
    EXPECT_FLOAT_EQ(c[1][14], 0.8f);
    EXPECT_FLOAT_EQ(c[4][14], 0.05f);
    // The last beat has nothing after it.
    EXPECT_FLOAT_EQ(c[4][7], -1.0f);
    EXPECT_FLOAT_EQ(c[4][10], -1.0f);
    EXPECT_FLOAT_EQ(c[3][rhy::kContextColumns], 3.0f);
    EXPECT_TRUE(rhy::ComputeBeatContext({}, {}).empty());
}

}  // namespace
