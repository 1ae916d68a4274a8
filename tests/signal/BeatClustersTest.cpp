// rhyscan's grouping of a recording's beats by shape: copies of one shape,
// shifted or scaled, stay one group, other shapes get their own; a run of wide
// beats that outnumbers the narrow ones is still described as the wide group.
#include "tools/rhyscan/BeatClusters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr int kLength = 64, kR = 26;

// The windows as the grouping sees them: where they are kept.
rhy::ShapeWindows Seen(const std::vector<std::vector<float>>& windows)
{
    return {windows.begin(), windows.end()};
}

// A QRS-like bump of the given width (samples) centred `shift` samples after R,
// with a small wiggle that differs from beat to beat.
std::vector<float> Bump(float width, float height, int shift, int seed)
{
    std::vector<float> w(kLength);
    for (int i = 0; i < kLength; ++i) {
        const float t = static_cast<float>(i - kR - shift) / width;
        w[static_cast<size_t>(i)] = height * std::exp(-t * t) + 0.02f * height * std::sin(0.7f * static_cast<float>(i + 3 * seed));
    }
    return w;
}

// A wide beat of the other polarity with a late notch.
std::vector<float> Wide(int seed)
{
    std::vector<float> w = Bump(9.0f, -1.5f, 2, seed);
    const std::vector<float> notch = Bump(3.0f, 0.6f, 14, seed);
    for (int i = 0; i < kLength; ++i) w[static_cast<size_t>(i)] += notch[static_cast<size_t>(i)];
    return w;
}

TEST(BeatClusters, GroupsCopiesOfAShapeAndSeparatesOtherShapes)
{
    struct Case {
        const char* name;
        std::vector<std::vector<float>> windows;
        std::vector<int> groups;
    };
    const std::vector<float> flat(kLength, 0.0f);
    const Case cases[] = {
        {"shifted and scaled copies", {Bump(3, 1, 0, 0), Bump(3, 0.5f, 2, 1), Bump(3, 2, -2, 2), Bump(3, 1, 1, 3)}, {0, 0, 0, 0}},
        {"a wide beat among narrow ones", {Bump(3, 1, 0, 0), Bump(3, 1, 0, 1), Wide(2), Bump(3, 1, 0, 3), Wide(4)}, {0, 0, 1, 0, 1}},
        {"opposite polarity", {Bump(3, 1, 0, 0), Bump(3, -1, 0, 1), Bump(3, 1, 0, 2)}, {0, 1, 0}},
        {"a flat window is like nothing", {Bump(3, 1, 0, 0), flat, Bump(3, 1, 0, 1)}, {0, 1, 0}},
        {"no beats", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(rhy::GroupByShape(Seen(c.windows)), c.groups);
    }
}

TEST(BeatClusters, ARunOfWideBeatsThatOutnumbersTheNarrowOnesIsStillTheWideGroup)
{
    // Four narrow beats in a regular rhythm, then eight wide early ones in a run.
    std::vector<std::vector<float>> windows;
    std::vector<float> widths, prev, next, change;
    for (int b = 0; b < 12; ++b) {
        const bool wide = b >= 4;
        windows.push_back(wide ? Wide(b) : Bump(3, 1, 0, b));
        widths.push_back(wide ? 140.0f : 80.0f);
        prev.push_back(wide ? 0.7f : 1.0f);
        next.push_back(wide ? 0.7f : 1.0f);
        change.push_back(wide ? 0.3f : 0.0f);
    }
    const std::vector<int> group = rhy::GroupByShape(Seen(windows));
    const std::vector<rhy::GroupFeatures> f = rhy::DescribeGroups(Seen(windows), group, widths, prev, next, change);
    ASSERT_EQ(f.size(), windows.size());
    const rhy::GroupFeatures& narrow = f[0];
    const rhy::GroupFeatures& wide = f[11];
    EXPECT_FLOAT_EQ(narrow.share, 4.0f / 12);
    EXPECT_FLOAT_EQ(wide.share, 8.0f / 12);
    EXPECT_FLOAT_EQ(narrow.widthRatio, 1.0f);
    EXPECT_FLOAT_EQ(wide.widthRatio, 140.0f / 80);
    EXPECT_FLOAT_EQ(narrow.corrRegular, 1.0f);
    EXPECT_FLOAT_EQ(narrow.corrNarrow, 1.0f);
    EXPECT_LT(wide.corrRegular, 0.5f);
    EXPECT_LT(wide.corrNarrow, 0.5f);
    EXPECT_FLOAT_EQ(wide.prematurity, 0.7f);
    EXPECT_FLOAT_EQ(narrow.nextRatio, 1.0f);
}

}  // namespace

namespace {

// Noise gives a peak every few hundred milliseconds, each of a shape of its
// own: hours of it are many thousands of groups, and grouping took time in
// the square of the beats (a recording of hours took hours). Eight times the
// beats now take about eight times as long, in any build, and copies of a
// shape still find each other.
// Noise gives every beat a shape of its own; the beats are compared with a
// bounded number of groups (the time this saves is in bench/), yet copies of
// an early shape that come long after still join its group.
TEST(BeatClusters, AmongBeatsOfNoShapeInCommonLateCopiesJoinTheEarlyGroup)
{
    constexpr size_t kWindow = 24, kMany = 1600;
    std::vector<std::vector<float>> windows(kMany, std::vector<float>(kWindow));
    uint32_t seed = 99;
    for (std::vector<float>& w : windows)
        for (float& v : w) seed = seed * 1664525u + 1013904223u, v = static_cast<float>(seed >> 8);
    std::vector<float> beat(kWindow);
    for (size_t i = 0; i < kWindow; ++i) beat[i] = 1e7f * std::exp(-0.05f * (static_cast<float>(i) - 10.0f) * (static_cast<float>(i) - 10.0f));
    windows[5] = beat;
    for (size_t b = kMany - 500; b < kMany; b += 50) windows[b] = beat;
    const std::vector<int> group = rhy::GroupByShape(Seen(windows));
    ASSERT_EQ(group.size(), kMany);
    for (size_t b = kMany - 500; b < kMany; b += 50) EXPECT_EQ(group[b], group[5]) << b;
    EXPECT_GT(*std::max_element(group.begin(), group.end()), static_cast<int>(kMany / 2));
}

}  // namespace
