#include "tools/rhyscan/QrsDetector.h"

#include "tools/rhyscan/Median.h"
#include "tools/rhyscan/Signal256.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <optional>

namespace rhy {

namespace {

constexpr int kRate = 256;
constexpr int kRefractory = kRate * 200 / 1000;   // no second QRS within 200 ms
constexpr int kSameBeat = kRate * 250 / 1000;    // two peaks this close are one beat (or a P wave and a beat)
constexpr int kTWaveSpan = kRate * 360 / 1000;    // a peak this soon may be a T wave
constexpr int kPeakSpan = kRate * 100 / 1000;     // energy peaks closer than this are one
constexpr int kLocate = kRate * 90 / 1000;        // R searched this far around the energy peak
constexpr int kLikeLastSpan = kRate * 295 / 1000; // a beat like the one before may follow this soon
constexpr int kRailRun = kRate / 10;              // held this long at the limit: the converter saturated

struct Candidate {
    int64_t at = 0;       // energy peak
    float energy = 0.0f;  // integrated energy there
    float slope = 0.0f;   // steepest slope of the band-passed signal around it
};

// Median of what `of` gives for the beats within kNeighbours of beat i.
constexpr size_t kNeighbours = 8;
template <typename Of>
float AroundMedian(size_t count, size_t i, Of of)
{
    std::vector<float> v;
    for (size_t k = i > kNeighbours ? i - kNeighbours : 0; k < std::min(count, i + kNeighbours + 1); ++k)
        if (auto x = of(k); x > 0.0f) v.push_back(x);
    return Median(std::move(v));
}

// The signal the detector filters. Where the converter saturated, the signal
// steps onto its highest or lowest value, stays there (with beats standing out
// of it) and steps off again; the steps are no QRS, but their slope would
// swamp the beats close by. Each saturated stretch and its steps become a
// straight line from the level before to the level after, with the beats that
// stood out of the limit added to it.
struct SaturatedStretch {
    int64_t a = 0, b = 0;            // the line: the step onto the limit starts at a, the step off ends at b
    int64_t from = 0, end = 0;       // at the limit (beats standing out) from .. end - 1
    float limit = 0.0f, before = 0.0f, after = 0.0f;
};

// The stretches in ascending order: both their starts and their ends ascend.
std::vector<SaturatedStretch> SaturatedStretches(const Samples256& x)
{
    std::vector<SaturatedStretch> stretches;
    const int64_t n = x.size();
    if (n == 0) return stretches;
    float low = x[0], high = x[0];
    for (int64_t k = 1; k < n; ++k) low = std::min(low, x[k]), high = std::max(high, x[k]);
    if (!(high > low)) return stretches;
    const auto at = [&](int64_t k) { return x[k]; };
    constexpr float kRipple = 8.0f;  // units a step may waver on its way
    for (int64_t i = 0; i < n;) {
        const float v = at(i);
        int64_t j = i;
        while (j < n && at(j) == v) ++j;
        if ((v != low && v != high) || j - i < kRailRun) {
            i = j;
            continue;
        }
        // The stretch goes on while the signal comes back to the limit soon
        // after leaving it (a beat standing out).
        int64_t end = j;
        for (int64_t k = j; k < n && k - end < 2 * kLocate; ++k)
            if (at(k) == v) end = k + 1;
        const auto dist = [&](int64_t k) { return std::fabs(at(k) - v); };
        int64_t a = i;  // the step onto the limit starts here
        while (a > 0 && i - a < kLocate && dist(a - 1) >= dist(a) - kRipple) --a;
        int64_t b = end - 1;  // the step off the limit ends here
        while (b + 1 < n && b - (end - 1) < kLocate && dist(b + 1) >= dist(b) - kRipple) ++b;
        stretches.push_back({a, b, i, end, v, at(a), at(b)});
        i = std::max(end, b + 1);
    }
    return stretches;
}

// The samples with the saturated stretches levelled, read at any position.
// A step may reach back into the stretch before it; there the later one counts.
class Levelled {
public:
    explicit Levelled(const Samples256& x) : x_(x), stretches_(SaturatedStretches(x)) {}
    float operator()(int64_t k) const
    {
        if (stretches_.empty()) return x_[k];
        auto s = std::upper_bound(stretches_.begin(), stretches_.end(), k,
                                  [](int64_t at, const SaturatedStretch& t) { return at < t.a; });
        if (s == stretches_.begin() || k > (--s)->b) return x_[k];
        const float line = s->before + (s->after - s->before) * static_cast<float>(k - s->a) /
                                           static_cast<float>(std::max<int64_t>(1, s->b - s->a));
        return line + (k >= s->from && k < s->end ? x_[k] - s->limit : 0.0f);
    }

private:
    Samples256 x_;
    std::vector<SaturatedStretch> stretches_;
};

// The detector's energy, position after position from the first: the
// levelled signal band-passed (roughly 5 to 25 Hz: the mean over 7 samples
// less the mean over 33), its slope to a power between 1 and 2 (squared, a
// wide ventricular beat of gentle slope falls under the threshold; plain,
// tall P waves pass it), integrated over a QRS length. Only the last few
// positions of each step are kept, so a recording of days needs no more
// memory than a minute.
class EnergyStream {
public:
    explicit EnergyStream(const Samples256& x)
        : level_(x), n_(x.size()), smooth_(n_, 3), slow_(n_, 16), integral_(n_, kRate * 75 / 1000)
    {
    }
    int64_t size() const { return n_; }
    // The energy at the next position.
    float Next()
    {
        return integral_.Next([this](int64_t k) { return RawAt(k); });
    }
    // The band's slope at k, within kKept / 2 positions of the last energy given.
    float SlopeAt(int64_t k) { return k >= 1 && k + 1 < n_ ? BandAt(k + 1) - BandAt(k - 1) : 0.0f; }

private:
    static constexpr int64_t kKept = 128;
    // Each made once: the two means read each position twice.
    float LevelAt(int64_t k)
    {
        for (; levelMade_ <= k; ++levelMade_) levelled_[Slot(levelMade_)] = level_(levelMade_);
        return levelled_[Slot(k)];
    }
    float BandAt(int64_t k)
    {
        const auto level = [this](int64_t i) { return LevelAt(i); };
        for (; bandMade_ <= k; ++bandMade_) band_[Slot(bandMade_)] = smooth_.Next(level) - slow_.Next(level);
        return band_[Slot(k)];
    }
    float RawAt(int64_t k)
    {
        for (; rawMade_ <= k; ++rawMade_) raw_[Slot(rawMade_)] = std::pow(std::fabs(SlopeAt(rawMade_)), 1.25f);
        return raw_[Slot(k)];
    }
    static size_t Slot(int64_t k) { return static_cast<size_t>(k) % kKept; }

    Levelled level_;
    int64_t n_;
    RunningCentredMean smooth_, slow_, integral_;
    std::array<float, kKept> levelled_{}, band_{}, raw_{};
    int64_t levelMade_ = 0, bandMade_ = 0, rawMade_ = 0;
};

// The energy peaks (the highest point within kPeakSpan on either side, with
// the steepest slope of the band within kLocate of it) and the largest energy
// of each two seconds.
struct EnergyPeaks {
    std::vector<Candidate> peaks;
    std::vector<float> blockMax;
};

EnergyPeaks FindEnergyPeaks(const Samples256& x)
{
    EnergyPeaks out;
    EnergyStream stream(x);
    const int64_t n = stream.size();
    constexpr int64_t kRecent = 64;  // the energy of the positions around the one looked at
    static_assert(kRecent > 2 * kPeakSpan);
    std::array<float, kRecent> recent{};
    const auto energy = [&](int64_t k) { return recent[static_cast<size_t>(k % kRecent)]; };
    // Reads the energy up to kPeakSpan after i.
    const auto consider = [&](int64_t i) {
        const float e = energy(i);
        if (e <= 0.0f || e < energy(i - 1) || e < energy(i + 1)) return;
        bool highest = true;
        for (int64_t k = std::max<int64_t>(0, i - kPeakSpan); k <= std::min(n - 1, i + kPeakSpan) && highest; ++k)
            highest = energy(k) < e || (energy(k) == e && k >= i);
        if (!highest) return;
        Candidate c{i, e, 0.0f};
        for (int64_t k = std::max<int64_t>(0, i - kLocate); k <= std::min(n - 1, i + kLocate); ++k)
            c.slope = std::max(c.slope, std::fabs(stream.SlopeAt(k)));
        out.peaks.push_back(c);
    };
    constexpr int64_t kBlock = 2 * kRate;
    float blockMax = 0.0f;
    for (int64_t i = 0; i < n; ++i) {
        const float e = stream.Next();
        recent[static_cast<size_t>(i % kRecent)] = e;
        blockMax = std::max(i % kBlock == 0 ? 0.0f : blockMax, e);
        if (i % kBlock == kBlock - 1 || i == n - 1) out.blockMax.push_back(blockMax);
        if (i - kPeakSpan >= 1) consider(i - kPeakSpan);
    }
    for (int64_t i = std::max<int64_t>(1, n - kPeakSpan); i + 1 < n; ++i) consider(i);
    return out;
}

// The energy made once more for stretches asked for with ascending starts;
// what is asked for again (a stretch cut shorter) is kept until a later start
// is asked for.
class EnergyReplay {
public:
    explicit EnergyReplay(const Samples256& x) : x_(x) {}
    // The median energy over from .. to - 1.
    float Median(int64_t from, int64_t to)
    {
        if (!stream_ || from < keptFrom_) {
            stream_.emplace(x_);
            kept_.clear();
            keptFrom_ = made_ = 0;
        }
        for (; made_ < from; ++made_) stream_->Next();
        while (keptFrom_ < from && !kept_.empty()) kept_.pop_front(), ++keptFrom_;
        keptFrom_ = from;
        for (; made_ < to; ++made_) kept_.push_back(stream_->Next());
        return rhy::Median({kept_.begin(), kept_.begin() + std::max<int64_t>(0, to - from)});
    }

private:
    Samples256 x_;
    std::optional<EnergyStream> stream_;
    std::deque<float> kept_;  // the energy from keptFrom_ to made_ - 1
    int64_t keptFrom_ = 0, made_ = 0;
};

// A second look at the beats with the rhythm around each of them known: a
// gap of about two beats gets the strongest peak in it when that peak is
// well above what was taken for noise; a weak peak between two strong beats
// that splits a regular interval in two is dropped (a pair of weak early beats
// stays).
void CheckAgainstRhythm(const std::vector<Candidate>& peaks, EnergyReplay& energy, std::vector<size_t>& beats)
{
    const auto rrOf = [&](size_t k) {
        return k == 0 ? 0.0f : static_cast<float>(peaks[beats[k]].at - peaks[beats[k - 1]].at);
    };
    const auto energyOf = [&](size_t k) { return peaks[beats[k]].energy; };
    for (size_t i = 0; i + 1 < beats.size();) {
        const int64_t from = peaks[beats[i]].at, to = peaks[beats[i + 1]].at;
        const float rr = AroundMedian(beats.size(), i, rrOf);
        size_t best = peaks.size();
        if (rr > 0.0f && static_cast<float>(to - from) > 2.0f * rr) {
            for (size_t q = beats[i] + 1; q < beats[i + 1]; ++q)
                if (peaks[q].at - from >= kTWaveSpan && to - peaks[q].at >= kTWaveSpan &&
                    (best == peaks.size() || peaks[q].energy > peaks[best].energy))
                    best = q;
            if (best != peaks.size()) {
                // Small beats (an amplifier still recovering from saturation)
                // stand out of a quiet gap though far under the usual beat.
                const float usual = AroundMedian(beats.size(), i, energyOf);
                const float quiet = energy.Median(from + kTWaveSpan, to - kTWaveSpan);
                const float e = peaks[best].energy;
                if (e < 0.2f * usual && (e < 3.0f * quiet || e < 0.01f * usual)) best = peaks.size();
            }
        }
        if (best == peaks.size()) ++i;
        else beats.insert(beats.begin() + static_cast<std::ptrdiff_t>(i + 1), best);
    }
    for (size_t i = 1; i + 1 < beats.size();) {
        const float span = static_cast<float>(peaks[beats[i + 1]].at - peaks[beats[i - 1]].at);
        const float rr = AroundMedian(beats.size(), i, rrOf);
        const float weak = 0.45f * AroundMedian(beats.size(), i, energyOf);
        if (span < 1.15f * rr && energyOf(i) < weak && energyOf(i - 1) >= weak && energyOf(i + 1) >= weak)
            beats.erase(beats.begin() + static_cast<std::ptrdiff_t>(i));
        else ++i;
    }
}

}  // namespace

std::vector<int64_t> DetectQrs(std::span<const int16_t> samples, int rate)
{
    if ((rate != 128 && rate != 256) || samples.size() < static_cast<size_t>(rate)) return {};
    const Samples256 x(samples, rate);
    const int64_t n = x.size();

    const EnergyPeaks found = FindEnergyPeaks(x);
    const std::vector<Candidate>& peaks = found.peaks;
    if (peaks.empty()) return {};

    // Start levels from the whole recording: the typical largest energy per
    // two seconds is a beat, a small part of it is noise.
    const std::vector<float>& blockMax = found.blockMax;
    float signalLevel = Median(blockMax), noiseLevel = 0.1f * signalLevel;
    const auto threshold = [&] { return noiseLevel + 0.2f * (signalLevel - noiseLevel); };

    std::vector<size_t> beats;  // indices into peaks
    float rrAverage = 0.8f * kRate;
    std::vector<float> recentRr;
    const auto accept = [&](size_t p, float weight) {
        if (!beats.empty()) {
            recentRr.push_back(static_cast<float>(peaks[p].at - peaks[beats.back()].at));
            if (recentRr.size() > 8) recentRr.erase(recentRr.begin());
            float sum = 0.0f;
            for (float v : recentRr) sum += v;
            rrAverage = sum / static_cast<float>(recentRr.size());
        }
        beats.push_back(p);
        // An artefact many times a beat would lift the level above every beat
        // after it; its weight is capped.
        signalLevel = weight * std::min(peaks[p].energy, 3.0f * signalLevel) + (1.0f - weight) * signalLevel;
    };
    const auto replaceLast = [&](size_t p) {
        if (!recentRr.empty()) recentRr.pop_back();
        beats.pop_back();
        accept(p, 0.0f);
    };
    int64_t searched = 0;  // where the last search back found nothing
    for (size_t p = 0; p < peaks.size(); ++p) {
        const Candidate& c = peaks[p];
        // Search back: a beat is overdue, take the best peak in the gap that
        // passes half the threshold.
        if (!beats.empty() && c.at - std::max(peaks[beats.back()].at, searched) > static_cast<int64_t>(1.66f * rrAverage)) {
            const int64_t last = peaks[beats.back()].at;
            size_t best = peaks.size();
            for (size_t q = beats.back() + 1; q < p; ++q)
                if (peaks[q].at - last >= kTWaveSpan && c.at - peaks[q].at >= kRefractory &&
                    peaks[q].energy > 0.5f * threshold() && (best == peaks.size() || peaks[q].energy > peaks[best].energy))
                    best = q;
            if (best != peaks.size()) accept(best, 0.25f);
            else {
                // Nothing there: the levels have run away from the beats (after
                // a burst of large waves). Lower them, once per overdue beat.
                searched = c.at;
                signalLevel *= 0.7f;
                noiseLevel = std::min(noiseLevel, 0.5f * signalLevel);
            }
        }
        // A beat much like the one just before passes under the threshold
        // too: the second of a pair of early beats is often the weaker.
        const bool likeLast = !beats.empty() && c.at - peaks[beats.back()].at >= kLikeLastSpan &&
                              c.energy > 0.5f * peaks[beats.back()].energy &&
                              c.slope > 0.5f * peaks[beats.back()].slope && c.energy > 2.0f * noiseLevel;
        if (c.energy > threshold() || likeLast) {
            if (beats.empty()) {
                accept(p, 0.125f);
                continue;
            }
            const Candidate& last = peaks[beats.back()];
            const int64_t gap = c.at - last.at;
            if (gap < kSameBeat) {
                // One heart cannot beat twice this soon: the stronger of the two is the QRS.
                if (c.energy > last.energy) replaceLast(p);
                continue;
            }
            // A T wave is gentler and weaker than its QRS; an early
            // ventricular beat may be as gentle but carries more energy.
            if (gap < kTWaveSpan && c.slope < 0.5f * last.slope && c.energy < 0.4f * last.energy) {
                noiseLevel = 0.125f * c.energy + 0.875f * noiseLevel;  // a T wave
                continue;
            }
            // The last one was a tall P wave before this QRS only when it was
            // far gentler: an early beat may be half as steep as the next.
            if (gap < kTWaveSpan && last.slope < 0.35f * c.slope) {
                replaceLast(p);
                continue;
            }
            accept(p, 0.125f);
            continue;
        }
        noiseLevel = 0.125f * c.energy + 0.875f * noiseLevel;
    }

    EnergyReplay energy(x);
    CheckAgainstRhythm(peaks, energy, beats);

    // Each beat on its R wave: the largest deflection from the local baseline
    // near the energy peak.
    WithoutBaseline y(samples, rate);
    std::vector<int64_t> out;
    out.reserve(beats.size());
    const int64_t scale = kRate / rate;
    for (size_t p : beats) {
        const int64_t at = peaks[p].at;
        int64_t best = at;
        float bestValue = -1.0f;
        for (int64_t k = std::max<int64_t>(0, at - kLocate); k <= std::min(n - 1, at + kLocate); ++k) {
            const float v = std::fabs(y.at(k));
            if (v > bestValue) bestValue = v, best = k;
        }
        const int64_t r = best / scale;
        if (out.empty() || r > out.back()) out.push_back(r);
    }
    return out;
}

}  // namespace rhy
