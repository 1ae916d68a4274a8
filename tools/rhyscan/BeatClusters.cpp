#include "tools/rhyscan/BeatClusters.h"

#include "tools/rhyscan/Median.h"

#include <algorithm>
#include <cmath>

namespace rhy {

namespace {

constexpr int kShift = 3;  // samples either way (12 ms at 256 per second): R found a little off


// The best correlation of two shapes over a shift of up to kShift samples.
float ShiftedCorrelation(std::span<const float> a, std::span<const float> b)
{
    const int n = static_cast<int>(std::min(a.size(), b.size()));
    float best = -1.0f;
    for (int s = -kShift; s <= kShift; ++s) {
        const int from = std::max(0, s), to = std::min(n, n + s);
        if (to - from < 4) continue;
        best = std::max(best, Correlation(a.data() + from, b.data() + from - s, to - from));
    }
    return best;
}

std::vector<float> MedianShape(const ShapeWindows& windows, const std::vector<size_t>& members)
{
    std::vector<float> shape(windows.empty() ? 0 : windows[0].size());
    std::vector<float> column(members.size());
    for (size_t i = 0; i < shape.size(); ++i) {
        for (size_t m = 0; m < members.size(); ++m) column[m] = windows[members[m]][i];
        shape[i] = Median(column);
    }
    return shape;
}

std::vector<std::vector<size_t>> Members(const std::vector<int>& group)
{
    std::vector<std::vector<size_t>> members;
    for (size_t b = 0; b < group.size(); ++b) {
        const size_t g = static_cast<size_t>(group[b]);
        if (members.size() <= g) members.resize(g + 1);
        members[g].push_back(b);
    }
    return members;
}

}  // namespace

float Correlation(const float* a, const float* b, int n)
{
    double ma = 0, mb = 0;
    for (int i = 0; i < n; ++i) ma += a[i], mb += b[i];
    ma /= n, mb /= n;
    double ab = 0, aa = 0, bb = 0;
    for (int i = 0; i < n; ++i) {
        ab += (a[i] - ma) * (b[i] - mb);
        aa += (a[i] - ma) * (a[i] - ma);
        bb += (b[i] - mb) * (b[i] - mb);
    }
    return aa > 0 && bb > 0 ? static_cast<float>(ab / std::sqrt(aa * bb)) : 0.0f;
}

std::vector<int> GroupByShape(const ShapeWindows& windows)
{
    // First pass: each beat against the running mean of each group so far.
    // Only the first kComparedGroups groups are compared with: past them a
    // beat like none of them (noise, hours of it) stays a group of its own.
    std::vector<int> group(windows.size(), 0);
    std::vector<std::vector<float>> sums;
    std::vector<int> counts;
    int groups = 0;
    for (size_t b = 0; b < windows.size(); ++b) {
        int best = -1;
        float bestCorrelation = kSameShape;
        for (size_t g = 0; g < sums.size(); ++g) {
            std::vector<float> mean = sums[g];
            for (float& v : mean) v /= static_cast<float>(counts[g]);
            const float c = ShiftedCorrelation(windows[b], mean);
            if (c >= bestCorrelation) best = static_cast<int>(g), bestCorrelation = c;
        }
        if (best < 0) {
            best = groups++;
            if (sums.size() < kComparedGroups) {
                sums.push_back(std::vector<float>(windows[b].size(), 0.0f));
                counts.push_back(0);
            }
        }
        if (static_cast<size_t>(best) < sums.size()) {
            for (size_t i = 0; i < windows[b].size(); ++i) sums[static_cast<size_t>(best)][i] += windows[b][i];
            ++counts[static_cast<size_t>(best)];
        }
        group[b] = best;
    }
    // Second pass: against the groups' median shapes, which the beats seen
    // late helped to form and an odd beat does not pull.
    std::vector<std::vector<size_t>> members = Members(group);
    members.resize(sums.size());
    std::vector<std::vector<float>> medians;
    for (const std::vector<size_t>& m : members) medians.push_back(MedianShape(windows, m));
    for (size_t b = 0; b < windows.size(); ++b) {
        float bestCorrelation = kSameShape;
        for (size_t g = 0; g < medians.size(); ++g) {
            const float c = ShiftedCorrelation(windows[b], medians[g]);
            if (c > bestCorrelation) group[b] = static_cast<int>(g), bestCorrelation = c;
        }
    }
    // Numbered in order of first appearance.
    std::vector<int> number(static_cast<size_t>(groups), -1);
    int next = 0;
    for (int& g : group) {
        if (number[static_cast<size_t>(g)] < 0) number[static_cast<size_t>(g)] = next++;
        g = number[static_cast<size_t>(g)];
    }
    return group;
}

std::vector<GroupFeatures> DescribeGroups(const ShapeWindows& windows, const std::vector<int>& group,
                                          const std::vector<float>& widths, const std::vector<float>& prevRatio,
                                          const std::vector<float>& nextRatio, const std::vector<float>& rrChange)
{
    const size_t n = windows.size();
    std::vector<GroupFeatures> out(n);
    if (n == 0) return out;
    const std::vector<std::vector<size_t>> members = Members(group);
    const size_t groups = members.size();
    std::vector<float> width(groups), early(groups), late(groups), change(groups);
    std::vector<std::vector<float>> shape(groups);
    for (size_t g = 0; g < groups; ++g) {
        std::vector<float> w, p, x, c;
        for (size_t b : members[g]) w.push_back(widths[b]), p.push_back(prevRatio[b]), x.push_back(nextRatio[b]), c.push_back(rrChange[b]);
        width[g] = Median(w), early[g] = Median(p), late[g] = Median(x), change[g] = Median(c);
        shape[g] = MedianShape(windows, members[g]);
    }
    // Big groups: at least three beats and a fifth of the recording; the
    // largest group when none is that big (a noisy recording).
    std::vector<size_t> big;
    for (size_t g = 0; g < groups; ++g)
        if (members[g].size() >= 3 && 5 * members[g].size() >= n) big.push_back(g);
    if (big.empty()) {
        size_t largest = 0;
        for (size_t g = 1; g < groups; ++g)
            if (members[g].size() > members[largest].size()) largest = g;
        big.push_back(largest);
    }
    size_t narrow = big[0], regular = big[0];
    for (size_t g : big) {
        if (width[g] < width[narrow]) narrow = g;
        if (change[g] < change[regular]) regular = g;
    }
    for (size_t g = 0; g < groups; ++g) {
        GroupFeatures f;
        f.share = static_cast<float>(members[g].size()) / static_cast<float>(n);
        f.widthRatio = width[narrow] > 0 ? width[g] / width[narrow] : 1.0f;
        f.prematurity = early[g];
        f.nextRatio = late[g];
        f.corrRegular = g == regular ? 1.0f : ShiftedCorrelation(shape[g], shape[regular]);
        f.corrNarrow = g == narrow ? 1.0f : ShiftedCorrelation(shape[g], shape[narrow]);
        for (size_t b : members[g]) out[b] = f;
    }
    return out;
}

}  // namespace rhy
