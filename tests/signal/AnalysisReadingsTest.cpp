// Three rules of the beat analysis whose other reading changes the findings
// of real recordings: the reference share is signed, the amplitude jump is
// tested against any previous beat, and a beat left out of the
// classification breaks a run of wide matching beats.
#include "signal/BeatAnalysis.h"
#include "sim/ecg/EcgSynth.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

// One counted beat as the per-sample pass would leave it.
struct HandBeat {
    int16_t rr = 1000;  // ms
    int16_t pve = 30, nve = -70;
    int16_t area = 300;
    int16_t width = 60;  // ms
    uint8_t mark = 1;    // in a clean run
};

// Classifies hand-made beats: clean, steady (no premature-by-timing test),
// reference values from the beats themselves.
std::unique_ptr<ecg::AnalysisState> Classified(const std::vector<HandBeat>& beats)
{
    auto st = std::make_unique<ecg::AnalysisState>();
    ecg::ResetAnalysis(*st);
    st->firstValidBeat = 0;
    st->stableStartBeat = 0;
    for (size_t k = 0; k < beats.size(); ++k) {
        const HandBeat& b = beats[k];
        ecg::BeatSeries& s = st->series;
        s.RtoR[k] = b.rr;
        s.pve[k] = b.pve;
        s.nve[k] = b.nve;
        s.peak[k] = static_cast<int16_t>(b.pve * 100 / (b.pve - b.nve));
        s.beatArea[k] = b.area;
        s.width[k] = b.width;
        st->beatMark[k] = b.mark;
        st->rrSum = static_cast<uint16_t>(st->rrSum + b.rr);
        st->normalRrSum = static_cast<uint16_t>(st->normalRrSum + b.rr);
        ++st->normalRrCount;
        if (b.width >= 21 && b.width <= 79) {
            st->normalWidthAreaSum += b.area;
            st->normalWidthWidthSum += b.width;
            ++st->normalWidthCount;
        }
    }
    st->countedBeats = static_cast<int16_t>(beats.size());
    st->beatCount = static_cast<int32_t>(beats.size());
    ecg::FinishAnalysis(*st);
    return st;
}

int CountType(const ecg::AnalysisState& st, uint8_t type)
{
    int n = 0;
    for (int k = 0; k < st.countedBeats; ++k) n += st.beatMark[static_cast<size_t>(k)] == type;
    return n;
}

// The reference beats (the longest RR) are mostly negative: their positive
// share is -8 %. Beats of the same shape (share 8 %) must match it.
std::unique_ptr<ecg::AnalysisState> NegativeReferenceShare()
{
    std::vector<HandBeat> beats(25);
    for (size_t k = 0; k < beats.size(); ++k) {
        beats[k].pve = k < 3 ? -10 : 10;
        beats[k].nve = k < 3 ? -130 : -110;
        beats[k].rr = k < 3 ? 1010 : 1000;
    }
    return Classified(beats);
}

// Three narrow reference beats, then 40 wide beats of the same shape; one of
// them (number 20) is an artefact and is not classified.
std::unique_ptr<ecg::AnalysisState> WideRun(bool artefactInside)
{
    std::vector<HandBeat> beats(43);
    for (size_t k = 0; k < beats.size(); ++k) {
        beats[k].rr = k < 3 ? 1010 : 1000;
        beats[k].area = k < 3 ? 200 : 300;
        beats[k].width = k < 3 ? 60 : 100;
    }
    if (artefactInside) beats[20].mark = 255;
    return Classified(beats);
}

// A synthesised recording whose beat just before the first counted one is a
// third as tall as the others: the first counted beat is an amplitude jump.
std::unique_ptr<ecg::AnalysisState> SmallBeatBeforeTheFirstCounted()
{
    sim::SynthOptions o;
    o.sampleRate = 128;
    o.amplitude = 1.5;
    o.variability = 0.0;
    o.heartRate = 150;  // RR below 500 ms: the beats of the first 5 seconds are not counted
    std::vector<int16_t> samples = sim::SynthesiseEcgSamples(o);
    auto pass = [](const std::vector<int16_t>& s) {
        auto st = std::make_unique<ecg::AnalysisState>();
        ecg::ResetAnalysis(*st);
        for (int16_t x : s) ecg::AnalyseSample(*st, x);
        return st;
    };
    const auto plain = pass(samples);
    EXPECT_GE(plain->firstValidBeat, 1) << "a beat before the first counted one";
    if (plain->firstValidBeat < 1) return nullptr;
    const int32_t before = plain->series.beatTime[static_cast<size_t>(plain->firstValidBeat - 1)];
    for (int32_t i = std::max(0, before - 20); i < before + 20; ++i) {
        int16_t& x = samples[static_cast<size_t>(i)];
        x = static_cast<int16_t>(sim::kBaselineUnits + (x - sim::kBaselineUnits) * 9 / 20);
    }
    auto st = pass(samples);
    EXPECT_EQ(st->firstValidBeat, plain->firstValidBeat);
    return st;
}

TEST(AnalysisReadings, EachReadingDecidesTheBeatsAndFindings)
{
    struct Case {
        const char* reading;
        std::function<std::unique_ptr<ecg::AnalysisState>()> run;
        std::function<void(const ecg::AnalysisState&)> check;
    };
    const std::vector<Case> cases = {
        {"a negative reference share stays negative", NegativeReferenceShare,
         [](const ecg::AnalysisState& st) {
             EXPECT_EQ(CountType(st, ecg::kBeatAbnormal), 0);  // as unsigned (248) every beat differed
             EXPECT_EQ(CountType(st, ecg::kBeatNormal), st.countedBeats);
             EXPECT_FALSE(st.findings.rhythm);
             EXPECT_FALSE(st.findings.waveform);
             EXPECT_EQ(st.findings.ectopyGrade, 1);
         }},
        {"a long run of wide matching beats turns them abnormal", [] { return WideRun(false); },
         [](const ecg::AnalysisState& st) {
             EXPECT_GE(CountType(st, ecg::kBeatAbnormal), 31);
             EXPECT_EQ(st.findings.ectopyGrade, 4);
         }},
        {"a beat left out breaks the run of wide matching beats", [] { return WideRun(true); },
         [](const ecg::AnalysisState& st) {
             EXPECT_EQ(CountType(st, ecg::kBeatAbnormal), 0);
             EXPECT_EQ(CountType(st, ecg::kBeatUnclassified), 1);
             EXPECT_EQ(st.findings.ectopyGrade, 1);
         }},
        {"the first counted beat is compared with the uncounted beat before it", SmallBeatBeforeTheFirstCounted,
         [](const ecg::AnalysisState& st) {
             // 254 promoted to 2 when its clean run closed.
             EXPECT_TRUE(st.beatMark[0] == 254 || st.beatMark[0] == 2) << int{st.beatMark[0]};
             EXPECT_TRUE(st.findings.waveform);  // a clean jump of a tall beat
             EXPECT_NE(st.beatMark[1], 254);     // the beats after it are steady
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reading);
        const auto st = c.run();
        ASSERT_NE(st, nullptr);
        c.check(*st);
    }
}

}  // namespace
