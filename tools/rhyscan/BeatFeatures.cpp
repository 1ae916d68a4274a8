#include "tools/rhyscan/BeatFeatures.h"

#include "signal/BeatAnalysis.h"
#include "tools/rhyscan/BeatClusters.h"
#include "tools/rhyscan/Median.h"
#include "tools/rhyscan/ShapePoints.h"
#include "tools/rhyscan/Signal256.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace rhy {

namespace {

constexpr int kRate = 256;            // features are measured at this rate
constexpr int kBefore = 26;           // beat window: about 100 ms before R ...
constexpr int kAfter = 38;            // ... to 150 ms after it
constexpr int kWindow = kBefore + kAfter;
constexpr int kCoreFrom = 13, kCoreTo = 13 + 34;  // QRS core in the window: -50 .. +80 ms
constexpr int kPFrom = -64, kPTo = -20;           // P-wave region before R: -250 .. -80 ms
constexpr int kAlign = 13;            // R is searched within +-50 ms of the detection
constexpr int kNeighbours = 30;       // beats each side for the typical RR and the dominant beat

using Window = std::array<float, kWindow>;
using PWindow = std::array<float, kPTo - kPFrom>;


float PeakToPeak(const Window& w)
{
    const auto [lo, hi] = std::minmax_element(w.begin(), w.end());
    return *hi - *lo;
}

float CoreArea(const Window& w)
{
    float a = 0;
    for (int i = kCoreFrom; i < kCoreTo; ++i) a += std::fabs(w[static_cast<size_t>(i)]);
    return a;
}

float MaxSlope(const Window& w)
{
    float m = 0;
    for (int i = 1; i < kWindow; ++i) m = std::max(m, std::fabs(w[static_cast<size_t>(i)] - w[static_cast<size_t>(i - 1)]));
    return m;
}

// QRS width in ms: the span where the slope exceeds a fifth of its maximum.
float Width(const Window& w)
{
    const float threshold = 0.2f * MaxSlope(w);
    int first = -1, last = -1;
    for (int i = 1; i < kWindow; ++i)
        if (std::fabs(w[static_cast<size_t>(i)] - w[static_cast<size_t>(i - 1)]) > threshold) {
            if (first < 0) first = i;
            last = i;
        }
    return first < 0 ? 0.0f : static_cast<float>(last - first) * 1000.0f / kRate;
}

float Ratio(float a, float b) { return b > 1e-6f ? a / b : 0.0f; }

}  // namespace

const std::array<const char*, kFeatureCount>& FeatureNames()
{
    static const std::array<const char*, kFeatureCount> names = [] {
        std::array<const char*, kFeatureCount> all{
            "rr_prev", "rr_next", "rr_local", "rr_typical", "rr_prev_ratio", "rr_next_ratio", "rr_prev_next",
            "rr_prev_local", "corr", "corr_core", "amplitude_ratio", "area_ratio", "width", "width_ratio",
            "difference", "p_corr", "p_energy_ratio", "polarity", "slope_ratio", "corr_previous",
            "manager_abnormal", "manager_premature", "rr_prev_before", "rr_irregularity", "rr_pause",
            "rr_prev_preceding", "p_height_ratio", "rr_next_local", "corr_next", "energy_ratio", "rr_prev_slow",
            "rr_next_slow", "before_rr_prev_slow", "before_rr_prev_ratio", "after_rr_prev_slow", "after_rr_prev_ratio",
            "fast_regular_run",
            "group_share", "group_width_ratio", "group_prematurity", "group_next_ratio", "group_corr_regular",
            "group_corr_narrow"};
        static_assert(kShapePointsFrom + kShapePointCount == kFeatureCount);
        std::copy(ShapePointNames().begin(), ShapePointNames().end(), all.begin() + kShapePointsFrom);
        return all;
    }();
    return names;
}

std::vector<BeatFeatureRow> ComputeBeatFeatures(std::span<const int16_t> samples, int rate,
                                                const std::vector<int64_t>& beats,
                                                const std::vector<uint8_t>& managerTypes)
{
    std::vector<BeatFeatureRow> rows(beats.size());
    if (beats.empty() || (rate != 128 && rate != 256)) return rows;
    const int64_t scale = kRate / rate;
    const size_t n = beats.size();

    // R aligned on the largest deflection near each detection, and the
    // beat's window around it, in the signal without its baseline (wander
    // would change the shapes).
    WithoutBaseline y(samples, rate);
    std::vector<int64_t> r(n);
    std::vector<Window> w(n);
    for (size_t b = 0; b < n; ++b) {
        const int64_t at = beats[b] * scale;
        int64_t best = at;
        for (int64_t i = at - kAlign; i <= at + kAlign; ++i)
            if (std::fabs(y.at(i)) > std::fabs(y.at(best))) best = i;
        r[b] = best;
        for (int i = 0; i < kWindow; ++i) w[b][static_cast<size_t>(i)] = y.at(r[b] - kBefore + i);
    }
    // The P-wave regions are read only for the beats around the one measured:
    // they are made in step with it and kept for those beats alone (a day of
    // them is tens of megabytes).
    WithoutBaseline yAgain(samples, rate);
    constexpr size_t kKeptP = 64;
    static_assert(kKeptP > 2 * kNeighbours + 1);
    std::vector<PWindow> keptP(kKeptP);
    size_t pMade = 0;
    const auto pOf = [&](size_t k) -> const PWindow& {
        for (; pMade <= k; ++pMade)
            for (int i = kPFrom; i < kPTo; ++i) keptP[pMade % kKeptP][static_cast<size_t>(i - kPFrom)] = yAgain.at(r[pMade] + i);
        return keptP[k % kKeptP];
    };
    // RR intervals in seconds, at the detections' own positions.
    std::vector<float> rr(n, 0.0f);  // rr[b]: before beat b; rr[0] unknown
    for (size_t b = 1; b < n; ++b) rr[b] = static_cast<float>(beats[b] - beats[b - 1]) / static_cast<float>(rate);

    // The recording's slow rhythm: a run of fast beats can fill the beats
    // around, but seldom the whole recording.
    std::vector<float> all(rr.begin() + 1, rr.end());
    std::sort(all.begin(), all.end());
    const float slow = all.empty() ? 0.8f : all[all.size() * 8 / 10];

    for (size_t b = 0; b < n; ++b) {
        const size_t lo = b > static_cast<size_t>(kNeighbours) ? b - kNeighbours : 0;
        const size_t hi = std::min(n, b + kNeighbours + 1);
        std::vector<float> around;
        for (size_t k = std::max<size_t>(lo, 1); k < hi; ++k) around.push_back(rr[k]);
        const float typical = around.empty() ? 0.8f : Median(around);
        // How irregular the rhythm around is: the median change from one RR
        // interval to the next, against the typical one. Early beats in a
        // regular rhythm stand out; in atrial fibrillation every beat is "early".
        std::vector<float> changes;
        for (size_t k = std::max<size_t>(lo, 2); k < hi; ++k) changes.push_back(std::fabs(rr[k] - rr[k - 1]));
        const float irregularity = changes.empty() ? 0.0f : Ratio(Median(changes), typical);

        // The dominant beat: the median shape of the beats around that were not
        // early (in bigeminy half of all beats are early and of another shape).
        std::vector<size_t> members;
        for (size_t k = lo; k < hi; ++k)
            if (k == 0 || rr[k] >= 0.85f * typical) members.push_back(k);
        if (members.size() < 3) {
            members.clear();
            for (size_t k = lo; k < hi; ++k) members.push_back(k);
        }
        Window t{};
        PWindow tp{};
        std::vector<float> column(members.size());
        for (int i = 0; i < kWindow; ++i) {
            for (size_t m = 0; m < members.size(); ++m) column[m] = w[members[m]][static_cast<size_t>(i)];
            t[static_cast<size_t>(i)] = Median(column);
        }
        for (int i = 0; i < kPTo - kPFrom; ++i) {
            for (size_t m = 0; m < members.size(); ++m) column[m] = pOf(members[m])[static_cast<size_t>(i)];
            tp[static_cast<size_t>(i)] = Median(column);
        }

        const float prev = b > 0 ? rr[b] : typical;
        const float next = b + 1 < n ? rr[b + 1] : typical;
        float local = 0;
        int count = 0;
        for (size_t k = b; k >= 1 && count < 8; --k, ++count) local += rr[k];
        local = count > 0 ? local / static_cast<float>(count) : typical;

        const Window& x = w[b];
        const float tPtp = PeakToPeak(t);
        double diff = 0;
        for (int i = 0; i < kWindow; ++i) {
            const double d = x[static_cast<size_t>(i)] - t[static_cast<size_t>(i)];
            diff += d * d;
        }
        float pEnergy = 0, tpEnergy = 0;
        const PWindow& pw = pOf(b);
        for (size_t i = 0; i < pw.size(); ++i) pEnergy += pw[i] * pw[i], tpEnergy += tp[i] * tp[i];

        BeatFeatureRow& f = rows[b];
        f[0] = prev;
        f[1] = next;
        f[2] = local;
        f[3] = typical;
        f[4] = Ratio(prev, typical);
        f[5] = Ratio(next, typical);
        f[6] = Ratio(prev, next);
        f[7] = Ratio(prev, local);
        f[8] = Correlation(x.data(), t.data(), kWindow);
        f[9] = Correlation(x.data() + kCoreFrom, t.data() + kCoreFrom, kCoreTo - kCoreFrom);
        f[10] = Ratio(PeakToPeak(x), tPtp);
        f[11] = Ratio(CoreArea(x), CoreArea(t));
        f[12] = Width(x);
        f[13] = Ratio(Width(x), Width(t));
        f[14] = Ratio(static_cast<float>(std::sqrt(diff / kWindow)), tPtp);
        f[15] = Correlation(pw.data(), tp.data(), kPTo - kPFrom);
        f[16] = Ratio(pEnergy, tpEnergy);
        f[17] = Ratio(x[kBefore], tPtp);
        f[18] = Ratio(MaxSlope(x), MaxSlope(t));
        f[19] = b > 0 ? Correlation(x.data(), w[b - 1].data(), kWindow) : 1.0f;
        // The manager's own typing: its template matching is a second opinion.
        const uint8_t type = b < managerTypes.size() ? managerTypes[b] : static_cast<uint8_t>(ecg::kBeatNotAnalysed);
        f[20] = type == ecg::kBeatAbnormal ? 1.0f : 0.0f;
        f[21] = type == ecg::kBeatPrematureNormalShape ? 1.0f : 0.0f;
        f[22] = b > 1 ? Ratio(rr[b], rr[b - 1]) : 1.0f;
        f[23] = irregularity;
        // A ventricular beat is mostly followed by a full compensatory pause
        // (both intervals together two typical ones); an atrial one is not.
        f[24] = Ratio(prev + next, 2.0f * typical);
        // Prematurity against the rhythm just before the beat (the four intervals before it).
        float preceding = 0;
        int precedingCount = 0;
        for (size_t k = b; k >= 2 && precedingCount < 4; --k, ++precedingCount) preceding += rr[k - 1];
        f[25] = precedingCount > 0 ? Ratio(prev, preceding / static_cast<float>(precedingCount)) : 1.0f;
        // The P wave's height (peak to peak of the region before the QRS) against the dominant beat's.
        const auto [pLo, pHi] = std::minmax_element(pw.begin(), pw.end());
        const auto [tpLo, tpHi] = std::minmax_element(tp.begin(), tp.end());
        f[26] = Ratio(*pHi - *pLo, *tpHi - *tpLo);
        f[27] = Ratio(next, local);
        f[28] = b + 1 < n ? Correlation(x.data(), w[b + 1].data(), kWindow) : 1.0f;
        double e = 0, te = 0;
        for (int i = 0; i < kWindow; ++i)
            e += x[static_cast<size_t>(i)] * x[static_cast<size_t>(i)], te += t[static_cast<size_t>(i)] * t[static_cast<size_t>(i)];
        f[29] = Ratio(static_cast<float>(std::sqrt(e)), static_cast<float>(std::sqrt(te)));
        f[30] = Ratio(prev, slow);
        f[31] = Ratio(next, slow);
        static_assert(kBefore >= kShapePointsBefore && kAfter > kShapePointsAfter);
        const auto [coreLo, coreHi] = std::minmax_element(t.begin() + kCoreFrom, t.begin() + kCoreTo);
        const ShapePointRow points = ShapePoints(x.data(), t.data(), kBefore, *coreHi - *coreLo);
        std::copy(points.begin(), points.end(), f.begin() + kShapePointsFrom);
    }
    // The rhythm of the beats on either side: inside a run of early beats
    // the neighbours are early too (0 where there is no neighbour).
    for (size_t b = 0; b < n; ++b) {
        BeatFeatureRow& f = rows[b];
        f[32] = b > 0 ? rows[b - 1][30] : 0.0f;
        f[33] = b > 0 ? rows[b - 1][4] : 0.0f;
        f[34] = b + 1 < n ? rows[b + 1][30] : 0.0f;
        f[35] = b + 1 < n ? rows[b + 1][4] : 0.0f;
        // A run of supraventricular tachycardia fills the beats around it, so
        // against them its beats are not early; against the recording's slow
        // rhythm they are, and unlike atrial fibrillation the run is regular.
        // A short interval after a long one is a missed or extra beat, not a run.
        // The first beats have no measured intervals to judge.
        f[kFastRegularRun] = b >= 2 && f[30] < 0.75f && f[23] < 0.06f && f[22] < 1.3f ? 1.0f : 0.0f;
    }
    // The beat's shape group over the whole recording.
    ShapeWindows shapes(n);
    std::vector<float> widths(n), prevRatio(n), nextRatio(n), rrChange(n);
    for (size_t b = 0; b < n; ++b) {
        shapes[b] = w[b];
        const BeatFeatureRow& f = rows[b];
        widths[b] = f[12], prevRatio[b] = f[4], nextRatio[b] = f[5];
        rrChange[b] = (f[22] > 0 ? std::fabs(std::log(f[22])) : 0.0f) + (f[6] > 0 ? std::fabs(std::log(f[6])) : 0.0f);
    }
    const std::vector<GroupFeatures> groups =
        DescribeGroups(shapes, GroupByShape(shapes), widths, prevRatio, nextRatio, rrChange);
    for (size_t b = 0; b < n; ++b) {
        BeatFeatureRow& f = rows[b];
        const GroupFeatures& g = groups[b];
        f[37] = g.share;
        f[38] = g.widthRatio;
        f[39] = g.prematurity;
        f[40] = g.nextRatio;
        f[41] = g.corrRegular;
        f[42] = g.corrNarrow;
    }
    return rows;
}

}  // namespace rhy
