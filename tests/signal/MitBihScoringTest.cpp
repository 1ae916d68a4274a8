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

// Premature ventricular beats (annotation V) should be the abnormal beats
// (type 5) of the classification; record 119 has hundreds of them in bigeminy
// and trigeminy, record 100 none.
TEST(MitBihClassification, VentricularBeatsAreTheAbnormalOnes)
{
    const std::string folder = mitbih::RecordFolder();
    if (folder.empty()) GTEST_SKIP() << "MIT-BIH records not present in " TALMON_SHARED_DATA_DIR;
    constexpr int kRate = 256;
    constexpr int kLength = 30 * kRate;
    struct Case {
        const char* name;
        int minGrade4, maxGrade4;  // recordings with ectopy grade 4, of 60
    };
    for (const Case c : {Case{"100", 0, 0}, Case{"119", 45, 60}}) {
        const char* name = c.name;
        const std::vector<int16_t> signal =
            mitbih::ToRecorderUnits(mitbih::ReadChannel0(folder + "/" + name + ".dat"), kRate);
        const std::vector<mitbih::Annotation> annotations = mitbih::ReadAnnotations(folder + "/" + name + ".atr");
        int ventricular = 0, ventricularAsAbnormal = 0, others = 0, othersAsAbnormal = 0, grade4 = 0, segments = 0;
        for (size_t start = 0; start + kLength <= signal.size(); start += kLength) {
            const ecg::AnalysisResult r =
                ecg::AnalyseRecording(std::span<const int16_t>(signal.data() + start, kLength), kRate, 0, 4095, 2);
            ++segments;
            grade4 += r.findings.ectopyGrade == 4;
            for (int32_t b = 0; b < r.beatCount && b < ecg::kSeriesSize; ++b) {
                const uint8_t type = r.series.beatType[static_cast<size_t>(b)];
                if (type == ecg::kBeatNotAnalysed || type == ecg::kBeatUnclassified) continue;
                const int64_t at = int64_t{r.series.beatTime[static_cast<size_t>(b)]} * 2 + static_cast<int64_t>(start);
                for (const mitbih::Annotation& a : annotations) {
                    if (!mitbih::IsBeat(a.code) || std::llabs(a.sample * kRate / 360 - at) > kRate * 150 / 1000) continue;
                    const bool v = a.code == 5;
                    (v ? ventricular : others) += 1;
                    (v ? ventricularAsAbnormal : othersAsAbnormal) += type == ecg::kBeatAbnormal;
                    break;
                }
            }
        }
        std::printf("record %s: %d of %d V beats typed abnormal, %d of %d other beats; grade 4 in %d of %d recordings\n",
                    name, ventricularAsAbnormal, ventricular, othersAsAbnormal, others, grade4, segments);
        EXPECT_LE(othersAsAbnormal, others / 200) << name;
        EXPECT_GE(ventricularAsAbnormal, ventricular * 98 / 100) << name;
        EXPECT_GE(grade4, c.minGrade4) << name;
        EXPECT_LE(grade4, c.maxGrade4) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Records, MitBihScoring,
                         ::testing::Values(RecordCase{"100", 0.995, 0.995}, RecordCase{"119", 0.995, 0.995},
                                           RecordCase{"201", 0.98, 0.995}),
                         [](const auto& param) { return std::string("record") + param.param.name; });

}  // namespace
