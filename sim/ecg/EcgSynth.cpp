#include "sim/ecg/EcgSynth.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace sim {
namespace {

// One Gaussian wave of a beat: centre relative to the R peak (s), height (mV), width (s).
struct Wave {
    double at, height, width;
};

struct Morphology {
    Wave waves[6];
    int count;
};

// Shapes of one lead-II-like complex. The T wave moves with the RR (QT shortens
// at faster rates).
Morphology ShapeOf(BeatKind kind, double rr)
{
    const double qt = 0.26 * std::sqrt(std::clamp(rr, 0.3, 2.0));
    switch (kind) {
    case BeatKind::PrematureVentricular:
        // Wide, tall and slurred, with a deep discordant T wave and no P wave.
        return {{{-0.030, -0.25, 0.020}, {0.0, 1.55, 0.034}, {0.060, -0.55, 0.035}, {qt + 0.04, -0.45, 0.070}},
                4};
    case BeatKind::PrematureAtrial:
        return {{{-0.17, -0.10, 0.022},
                 {-0.028, -0.10, 0.009},
                 {0.0, 1.20, 0.011},
                 {0.028, -0.28, 0.010},
                 {qt, 0.30, 0.055}},
                5};
    case BeatKind::Normal:
    default:
        return {{{-0.19, 0.14, 0.024},
                 {-0.028, -0.10, 0.009},
                 {0.0, 1.20, 0.011},
                 {0.028, -0.28, 0.010},
                 {qt, 0.32, 0.055}},
                5};
    }
}

// Deterministic on every platform: Box-Muller over mt19937 words.
class Random {
public:
    explicit Random(uint32_t seed) : engine_(seed) {}
    double Uniform() { return (static_cast<double>(engine_()) + 0.5) / 4294967296.0; }
    double Gauss()
    {
        const double u1 = Uniform(), u2 = Uniform();
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
    }

private:
    std::mt19937 engine_;
};

struct PlannedBeat {
    double time;  // seconds
    BeatKind kind;
    double rr;    // the sinus RR the shape is drawn for
};

std::vector<PlannedBeat> PlanBeats(const SynthOptions& o, Random& random)
{
    std::vector<PlannedBeat> beats;
    const double meanRr = 60.0 / std::max(o.heartRate, 10.0);
    std::vector<double> pauses = o.pausesAt;
    std::sort(pauses.begin(), pauses.end());
    size_t nextPause = 0;
    // Start a little before the recording so that its first second holds a beat.
    double t = -meanRr * random.Uniform();
    int index = 0;
    while (t < o.seconds + 1.0) {
        double rr = meanRr * (1.0 + o.variability * random.Gauss());
        if (o.irregular) rr = meanRr * (1.0 + o.irregularSpread * (2.0 * random.Uniform() - 1.0));
        rr = std::max(rr, 0.25);

        BeatKind kind = BeatKind::Normal;
        switch (o.pattern) {
        case EctopyPattern::VentricularBigeminy: kind = index % 2 == 1 ? BeatKind::PrematureVentricular : kind; break;
        case EctopyPattern::VentricularTrigeminy: kind = index % 3 == 2 ? BeatKind::PrematureVentricular : kind; break;
        case EctopyPattern::AtrialBigeminy: kind = index % 2 == 1 ? BeatKind::PrematureAtrial : kind; break;
        case EctopyPattern::None: break;
        }
        if (kind == BeatKind::Normal && index > 0) {
            const double u = random.Uniform();
            if (u < o.pvcProbability)
                kind = BeatKind::PrematureVentricular;
            else if (u < o.pvcProbability + o.pacProbability)
                kind = BeatKind::PrematureAtrial;
        }
        if (index == 0) kind = BeatKind::Normal;

        double next = t + rr;
        if (kind == BeatKind::PrematureVentricular) next = t + rr * o.pvcCoupling;
        if (kind == BeatKind::PrematureAtrial) next = t + rr * o.pacCoupling;
        // The sinus beat after a PVC comes two RR later (full compensatory pause).
        const double horizon = kind == BeatKind::PrematureVentricular ? t + 2.0 * rr : next;
        if (nextPause < pauses.size() && pauses[nextPause] > t && pauses[nextPause] <= horizon) {
            t += o.pauseSeconds;
            beats.push_back({t, BeatKind::Normal, rr});
            ++nextPause;
            ++index;
            continue;
        }
        beats.push_back({next, kind, rr});
        if (kind == BeatKind::PrematureVentricular) {
            t = horizon;
            beats.push_back({t, BeatKind::Normal, rr});
            ++index;
        } else {
            // A PAC resets the sinus node.
            t = next;
        }
        ++index;
    }
    std::sort(beats.begin(), beats.end(), [](const PlannedBeat& a, const PlannedBeat& b) { return a.time < b.time; });
    return beats;
}

}  // namespace

SynthResult SynthesiseEcg(const SynthOptions& o)
{
    SynthResult result;
    const int rate = o.sampleRate > 0 ? o.sampleRate : 256;
    const size_t count = static_cast<size_t>(std::max(0.0, o.seconds) * rate);
    std::vector<double> mv(count, 0.0);
    Random random(o.seed);

    for (const PlannedBeat& beat : PlanBeats(o, random)) {
        const Morphology shape = ShapeOf(beat.kind, beat.rr);
        const int64_t from = static_cast<int64_t>(std::floor((beat.time - 0.4) * rate));
        const int64_t to = static_cast<int64_t>(std::ceil((beat.time + 0.8) * rate));
        for (int64_t i = std::max<int64_t>(from, 0); i < std::min<int64_t>(to, static_cast<int64_t>(count)); ++i) {
            const double dt = static_cast<double>(i) / rate - beat.time;
            double v = 0.0;
            for (int w = 0; w < shape.count; ++w) {
                const Wave& wave = shape.waves[w];
                if (o.irregular && beat.kind != BeatKind::PrematureVentricular && wave.at < -0.1) continue;  // no P
                const double z = (dt - wave.at) / wave.width;
                v += wave.height * std::exp(-0.5 * z * z);
            }
            mv[static_cast<size_t>(i)] += v * o.amplitude;
        }
        const int64_t r = static_cast<int64_t>(std::llround(beat.time * rate));
        if (r >= 0 && r < static_cast<int64_t>(count)) result.beats.push_back({r, beat.kind});
    }

    // Fibrillatory waves of an irregular rhythm replace the P waves.
    const double wanderPhase = 2.0 * std::numbers::pi * random.Uniform();
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / rate;
        double v = mv[i];
        if (o.irregular) v += 0.04 * o.amplitude * std::sin(2.0 * std::numbers::pi * 6.3 * t + 0.7 * std::sin(t));
        v += o.wanderMv * std::sin(2.0 * std::numbers::pi * o.wanderHz * t + wanderPhase);
        v += o.mainsMv * std::sin(2.0 * std::numbers::pi * o.mainsHz * t);
        if (o.noiseMv > 0.0) v += o.noiseMv * random.Gauss();
        mv[i] = v;
    }

    result.samples.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const double units = std::round(kBaselineUnits + mv[i] * kUnitsPerMv);
        result.samples[i] = static_cast<int16_t>(std::clamp(units, 0.0, static_cast<double>(kMaxUnits)));
    }
    for (const auto& [start, end] : o.saturated) {
        const int64_t from = std::max<int64_t>(0, static_cast<int64_t>(start * rate));
        const int64_t to = std::min<int64_t>(static_cast<int64_t>(count), static_cast<int64_t>(end * rate));
        for (int64_t i = from; i < to; ++i) result.samples[static_cast<size_t>(i)] = kMaxUnits;
    }
    return result;
}

std::vector<int16_t> SynthesiseEcgSamples(const SynthOptions& options)
{
    return SynthesiseEcg(options).samples;
}

}  // namespace sim
