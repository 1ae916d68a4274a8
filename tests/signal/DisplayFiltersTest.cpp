#include "signal/DisplayFilters.h"
#include "DisplayFilterGolden.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

using ecg::DisplayFilterChain;
using ecg::FilterMode;
using ecg::FilterSwitches;

std::vector<int16_t> Sine(double hz, int rate, double seconds, double amplitude)
{
    std::vector<int16_t> s(static_cast<size_t>(rate * seconds));
    for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<int16_t>(amplitude * std::sin(2 * M_PI * hz * double(i) / rate));
    return s;
}

// Largest magnitude over the second half of a block (the filters have settled).
int PeakOfSecondHalf(const std::vector<int16_t>& s)
{
    int peak = 0;
    for (size_t i = s.size() / 2; i < s.size(); ++i) peak = std::max(peak, std::abs(int(s[i])));
    return peak;
}

TEST(DisplayFilters, SamplesAreTruncatedAndSaturatedNeverWrapped)
{
    const struct {
        double in;
        int16_t out;
    } cases[] = {{1.9, 1},         {-1.9, -1},          {32766.99, 32766}, {32767.5, 32767},
                 {1e300, 32767},   {-32768.5, -32768},  {-1e300, -32768},  {std::nan(""), 0},
                 {std::numeric_limits<double>::infinity(), 32767}};
    for (const auto& c : cases) EXPECT_EQ(ecg::SaturateToSample(c.in), c.out) << c.in;
}

TEST(DisplayFilters, ConstantThroughEachStage)
{
    // The IIR passes a constant unchanged, the FIR within 0.1 %, and the notch
    // multiplies it by 1.01.
    for (int rate : {128, 256}) {
        ecg::HighCutIir iir;
        iir.Set(rate);
        int16_t y = 0;
        for (int i = 0; i < 4 * rate; ++i) y = iir.Step(1000);
        EXPECT_NEAR(y, 1000, 1) << rate;

        ecg::NotchFilter notch;
        notch.Set(0.99, 50, rate);
        for (int i = 0; i < 20 * rate; ++i) y = notch.Step(1000);
        EXPECT_NEAR(y, 1010, 2) << rate;
    }
    ecg::HighCutFir fir;
    fir.Clear();
    int16_t y = 0;
    for (int i = 0; i < 60; ++i) y = fir.Step(10000);
    EXPECT_NEAR(y, 10000, 10);

    ecg::HighCutIir other;
    other.Set(360);  // no coefficient set for this rate: output 0
    EXPECT_EQ(other.Step(1000), 0);
}

TEST(DisplayFilters, LowCutRunsForwardsAndBackwardsWithZeroPhase)
{
    // A symmetric pulse in the middle of a block keeps its peak where it was.
    FilterSwitches lowCutOnly;
    lowCutOnly.highCut = false;
    for (int rate : {128, 256}) {
        std::vector<int16_t> s(size_t(rate) * 10, 0);
        const size_t centre = s.size() / 2;
        for (int k = -8; k <= 8; ++k) s[centre + k] = static_cast<int16_t>(2000 - 240 * std::abs(k));
        DisplayFilterChain chain(lowCutOnly);
        chain.FilterDisplayBlock(s.data(), s.size(), rate);
        const auto peak = std::max_element(s.begin(), s.end()) - s.begin();
        EXPECT_EQ(size_t(peak), centre) << rate;
        EXPECT_EQ(s[centre - 3], s[centre + 3]) << rate;

        // and it takes a baseline offset away
        std::vector<int16_t> offset(size_t(rate) * 20, 1500);
        chain.FilterDisplayBlock(offset.data(), offset.size(), rate);
        EXPECT_LT(std::abs(offset[offset.size() / 2]), 60) << rate;
    }
}

TEST(DisplayFilters, ChainByModeAndRate)
{
    // Low-cut off so that only the high-cut and the notches act on steady
    // sines of amplitude 1000. The high-cut alone leaves about 6 % of 50 Hz at
    // 256/s; the notch takes the rest.
    const struct {
        FilterMode mode;
        int rate;
        double hz;
        int low, high;  // the settled peak lies in [low, high]
    } cases[] = {
        {FilterMode::IirNotch60And50, 256, 50, 0, 10},  {FilterMode::IirNotch60And50, 256, 60, 0, 10},
        {FilterMode::IirNotch60And50, 128, 50, 0, 10},  {FilterMode::IirNotch60And50, 128, 60, 0, 10},
        {FilterMode::IirNotch60, 256, 60, 0, 10},       {FilterMode::IirNotch60, 256, 50, 40, 1000},
        {FilterMode::Iir, 256, 50, 40, 1000},           {FilterMode::Iir, 256, 5, 950, 1050},
        {FilterMode::Fir, 256, 60, 0, 10},              {FilterMode::Fir, 256, 10, 950, 1050},
    };
    for (const auto& c : cases) {
        FilterSwitches sw;
        sw.lowCut = false;
        sw.mode = c.mode;
        DisplayFilterChain chain(sw);
        std::vector<int16_t> s = Sine(c.hz, c.rate, 8, 1000);
        chain.FilterDisplayBlock(s.data(), s.size(), c.rate);
        const int peak = PeakOfSecondHalf(s);
        EXPECT_GE(peak, c.low) << int(c.mode) << " " << c.rate << " " << c.hz;
        EXPECT_LE(peak, c.high) << int(c.mode) << " " << c.rate << " " << c.hz;
    }

    // The FIR is only used at 256/s: mode 1 at 128/s leaves the block alone
    // (no high-cut, no notch).
    FilterSwitches fir;
    fir.lowCut = false;
    fir.mode = FilterMode::Fir;
    std::vector<int16_t> s = Sine(60, 128, 4, 1000);
    const std::vector<int16_t> before = s;
    DisplayFilterChain(fir).FilterDisplayBlock(s.data(), s.size(), 128);
    EXPECT_EQ(s, before);

    // The disabled notches leave in what the high-cut lets through.
    FilterSwitches noNotch;
    noNotch.lowCut = false;
    noNotch.notchesDisabled = true;
    s = Sine(50, 256, 8, 1000);
    DisplayFilterChain(noNotch).FilterDisplayBlock(s.data(), s.size(), 256);
    EXPECT_GT(PeakOfSecondHalf(s), 40);
}

// The whole chain against values computed outside the program from the
// filters' formulas (display_filter_golden.py): the low-cut's gains, its
// pi, the high-cut sets and the notches must all be exactly as their formulas say.
TEST(DisplayFilters, WholeChainMatchesTheIndependentComputation)
{
    const struct {
        const char* what;
        int rate;
        FilterMode mode;
        const int16_t* input;
        const int16_t* expected;
    } cases[] = {
        {"start values at 128/s", 128, FilterMode::IirNotch60And50, golden::kInput128, golden::kChain128},
        {"start values at 256/s", 256, FilterMode::IirNotch60And50, golden::kInput256, golden::kChain256},
        {"FIR high-cut at 256/s", 256, FilterMode::Fir, golden::kInput256, golden::kFirChain256},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FilterSwitches sw;
        sw.mode = c.mode;
        std::vector<int16_t> block(c.input, c.input + c.rate);
        DisplayFilterChain(sw).FilterDisplayBlock(block.data(), block.size(), c.rate);
        EXPECT_EQ(block, std::vector<int16_t>(c.expected, c.expected + c.rate));
    }
}

TEST(DisplayFilters, SameBlockTwiceGivesTheSamePicture)
{
    // The notch history starts afresh at every pass: the screen and the
    // printed page show the same samples.
    DisplayFilterChain chain;
    std::vector<int16_t> first = Sine(7, 256, 6, 800);
    for (size_t i = 0; i < first.size(); i += 256) first[i] = 1800;
    std::vector<int16_t> second = first;
    chain.FilterDisplayBlock(first.data(), first.size(), 256);
    chain.FilterDisplayBlock(second.data(), second.size(), 256);
    EXPECT_EQ(first, second);
}

TEST(DisplayFilters, FullRangeSamplesDoNotWrapIntoSpikes)
{
    // A foreign recording swinging over the whole 16-bit range: the outputs
    // saturate at the limits instead of wrapping, so between the edges of the
    // square wave no sample jumps across the range.
    std::vector<int16_t> s(256 * 6);
    for (size_t i = 0; i < s.size(); ++i) s[i] = (i / 128) % 2 ? 32767 : -32768;
    DisplayFilterChain chain;
    chain.FilterDisplayBlock(s.data(), s.size(), 256);
    int saturated = 0;
    for (size_t i = 256; i + 256 < s.size(); ++i) {
        const size_t intoHalf = i % 128;
        if (intoHalf > 20 && intoHalf < 100) {
            EXPECT_LT(std::abs(s[i] - s[i - 1]), 20000) << i;
        }
        saturated += s[i] == 32767 || s[i] == -32768;
    }
    EXPECT_GT(saturated, 0);
}

TEST(DisplayFilters, Buttons)
{
    EXPECT_EQ(ecg::NextFilterMode(FilterMode::Fir), FilterMode::Iir);
    EXPECT_EQ(ecg::NextFilterMode(FilterMode::IirNotch60), FilterMode::IirNotch60And50);
    EXPECT_EQ(ecg::NextFilterMode(FilterMode::IirNotch60And50), FilterMode::Fir);
    // The start value 0.8 stays; the cycle only runs once 0.05, 0.1 or 0.15 is set.
    EXPECT_EQ(ecg::NextLowCutFrequency(0.8), 0.8);
    EXPECT_EQ(ecg::NextLowCutFrequency(0.05), 0.1);
    EXPECT_EQ(ecg::NextLowCutFrequency(0.1), 0.15);
    EXPECT_EQ(ecg::NextLowCutFrequency(0.15), 0.05);
    const FilterSwitches start;
    EXPECT_TRUE(start.lowCut && start.highCut && !start.notchesDisabled && start.display256);
    EXPECT_EQ(start.mode, FilterMode::IirNotch60And50);
    EXPECT_EQ(start.lowCutFrequency, 0.8);
}

}  // namespace
