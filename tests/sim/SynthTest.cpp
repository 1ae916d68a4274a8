// The ECG synthesiser: recorder units, determinism, rhythm patterns.
#include "sim/ecg/EcgSynth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

using sim::BeatKind;
using sim::SynthOptions;

TEST(EcgSynth, SamplesAreRecorderUnitsAtTheRequestedRate)
{
    for (int rate : {128, 256}) {
        SynthOptions o;
        o.sampleRate = rate;
        const sim::SynthResult r = sim::SynthesiseEcg(o);
        ASSERT_EQ(r.samples.size(), static_cast<size_t>(30 * rate));
        const auto [low, high] = std::minmax_element(r.samples.begin(), r.samples.end());
        EXPECT_GE(*low, 0);
        EXPECT_LE(*high, 4095);
        // R waves of 1.2 mV above a baseline at 2048 (186 units per mV).
        EXPECT_NEAR(*high, 2048 + 1.2 * 186, 20);
        std::vector<int16_t> sorted = r.samples;
        std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(sorted.size() / 2), sorted.end());
        EXPECT_NEAR(sorted[sorted.size() / 2], 2048, 15);
        // Every listed beat is an R peak of the signal.
        for (const sim::SynthBeat& b : r.beats) {
            ASSERT_LT(b.sample, static_cast<int64_t>(r.samples.size()));
            EXPECT_GT(r.samples[static_cast<size_t>(b.sample)], 2048 + 150);
        }
    }
}

TEST(EcgSynth, SameSeedSameSignalOtherSeedOtherSignal)
{
    SynthOptions o;
    o.noiseMv = 0.05;
    o.pvcProbability = 0.1;
    o.seed = 7;
    const sim::SynthResult a = sim::SynthesiseEcg(o), b = sim::SynthesiseEcg(o);
    EXPECT_EQ(a.samples, b.samples);
    ASSERT_EQ(a.beats.size(), b.beats.size());
    o.seed = 8;
    EXPECT_NE(sim::SynthesiseEcg(o).samples, a.samples);
}

TEST(EcgSynth, HeartRateSetsTheBeatCount)
{
    struct Case {
        double rate;
        size_t beats;
    };
    for (const Case c : {Case{45, 22}, Case{72, 36}, Case{130, 65}}) {
        SynthOptions o;
        o.heartRate = c.rate;
        o.variability = 0.0;
        const sim::SynthResult r = sim::SynthesiseEcg(o);
        EXPECT_NEAR(static_cast<double>(r.beats.size()), static_cast<double>(c.beats), 1.0) << c.rate;
        for (size_t k = 1; k < r.beats.size(); ++k)
            EXPECT_NEAR(static_cast<double>(r.beats[k].sample - r.beats[k - 1].sample), 256 * 60.0 / c.rate, 1.0);
    }
}

TEST(EcgSynth, BigeminyAlternatesWithCompensatoryPauses)
{
    SynthOptions o;
    o.pattern = sim::EctopyPattern::VentricularBigeminy;
    o.variability = 0.0;
    const sim::SynthResult r = sim::SynthesiseEcg(o);
    ASSERT_GT(r.beats.size(), 20u);
    const double rr = 256 * 60.0 / 72;
    for (size_t k = 1; k < r.beats.size(); ++k) {
        EXPECT_NE(r.beats[k].kind, r.beats[k - 1].kind) << k;
        const double interval = static_cast<double>(r.beats[k].sample - r.beats[k - 1].sample);
        const double expected = r.beats[k].kind == BeatKind::PrematureVentricular ? 0.6 * rr : 1.4 * rr;
        EXPECT_NEAR(interval, expected, 1.0);
    }
}

TEST(EcgSynth, TrigeminyAndAtrialPrematureBeats)
{
    SynthOptions o;
    o.pattern = sim::EctopyPattern::VentricularTrigeminy;
    const sim::SynthResult t = sim::SynthesiseEcg(o);
    int pvcs = 0;
    for (size_t k = 0; k < t.beats.size(); ++k) {
        if (t.beats[k].kind != BeatKind::PrematureVentricular) continue;
        ++pvcs;
        if (k >= 2) {
            EXPECT_EQ(t.beats[k - 1].kind, BeatKind::Normal);
            EXPECT_EQ(t.beats[k - 2].kind, BeatKind::Normal);
        }
    }
    EXPECT_GE(pvcs, 10);

    o = SynthOptions{};
    o.pacProbability = 0.2;
    o.seed = 5;
    const sim::SynthResult a = sim::SynthesiseEcg(o);
    EXPECT_GT(std::count_if(a.beats.begin(), a.beats.end(), [](const sim::SynthBeat& b) { return b.kind == BeatKind::PrematureAtrial; }), 2);
}

TEST(EcgSynth, PauseDelaysTheNextBeat)
{
    SynthOptions o;
    o.pausesAt = {15.0};
    o.pauseSeconds = 3.0;
    o.variability = 0.0;
    const sim::SynthResult r = sim::SynthesiseEcg(o);
    int64_t longest = 0;
    for (size_t k = 1; k < r.beats.size(); ++k) longest = std::max(longest, r.beats[k].sample - r.beats[k - 1].sample);
    EXPECT_NEAR(static_cast<double>(longest), 3.0 * 256, 1.0);
}

TEST(EcgSynth, IrregularRhythmSpreadsTheRr)
{
    SynthOptions o;
    o.irregular = true;
    const sim::SynthResult r = sim::SynthesiseEcg(o);
    int64_t low = 1 << 20, high = 0;
    for (size_t k = 1; k < r.beats.size(); ++k) {
        low = std::min(low, r.beats[k].sample - r.beats[k - 1].sample);
        high = std::max(high, r.beats[k].sample - r.beats[k - 1].sample);
    }
    EXPECT_GT(high - low, 256 * 0.3);
}

TEST(EcgSynth, WeakNoisyWanderingAndSaturatedSignals)
{
    SynthOptions o;
    o.amplitude = 0.2;
    const std::vector<int16_t> weak = sim::SynthesiseEcgSamples(o);
    EXPECT_LT(*std::max_element(weak.begin(), weak.end()), 2048 + 0.3 * 186);

    o = SynthOptions{};
    o.wanderMv = 1.0;
    o.wanderHz = 0.25;
    const std::vector<int16_t> wander = sim::SynthesiseEcgSamples(o);
    EXPECT_LT(*std::min_element(wander.begin(), wander.end()), 2048 - 150);

    o = SynthOptions{};
    o.saturated = {{10.0, 11.0}};
    const std::vector<int16_t> saturated = sim::SynthesiseEcgSamples(o);
    for (size_t i = 10 * 256; i < 11 * 256; ++i) ASSERT_EQ(saturated[i], 4095);
    EXPECT_LT(saturated[11 * 256 + 10], 4095);

    o = SynthOptions{};
    o.amplitude = 20.0;  // beyond the converter's range: clipped, never wrapped
    const std::vector<int16_t> clipped = sim::SynthesiseEcgSamples(o);
    EXPECT_EQ(*std::max_element(clipped.begin(), clipped.end()), 4095);
    EXPECT_GE(*std::min_element(clipped.begin(), clipped.end()), 0);

    o = SynthOptions{};
    o.noiseMv = 0.2;
    const std::vector<int16_t> noisy = sim::SynthesiseEcgSamples(o);
    const std::vector<int16_t> clean = sim::SynthesiseEcgSamples(SynthOptions{});
    double squares = 0;
    for (size_t i = 0; i < clean.size(); ++i) squares += (noisy[i] - clean[i]) * (noisy[i] - clean[i]);
    EXPECT_NEAR(std::sqrt(squares / static_cast<double>(clean.size())), 0.2 * 186, 3.0);
}

}  // namespace
