#include "tools/rhyscan/BeatContext.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <map>

namespace rhy {

namespace {

constexpr size_t kS = 1, kV = 2;
// The feature columns a shape group gives each of its beats alike: beats with
// the same values are of the same group.
constexpr size_t kGroupFirst = 37, kGroupColumns = 6;
using GroupKey = std::array<float, kGroupColumns>;

GroupKey GroupOf(const BeatFeatureRow& row)
{
    GroupKey k{};
    std::copy_n(row.begin() + kGroupFirst, kGroupColumns, k.begin());
    return k;
}

struct GroupSums {
    double s = 0.0, v = 0.0;
    size_t beats = 0;
};

}  // namespace

std::vector<ContextRow> ComputeBeatContext(const std::vector<std::vector<double>>& probabilities,
                                           const std::vector<BeatFeatureRow>& rows)
{
    const size_t n = std::min(probabilities.size(), rows.size());
    double meanS = 0.0, meanV = 0.0;
    for (size_t b = 0; b < n; ++b) meanS += probabilities[b][kS], meanV += probabilities[b][kV];
    if (n > 0) meanS /= static_cast<double>(n), meanV /= static_cast<double>(n);
    std::map<GroupKey, GroupSums> groups;
    for (size_t b = 0; b < n; ++b) {
        GroupSums& g = groups[GroupOf(rows[b])];
        g.s += probabilities[b][kS], g.v += probabilities[b][kV], ++g.beats;
    }
    std::vector<ContextRow> out(n);
    for (size_t b = 0; b < n; ++b) {
        ContextRow& c = out[b];
        const std::vector<double>& p = probabilities[b];
        c[0] = static_cast<float>(p[0]), c[1] = static_cast<float>(p[kS]), c[2] = static_cast<float>(p[kV]);
        size_t column = 3;
        for (const ptrdiff_t shift : {-2, -1, 1, 2}) {
            const ptrdiff_t other = static_cast<ptrdiff_t>(b) + shift;
            const bool there = other >= 0 && other < static_cast<ptrdiff_t>(n);
            c[column++] = there ? static_cast<float>(probabilities[static_cast<size_t>(other)][kS]) : -1.0f;
            c[column++] = there ? static_cast<float>(probabilities[static_cast<size_t>(other)][kV]) : -1.0f;
        }
        c[column++] = static_cast<float>(meanS);
        c[column++] = static_cast<float>(meanV);
        const GroupSums& g = groups[GroupOf(rows[b])];
        c[column++] = static_cast<float>(g.s / static_cast<double>(g.beats));
        c[column++] = static_cast<float>(g.v / static_cast<double>(g.beats));
        std::copy(rows[b].begin(), rows[b].end(), c.begin() + kContextColumns);
    }
    return out;
}

}  // namespace rhy
