#include "tools/beatscore/BeatScore.h"

#include <cstdio>
#include <cstdlib>

namespace beatscore {

Aami AamiOfMitCode(int code)
{
    switch (code) {
    case 1:   // N normal
    case 2:   // L left bundle branch block
    case 3:   // R right bundle branch block
    case 11:  // j nodal escape
    case 25:  // B bundle branch block
    case 34:  // e atrial escape
        return kN;
    case 4:   // a aberrated atrial premature
    case 7:   // J nodal premature
    case 8:   // A atrial premature
    case 9:   // S supraventricular premature
    case 35:  // n supraventricular escape
        return kS;
    case 5:   // V premature ventricular
    case 10:  // E ventricular escape
        return kV;
    case 6:   // F fusion of ventricular and normal
        return kF;
    case 12:  // / paced
    case 13:  // Q unclassifiable
    case 38:  // f fusion of paced and normal
        return kQ;
    default:
        return kNone;
    }
}

Counts& Counts::operator+=(const Counts& o)
{
    for (size_t r = 0; r < 6; ++r)
        for (size_t t = 0; t < 6; ++t) counts[r][t] += o.counts[r][t];
    return *this;
}

std::vector<int> PairBeats(const std::vector<Beat>& reference, const std::vector<Beat>& test, int64_t window)
{
    std::vector<int> referenceOf(test.size(), -1);
    size_t first = 0;  // test beats before this one are too early for every later reference beat
    for (size_t i = 0; i < reference.size(); ++i) {
        const int64_t at = reference[i].sample;
        while (first < test.size() && test[first].sample < at - window) ++first;
        int best = -1;
        int64_t bestDistance = window + 1;
        for (size_t j = first; j < test.size() && test[j].sample <= at + window; ++j) {
            const int64_t distance = std::llabs(test[j].sample - at);
            if (referenceOf[j] < 0 && distance < bestDistance) {
                best = static_cast<int>(j);
                bestDistance = distance;
            }
        }
        if (best >= 0) referenceOf[static_cast<size_t>(best)] = static_cast<int>(i);
    }
    return referenceOf;
}

Counts CompareBeats(const std::vector<Beat>& reference, const std::vector<Beat>& test, int64_t window,
                    int64_t scoredFrom, int64_t scoredTo)
{
    Counts c;
    const std::vector<int> referenceOf = PairBeats(reference, test, window);
    std::vector<int> testOf(reference.size(), -1);
    for (size_t j = 0; j < test.size(); ++j)
        if (referenceOf[j] >= 0) testOf[static_cast<size_t>(referenceOf[j])] = static_cast<int>(j);
    // A test beat with a code that is no beat class still marks a beat.
    const auto testClass = [&](size_t j) {
        const Aami got = AamiOfMitCode(test[j].code);
        return got == kNone ? kQ : got;
    };
    for (size_t i = 0; i < reference.size(); ++i) {
        const Aami ref = AamiOfMitCode(reference[i].code);
        if (ref == kNone || reference[i].sample < scoredFrom || reference[i].sample >= scoredTo) continue;
        ++c.counts[ref][testOf[i] >= 0 ? testClass(static_cast<size_t>(testOf[i])) : kNone];
    }
    for (size_t j = 0; j < test.size(); ++j)
        if (referenceOf[j] < 0 && test[j].sample >= scoredFrom && test[j].sample < scoredTo) ++c.counts[kNone][testClass(j)];
    return c;
}

double Rates::Sensitivity() const
{
    const int64_t all = truePositives + falseNegatives;
    return all == 0 ? 1.0 : static_cast<double>(truePositives) / static_cast<double>(all);
}

double Rates::PositivePredictivity() const
{
    const int64_t all = truePositives + falsePositives;
    return all == 0 ? 1.0 : static_cast<double>(truePositives) / static_cast<double>(all);
}

Rates Qrs(const Counts& c)
{
    Rates r;
    for (int ref = kN; ref <= kQ; ++ref) {
        for (int t = kN; t <= kQ; ++t) r.truePositives += c.counts[ref][t];
        r.falseNegatives += c.counts[ref][kNone];
        r.falsePositives += c.counts[kNone][ref];
    }
    return r;
}

namespace {
Rates OneClass(const Counts& c, Aami cls, Aami ignoredA, Aami ignoredB)
{
    Rates r;
    for (int t = kN; t <= kNone; ++t)
        (t == cls ? r.truePositives : r.falseNegatives) += c.counts[cls][t];
    for (int ref = kN; ref <= kNone; ++ref)
        if (ref != cls && ref != ignoredA && ref != ignoredB) r.falsePositives += c.counts[ref][cls];
    return r;
}

std::string Percent(int64_t tp, int64_t other)
{
    if (tp + other == 0) return "      -";
    char text[16];
    std::snprintf(text, sizeof text, "%7.2f", 100.0 * static_cast<double>(tp) / static_cast<double>(tp + other));
    return text;
}
}  // namespace

Rates Veb(const Counts& c) { return OneClass(c, kV, kF, kQ); }
Rates Sveb(const Counts& c) { return OneClass(c, kS, kQ, kQ); }

std::string TableHeader()
{
    return "record   beats   QRS Se     +P   VEB Se     +P  SVEB Se     +P   (V ref/test, S ref/test)";
}

std::string TableLine(const std::string& name, const Counts& c)
{
    const Rates q = Qrs(c), v = Veb(c), s = Sveb(c);
    char counts[96];
    std::snprintf(counts, sizeof counts, "   (%lld/%lld, %lld/%lld)",
                  static_cast<long long>(v.truePositives + v.falseNegatives),
                  static_cast<long long>(v.truePositives + v.falsePositives),
                  static_cast<long long>(s.truePositives + s.falseNegatives),
                  static_cast<long long>(s.truePositives + s.falsePositives));
    char head[32];
    std::snprintf(head, sizeof head, "%-6s %7lld ", name.c_str(), static_cast<long long>(q.truePositives + q.falseNegatives));
    return std::string(head) + Percent(q.truePositives, q.falseNegatives) + Percent(q.truePositives, q.falsePositives) +
           Percent(v.truePositives, v.falseNegatives) + Percent(v.truePositives, v.falsePositives) +
           Percent(s.truePositives, s.falseNegatives) + Percent(s.truePositives, s.falsePositives) + counts;
}

}  // namespace beatscore
