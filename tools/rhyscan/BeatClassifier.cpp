#include "tools/rhyscan/BeatClassifier.h"

#include "signal/BeatAnalysis.h"
#include "signal/EveryBeat.h"
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

const TreeModel& BuiltInModel()
{
    static const TreeModel model = [] {
        std::optional<TreeModel> m = TreeModel::Parse(BuiltInModelText());
        // The model is compiled in and checked by the tests; a broken one is a
        // build fault, not something a user could repair.
        if (!m || m->featureCount() != kFeatureCount || m->classCount() != static_cast<int>(std::size(kClassCodes)))
            std::abort();
        return *m;
    }();
    return model;
}

}  // namespace

int ClassOf(const TreeModel& model, const BeatFeatureRow& row)
{
    // The trees are evaluated once: the winning class (the lowest on a tie) and its probability.
    const std::vector<double> p = model.Probabilities(row.data());
    int cls = static_cast<int>(std::max_element(p.begin(), p.end()) - p.begin());
    // An early beat of normal shape is supraventricular or a normal beat of a
    // changing rhythm; only a clear call of the trees is written as S.
    if (cls == kClassSupraventricular && p[kClassSupraventricular] <= kSupraventricularCertainty)
        cls = kClassNormal;
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
    const TreeModel& model = BuiltInModel();
    std::vector<CodedBeat> out(beats.size());
    for (size_t b = 0; b < beats.size(); ++b)
        out[b] = {beats[b], kClassCodes[ClassOf(model, rows[b])]};
    return out;
}

}  // namespace rhy
