// rhyscan's QRS detector on synthesised recordings: every beat of a clean
// recording at both rates, beats found again after a stretch that throws the
// thresholds (a burst of spikes, a saturated electrode), beats standing out of
// a saturated stretch without its edges taken for beats, a small beat in a
// quiet pause (not in a noisy one), and nothing from a signal without beats.
#include "signal/EveryBeat.h"
#include "sim/ecg/EcgSynth.h"
#include "tools/beatscore/BeatScore.h"
#include "tools/rhyscan/QrsDetector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

// The detector's beats in the disturbed recording against the synthesised
// beats (as the manager finds them in the undisturbed one) in [from, to) seconds.
beatscore::Rates Score(const std::vector<int16_t>& clean, const std::vector<int16_t>& samples, int rate, double from,
                       double to)
{
    std::vector<beatscore::Beat> reference, test;
    for (const ecg::TypedBeat& b : ecg::AnalyseEveryBeat(clean, rate, 0, 4095, 2)) reference.push_back({b.sample, 1});
    for (int64_t at : rhy::DetectQrs(samples, rate)) test.push_back({at, 1});
    return beatscore::Qrs(beatscore::CompareBeats(reference, test, rate * 150 / 1000, static_cast<int64_t>(from * rate),
                                                  static_cast<int64_t>(to * rate)));
}

TEST(QrsDetector, FindsEveryBeatAndRecoversAfterDisturbances)
{
    struct Case {
        const char* name;
        int rate;
        double scoredFrom;  // seconds; the disturbance ends before
        std::function<void(sim::SynthOptions&)> setUp;
        std::function<void(std::vector<int16_t>&, int)> disturb;
    };
    const auto none = [](std::vector<int16_t>&, int) {};
    // Spikes of ten times a QRS's height, three a second, from 5 to 9 s.
    const auto spikes = [](std::vector<int16_t>& s, int rate) {
        for (int at = 5 * rate; at < 9 * rate; at += rate / 3)
            for (int k = -rate / 50; k <= rate / 50; ++k)
                s[static_cast<size_t>(at + k)] = static_cast<int16_t>(std::clamp(2048 + 2000 - 2000 * std::abs(k) * 50 / rate, 0, 4095));
    };
    const auto saturated = [](std::vector<int16_t>& s, int rate) {
        std::fill(s.begin() + 5 * rate, s.begin() + 10 * rate, int16_t{4095});
    };
    // The baseline drops far under the converter's range from 5.4 to 12 s:
    // only the R waves stand out of the flat floor.
    const auto floored = [](std::vector<int16_t>& s, int rate) {
        for (size_t i = static_cast<size_t>(5.4 * rate); i < static_cast<size_t>(12 * rate); ++i)
            s[i] = static_cast<int16_t>(std::max(s[i] - 1150, 1000));
    };
    const Case cases[] = {
        {"clean at 256", 256, 2, [](sim::SynthOptions&) {}, none},
        {"clean at 128", 128, 2, [](sim::SynthOptions&) {}, none},
        {"ventricular trigeminy", 256, 2, [](sim::SynthOptions& o) { o.pattern = sim::EctopyPattern::VentricularTrigeminy; }, none},
        {"noise and wander", 128, 2, [](sim::SynthOptions& o) { o.noiseMv = 0.05; o.wanderMv = 0.5; }, none},
        {"after a burst of spikes", 256, 10, [](sim::SynthOptions&) {}, spikes},
        {"after a saturated electrode", 256, 12, [](sim::SynthOptions&) {}, saturated},
        {"beats standing out of a saturated floor", 256, 2, [](sim::SynthOptions&) {}, floored},
        {"beats standing out of a saturated floor at 128", 128, 2, [](sim::SynthOptions&) {}, floored},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::SynthOptions o;
        o.sampleRate = c.rate;
        c.setUp(o);
        const std::vector<int16_t> clean = sim::SynthesiseEcgSamples(o);
        std::vector<int16_t> samples = clean;
        c.disturb(samples, c.rate);
        const beatscore::Rates r = Score(clean, samples, c.rate, c.scoredFrom, 29);
        EXPECT_GE(r.truePositives, 20);
        EXPECT_EQ(r.falseNegatives, 0);
        EXPECT_EQ(r.falsePositives, 0);
    }
}

TEST(QrsDetector, NoBeatsWithoutASignalOrAtAnotherRate)
{
    EXPECT_TRUE(rhy::DetectQrs(std::vector<int16_t>(30 * 256, 2048), 256).empty());
    EXPECT_TRUE(rhy::DetectQrs(std::vector<int16_t>(100, 2048), 256).empty());
    sim::SynthOptions o;
    EXPECT_TRUE(rhy::DetectQrs(sim::SynthesiseEcgSamples(o), 200).empty());
}

}  // namespace

// A pause of over two beats holding one small beat (an amplifier still
// recovering, a weak conducted beat): the second look finds it against the
// quiet around it, where the same small beat in a noisy pause is noise.
TEST(QrsDetector, SmallBeatInAPauseIsABeatOnlyWhereThePauseIsQuiet)
{
    struct Case {
        const char* name;
        int rate;
        double noiseUnits;  // in the pause only
        bool found;
    } cases[] = {
        {"quiet pause at 256", 256, 0.0, true},
        {"quiet pause at 128", 128, 0.0, true},
        {"noisy pause at 256", 256, 12.0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::SynthOptions o;
        o.sampleRate = c.rate;
        o.variability = 0.0;
        o.pausesAt = {15.0};
        o.pauseSeconds = 2.2;
        const sim::SynthResult synth = sim::SynthesiseEcg(o);
        std::vector<int16_t> s = synth.samples;
        // The beats either side of the pause, and a beat to copy.
        size_t after = 0;
        while (synth.beats[after].sample < 15 * c.rate) ++after;
        const int64_t from = synth.beats[after - 1].sample, to = synth.beats[after].sample;
        const int64_t small = (from + to) / 2, model = synth.beats[5].sample;
        uint32_t seed = 7;
        for (int64_t k = from + c.rate / 2; k < to - c.rate / 2; ++k) {
            seed = seed * 1664525u + 1013904223u;
            const double noise = c.noiseUnits * (static_cast<double>(seed >> 8) / 16777216.0 - 0.5) * 2.0;
            s[static_cast<size_t>(k)] = static_cast<int16_t>(std::lround(2048 + noise));
        }
        for (int64_t k = -c.rate / 5; k < c.rate / 5; ++k)
            s[static_cast<size_t>(small + k)] = static_cast<int16_t>(std::lround(
                s[static_cast<size_t>(small + k)] + 0.08 * (synth.samples[static_cast<size_t>(model + k)] - 2048)));
        const std::vector<int64_t> beats = rhy::DetectQrs(s, c.rate);
        const bool found = std::any_of(beats.begin(), beats.end(), [&](int64_t b) { return std::llabs(b - small) <= c.rate / 10; });
        EXPECT_EQ(found, c.found);
        // The beats either side are found either way.
        for (const int64_t edge : {from, to})
            EXPECT_TRUE(std::any_of(beats.begin(), beats.end(), [&](int64_t b) { return std::llabs(b - edge) <= c.rate / 10; }));
    }
}
