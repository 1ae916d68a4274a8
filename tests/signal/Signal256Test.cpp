// rhyscan reads the recording sample by sample instead of making whole
// signals; its beats must not change by that, so the running means must be
// the very values a table of prefix sums over the whole signal gives, and a
// read further back than what is kept must still give the same value.
#include "tools/rhyscan/Signal256.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// The centred mean as a table of prefix sums over the whole signal gives it.
std::vector<float> TableMean(const std::vector<float>& x, int half)
{
    const int64_t n = static_cast<int64_t>(x.size());
    std::vector<double> sum(x.size() + 1, 0.0);
    for (size_t i = 0; i < x.size(); ++i) sum[i + 1] = sum[i] + x[i];
    std::vector<float> y(x.size());
    for (int64_t i = 0; i < n; ++i) {
        const int64_t lo = std::max<int64_t>(0, i - half), hi = std::min<int64_t>(n, i + half + 1);
        y[static_cast<size_t>(i)] = static_cast<float>((sum[static_cast<size_t>(hi)] - sum[static_cast<size_t>(lo)]) /
                                                       static_cast<double>(hi - lo));
    }
    return y;
}

// Values whose float sums round differently in another order.
std::vector<float> Wavy(size_t n)
{
    std::vector<float> x(n);
    for (size_t i = 0; i < n; ++i) x[i] = 2048.0f + 700.0f * std::sin(0.37f * static_cast<float>(i)) + 0.1f * static_cast<float>(i % 13);
    return x;
}

TEST(RunningCentredMean, GivesBitForBitTheMeansOfAPrefixSumTable)
{
    struct Case {
        size_t n;
        int half;
    } cases[] = {{1, 3}, {5, 3}, {7, 0}, {33, 16}, {40, 16}, {5000, 19}, {5000, 76}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "n " << c.n << " half " << c.half);
        const std::vector<float> x = Wavy(c.n);
        const std::vector<float> expected = TableMean(x, c.half);
        rhy::RunningCentredMean mean(static_cast<int64_t>(c.n), c.half);
        const auto in = [&](int64_t k) { return x[static_cast<size_t>(k)]; };
        for (size_t i = 0; i < c.n; ++i) ASSERT_EQ(mean.Next(in), expected[i]) << "at " << i;
    }
}

TEST(WithoutBaseline, ReadsAtEitherRateAndFarBackGiveTheSignalLessItsMean)
{
    std::vector<int16_t> samples(3000);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(2048 + 600 * std::sin(0.05 * static_cast<double>(i)) + static_cast<double>(i % 7));
    for (const int rate : {256, 128}) {
        SCOPED_TRACE(rate);
        // The signal at 256 per second as a whole: 128 per second doubled,
        // each second sample halfway to the next (the last one repeated).
        std::vector<float> x;
        for (size_t i = 0; i < samples.size(); ++i) {
            const float a = samples[i];
            x.push_back(a);
            if (rate == 128) x.push_back(0.5f * (a + (i + 1 < samples.size() ? samples[i + 1] : samples[i])));
        }
        const std::vector<float> mean = TableMean(x, 256 * 3 / 10);
        rhy::WithoutBaseline y(samples, rate);
        ASSERT_EQ(y.size(), static_cast<int64_t>(x.size()));
        const auto expected = [&](int64_t i) { return x[static_cast<size_t>(i)] - mean[static_cast<size_t>(i)]; };
        const int64_t last = y.size() - 1;
        // Forward, then back to the start (past what is kept), then outside.
        for (const int64_t i : {int64_t{0}, int64_t{1}, int64_t{700}, int64_t{699}, last, int64_t{3}, int64_t{2000}})
            EXPECT_EQ(y.at(i), expected(i)) << "at " << i;
        EXPECT_EQ(y.at(-1), 0.0f);
        EXPECT_EQ(y.at(last + 1), 0.0f);
    }
}

}  // namespace
