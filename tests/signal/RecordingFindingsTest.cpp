// The whole analysis on synthesised recordings: what a clinician expects
// from the findings, and the pass's handling of blanking, start-up and rates.
#include "signal/BeatAnalysis.h"
#include "sim/ecg/EcgSynth.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

std::unique_ptr<ecg::AnalysisState> Analyse(const sim::SynthOptions& o, int pauseSeconds = 2)
{
    const std::vector<int16_t> samples = sim::SynthesiseEcgSamples(o);
    auto st = std::make_unique<ecg::AnalysisState>();
    ecg::AnalyseRecording(*st, samples, o.sampleRate, 0, 4095, pauseSeconds);
    return st;
}

bool AnyRhythmFinding(const ecg::AnalysisFindings& f) { return f.rhythm || f.waveform || f.pause || f.irregular; }

TEST(RecordingFindings, RegularRatesGiveTheirHeartRateAndNoFinding)
{
    for (double rate : {72.0, 45.0, 130.0}) {
        for (int sampleRate : {256, 128}) {
            for (uint32_t seed : {1u, 2u, 3u}) {
                sim::SynthOptions o;
                o.heartRate = rate;
                o.sampleRate = sampleRate;
                o.seed = seed;
                const auto st = Analyse(o);
                const ecg::AnalysisFindings& f = st->findings;
                SCOPED_TRACE(testing::Message() << rate << "/min at " << sampleRate << "/s, seed " << seed);
                EXPECT_NEAR(f.heartRate, rate, 1.0);
                EXPECT_FALSE(AnyRhythmFinding(f));
                EXPECT_FALSE(f.noise || f.unstable || f.weak);
                EXPECT_EQ(f.ectopyGrade, 1);
            }
        }
    }
}

TEST(RecordingFindings, ThreeSecondPauseGivesThePauseFinding)
{
    sim::SynthOptions o;
    o.pausesAt = {15.0};
    o.pauseSeconds = 3.0;
    const auto st = Analyse(o);
    EXPECT_TRUE(st->findings.pause);
    EXPECT_FALSE(st->findings.noise);
    EXPECT_NEAR(st->findings.heartRate, 72, 1.0);

    // The recorder's pause threshold of 4 s lets the same pause pass.
    EXPECT_FALSE(Analyse(o, 4)->findings.pause);
}

TEST(RecordingFindings, GapOfSixSecondsOrMoreIsNoiseNotPauseAndClearsTheOtherFindings)
{
    sim::SynthOptions o;
    o.pattern = sim::EctopyPattern::VentricularBigeminy;
    o.pausesAt = {15.0};
    o.pauseSeconds = 7.0;
    const auto st = Analyse(o);
    const ecg::AnalysisFindings& f = st->findings;
    EXPECT_TRUE(f.noise);
    EXPECT_FALSE(AnyRhythmFinding(f));
    EXPECT_EQ(f.ectopyGrade, 0);
}

TEST(RecordingFindings, VentricularBigeminyGivesRhythmWaveformAndGrade4)
{
    for (uint32_t seed : {1u, 2u, 3u, 4u}) {
        sim::SynthOptions o;
        o.pattern = sim::EctopyPattern::VentricularBigeminy;
        o.seed = seed;
        const auto st = Analyse(o);
        const ecg::AnalysisFindings& f = st->findings;
        SCOPED_TRACE(seed);
        EXPECT_TRUE(f.rhythm);
        EXPECT_TRUE(f.waveform);
        EXPECT_EQ(f.ectopyGrade, 4);
        EXPECT_FALSE(f.noise);
        // The premature beats are the abnormal ones.
        int abnormal = 0;
        for (int k = 0; k < st->countedBeats; ++k) abnormal += st->beatMark[static_cast<size_t>(k)] == ecg::kBeatAbnormal;
        EXPECT_GE(abnormal, st->countedBeats / 2 - 2);
    }
}

TEST(RecordingFindings, AtrialPrematureBeatsAreOfNormalShape)
{
    sim::SynthOptions o;
    o.pacProbability = 0.1;
    o.seed = 3;
    const auto st = Analyse(o);
    EXPECT_TRUE(st->findings.rhythm);
    EXPECT_FALSE(st->findings.waveform);
    int premature = 0;
    for (int k = 0; k < st->countedBeats; ++k)
        premature += st->beatMark[static_cast<size_t>(k)] == ecg::kBeatPrematureNormalShape;
    EXPECT_GE(premature, 3);
    EXPECT_GE(st->findings.ectopyGrade, 3);
}

TEST(RecordingFindings, IrregularRhythmGivesTheIrregularFinding)
{
    sim::SynthOptions o;
    o.irregular = true;
    EXPECT_TRUE(Analyse(o)->findings.irregular);
}

TEST(RecordingFindings, FewerThanTenCountedBeatsGiveNoiseAndNothingElse)
{
    sim::SynthOptions o;
    o.seconds = 10.0;
    o.pausesAt = {5.0};  // a pause as well, which the pass alone would report
    const auto st = Analyse(o);
    const ecg::AnalysisFindings& f = st->findings;
    EXPECT_LT(st->countedBeats, 10);
    EXPECT_TRUE(f.noise);
    EXPECT_EQ(f.heartRate, 0);
    EXPECT_FALSE(AnyRhythmFinding(f));
    EXPECT_EQ(f.ectopyGrade, 0);
}

TEST(RecordingFindings, LargeTotalVariationIsUnstableWithoutRhythmFindings)
{
    sim::SynthOptions o;
    o.noiseMv = 2.0;
    const auto st = Analyse(o);
    EXPECT_GE(st->totalVariation * 128 / 6324, 7901);
    EXPECT_TRUE(st->findings.unstable);
    EXPECT_FALSE(AnyRhythmFinding(st->findings));
    EXPECT_EQ(st->findings.ectopyGrade, 0);
}

TEST(RecordingFindings, WeakSignalGivesTheWeakFinding)
{
    sim::SynthOptions o;
    o.amplitude = 0.15;
    const auto st = Analyse(o);
    EXPECT_TRUE(st->findings.weak);
    EXPECT_NEAR(st->findings.heartRate, 72, 1.0);
}

TEST(AnalysisPass, SaturationBlanksResetsTheDetectorAndMarksTheNextTwoBeats)
{
    sim::SynthOptions o;
    o.saturated = {{12.0, 12.5}};
    const sim::SynthResult synth = sim::SynthesiseEcg(o);
    auto st = std::make_unique<ecg::AnalysisState>();
    ecg::AnalyseRecording(*st, synth.samples, 256, 0, 4095, 2);

    auto reported = [&](int64_t sample256) {
        for (int32_t b = 0; b < st->beatCount; ++b)
            if (std::abs(st->series.beatTime[static_cast<size_t>(b)] * 2 - sample256) <= 38) return static_cast<int>(b);
        return -1;
    };
    // Blanking lasts 38 samples (at 128/s) past the stretch; the detector then
    // learns again and does not report its first learning beat.
    const int64_t blankEnd = (12 * 128 + 64 + 38) * 2;
    std::vector<int> after;
    for (const sim::SynthBeat& beat : synth.beats) {
        if (beat.sample > 12 * 256 && beat.sample < 12 * 256 + 128) {
            EXPECT_LT(reported(beat.sample), 0);
        }
        // A beat in the last half second is reported only after the recording ends.
        if (beat.sample > blankEnd && beat.sample < 29 * 256 + 128) after.push_back(reported(beat.sample));
    }
    ASSERT_GE(after.size(), 10u);
    EXPECT_LT(after[0], 0);
    int marked = 0;
    for (size_t k = 1; k < after.size(); ++k) {
        ASSERT_GE(after[k], 0) << "beat " << k << " after the stretch not reported";
        const size_t slot = static_cast<size_t>(after[k]);
        if (st->series.iso[slot] == -1) {
            ++marked;
            EXPECT_LE(k, 2u);
            EXPECT_EQ(st->series.beatType[slot], ecg::kBeatUnclassified);
        }
    }
    EXPECT_EQ(marked, 2);
    EXPECT_FALSE(st->stableFlag);
}

TEST(AnalysisPass, Values30000AreGapsAndBlankedToo)
{
    sim::SynthOptions o;
    std::vector<int16_t> samples = sim::SynthesiseEcgSamples(o);
    for (size_t i = 12 * 256; i < 12 * 256 + 64; ++i) samples[i] = 30000;
    auto st = std::make_unique<ecg::AnalysisState>();
    ecg::AnalyseRecording(*st, samples, 256, -32768, 32767, 2);
    int marked = 0;
    for (int32_t b = 0; b < st->beatCount; ++b) marked += st->series.iso[static_cast<size_t>(b)] == -1;
    EXPECT_EQ(marked, 2);
}

TEST(AnalysisPass, At256PerSecondOnlyTheEvenSamplesCount)
{
    sim::SynthOptions o;
    o.pattern = sim::EctopyPattern::VentricularTrigeminy;
    const std::vector<int16_t> at256 = sim::SynthesiseEcgSamples(o);
    std::vector<int16_t> even, spoiled = at256;
    for (size_t i = 0; i < at256.size(); i += 2) even.push_back(at256[i]);
    for (size_t i = 1; i < spoiled.size(); i += 2) spoiled[i] = static_cast<int16_t>(i % 4 == 1 ? 4095 : 0);

    const ecg::AnalysisResult a = ecg::AnalyseRecording(at256, 256, 0, 4095, 2);
    const ecg::AnalysisResult b = ecg::AnalyseRecording(even, 128, 0, 4095, 2);
    const ecg::AnalysisResult c = ecg::AnalyseRecording(spoiled, 256, 0, 4095, 2);
    for (const ecg::AnalysisResult* other : {&b, &c}) {
        EXPECT_EQ(other->beatCount, a.beatCount);
        EXPECT_EQ(other->series.beatTime, a.series.beatTime);
        EXPECT_EQ(other->series.beatType, a.series.beatType);
        EXPECT_EQ(other->findings.heartRate, a.findings.heartRate);
        EXPECT_EQ(other->findings.ectopyGrade, a.findings.ectopyGrade);
    }
    // Positions are at 128 per second: the last beat lies within the 30 s.
    ASSERT_GT(a.beatCount, 0);
    EXPECT_LT(a.series.beatTime[static_cast<size_t>(a.beatCount - 1)], 30 * 128);
}

TEST(AnalysisPass, FirstSecondNeverReachesTheDetector)
{
    auto st = std::make_unique<ecg::AnalysisState>();
    ecg::ResetAnalysis(*st);
    sim::SynthOptions o;
    o.sampleRate = 128;
    const std::vector<int16_t> samples = sim::SynthesiseEcgSamples(o);
    for (size_t i = 0; i < 128; ++i) ecg::AnalyseSample(*st, samples[i]);
    EXPECT_EQ(st->detector.sinceBeat, 0);
    EXPECT_EQ(st->beatCount, 0);
    ecg::AnalyseSample(*st, samples[128]);
    EXPECT_EQ(st->detector.sinceBeat, 1);
}

TEST(AnalysisPass, DetectedBeatsMatchTheSynthesisedOnes)
{
    sim::SynthOptions o;
    o.pvcProbability = 0.1;
    o.seed = 11;
    const sim::SynthResult synth = sim::SynthesiseEcg(o);
    const ecg::AnalysisResult r = ecg::AnalyseRecording(synth.samples, 256, 0, 4095, 2);
    int matched = 0, scored = 0;
    for (const sim::SynthBeat& beat : synth.beats) {
        if (beat.sample < 6 * 256 || beat.sample > 29 * 256) continue;
        ++scored;
        for (int32_t b = 0; b < r.beatCount; ++b)
            if (std::abs(r.series.beatTime[static_cast<size_t>(b)] * 2 - beat.sample) <= 38) {
                ++matched;
                break;
            }
    }
    EXPECT_EQ(matched, scored);
}

}  // namespace
