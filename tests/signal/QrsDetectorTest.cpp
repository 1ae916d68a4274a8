// rhyscan's QRS detector on synthesised recordings: every beat of a clean
// recording at both rates, beats found again after a stretch that throws the
// thresholds (a burst of spikes, a saturated electrode), beats standing out of
// a saturated stretch without its edges taken for beats, and nothing from a
// signal without beats.
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
