#include "tools/rhyscan/BeatClassifier.h"

#include "signal/BeatAnalysis.h"
#include "signal/EveryBeat.h"
#include "tools/rhyscan/BeatContext.h"
#include "tools/rhyscan/BeatFeatures.h"
#include "tools/rhyscan/ModelText.h"
#include "tools/rhyscan/QrsDetector.h"
#include "tools/rhyscan/TreeModel.h"

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <optional>

namespace rhy {

namespace {

// The first look reads a beat's features; the second, when the model has one,
// also what the first took the beats around it for (BeatContext).
const std::vector<TreeModel>& BuiltInModel()
{
    static const std::vector<TreeModel> stages = [] {
        std::optional<std::vector<TreeModel>> m = TreeModel::ParseAll(BuiltInModelText());
        // The model is compiled in and checked by the tests; a broken one is a
        // build fault, not something a user could repair.
        const int classes = static_cast<int>(std::size(kClassCodes));
        if (!m || m->size() > 2 || (*m)[0].featureCount() != kFeatureCount || (*m)[0].classCount() != classes ||
            (m->size() == 2 && ((*m)[1].featureCount() != kContextFeatureCount || (*m)[1].classCount() != classes)))
            std::abort();
        return *m;
    }();
    return stages;
}

}  // namespace

int ClassOf(const TreeModel& model, const BeatFeatureRow& row) { return ClassOf(model.Probabilities(row.data()), row); }

int ClassOf(const std::vector<double>& p, const BeatFeatureRow& row)
{
    // The winning class (the lowest on a tie) and its probability.
    int cls = static_cast<int>(std::max_element(p.begin(), p.end()) - p.begin());
    // An early beat of normal shape is supraventricular or a normal beat of a
    // changing rhythm; only a clear call of the trees is written as S.
    if (cls == kClassSupraventricular && p[kClassSupraventricular] <= kSupraventricularCertainty)
        cls = kClassNormal;
    // A noisy normal beat often looks a little ventricular.
    if (cls == kClassVentricular && p[kClassVentricular] <= kVentricularCertainty) cls = kClassNormal;
    // The training records hold too few runs of supraventricular tachycardia
    // for the trees to learn them; a normal-shaped beat in a fast regular run
    // is one by the rhythm alone.
    return cls == kClassNormal && row[kFastRegularRun] > 0.5f ? kClassSupraventricular : cls;
}

DetectedBeats DetectBeats(std::span<const int16_t> samples, int sampleRate, int16_t digMin, int16_t digMax,
                          int pauseThresholdSeconds)
{
    DetectedBeats d;
    d.samples = DetectQrs(samples, sampleRate);
    // The manager's typing of the same beats is a second opinion for the
    // classifier: each beat takes the type of the manager's beat within 100 ms.
    const std::vector<ecg::TypedBeat> typed =
        ecg::AnalyseEveryBeat(samples, sampleRate, digMin, digMax, pauseThresholdSeconds);
    const int64_t near = sampleRate / 10;
    size_t j = 0;
    d.types.assign(d.samples.size(), ecg::kBeatNotAnalysed);
    for (size_t b = 0; b < d.samples.size(); ++b) {
        while (j < typed.size() && typed[j].sample < d.samples[b] - near) ++j;
        size_t best = typed.size();
        for (size_t k = j; k < typed.size() && typed[k].sample <= d.samples[b] + near; ++k)
            if (best == typed.size() || std::llabs(typed[k].sample - d.samples[b]) < std::llabs(typed[best].sample - d.samples[b]))
                best = k;
        if (best < typed.size()) d.types[b] = typed[best].type;
    }
    return d;
}

std::vector<CodedBeat> ClassifyBeats(std::span<const int16_t> samples, int sampleRate, int16_t digMin,
                                     int16_t digMax, int pauseThresholdSeconds)
{
    const DetectedBeats detected = DetectBeats(samples, sampleRate, digMin, digMax, pauseThresholdSeconds);
    const std::vector<int64_t>& beats = detected.samples;
    const std::vector<BeatFeatureRow> rows = ComputeBeatFeatures(samples, sampleRate, beats, detected.types);
    const std::vector<TreeModel>& stages = BuiltInModel();
    std::vector<std::vector<double>> p(beats.size());
    for (size_t b = 0; b < beats.size(); ++b) p[b] = stages[0].Probabilities(rows[b].data());
    if (stages.size() > 1) {
        const std::vector<ContextRow> context = ComputeBeatContext(p, rows);
        for (size_t b = 0; b < beats.size(); ++b) {
            const std::vector<double> second = stages[1].Probabilities(context[b].data());
            for (size_t c = 0; c < second.size(); ++c)
                p[b][c] = kFirstStageWeight * p[b][c] + (1.0 - kFirstStageWeight) * second[c];
        }
    }
    std::vector<CodedBeat> out(beats.size());
    for (size_t b = 0; b < beats.size(); ++b) out[b] = {beats[b], kClassCodes[ClassOf(p[b], rows[b])]};
    return out;
}

}  // namespace rhy
