// Beat-by-beat scoring of the detector and beat measurement on real ECG:
// MIT-BIH records cut into 30-second recordings at 256 per second.
#include "MitBih.h"
#include "signal/BeatAnalysis.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

struct RecordCase {
    const char* name;
    double minSensitivity;
    double minPredictivity;
};

mitbih::Score ScoreRecord(const std::string& folder, const std::string& name)
{
    constexpr int kRate = 256;
    constexpr int kLength = 30 * kRate;
    const std::vector<int16_t> signal = mitbih::ToRecorderUnits(mitbih::ReadChannel0(folder + "/" + name + ".dat"), kRate);
    std::vector<int64_t> beats;
    for (const mitbih::Annotation& a : mitbih::ReadAnnotations(folder + "/" + name + ".atr"))
        if (mitbih::IsBeat(a.code)) beats.push_back(a.sample * kRate / 360);

    mitbih::Score total;
    for (size_t start = 0; start + kLength <= signal.size(); start += kLength) {
        const std::span<const int16_t> recording(signal.data() + start, kLength);
        const ecg::AnalysisResult r = ecg::AnalyseRecording(recording, kRate, 0, 4095, 2);
        std::vector<int64_t> detected;
        for (int32_t b = 0; b < r.beatCount && b < ecg::kSeriesSize; ++b)
            detected.push_back(int64_t{r.series.beatTime[static_cast<size_t>(b)]} * 2);  // 128 -> 256 per second
        std::vector<int64_t> reference;
        for (int64_t t : beats)
            if (t >= static_cast<int64_t>(start) && t < static_cast<int64_t>(start + kLength))
                reference.push_back(t - static_cast<int64_t>(start));
        // The detector reports a beat about 0.4 s after it happened, so a beat in the
        // last half second of a recording cannot be reported; that end is left out
        // like the detector's learning time at the start.
        total += mitbih::ScoreBeats(reference, detected, kRate * 150 / 1000, 6 * kRate, kLength - kRate / 2);
    }
    return total;
}

class MitBihScoring : public ::testing::TestWithParam<RecordCase> {};

TEST_P(MitBihScoring, FindsTheAnnotatedBeats)
{
    const std::string folder = mitbih::RecordFolder();
    if (folder.empty()) GTEST_SKIP() << "MIT-BIH records not present in " TALMON_SHARED_DATA_DIR;
    const RecordCase c = GetParam();
    const mitbih::Score s = ScoreRecord(folder, c.name);
    std::printf("record %s: sensitivity %.2f %%, positive predictivity %.2f %% (TP %d, FN %d, FP %d)\n", c.name,
                100.0 * s.Sensitivity(), 100.0 * s.PositivePredictivity(), s.truePositives, s.falseNegatives,
                s.falsePositives);
    EXPECT_GE(s.Sensitivity(), c.minSensitivity);
    EXPECT_GE(s.PositivePredictivity(), c.minPredictivity);
}

INSTANTIATE_TEST_SUITE_P(Records, MitBihScoring,
                         ::testing::Values(RecordCase{"100", 0.995, 0.995}, RecordCase{"119", 0.995, 0.995},
                                           RecordCase{"201", 0.98, 0.995}),
                         [](const auto& param) { return std::string("record") + param.param.name; });

}  // namespace
