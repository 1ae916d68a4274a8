#include "tools/rhyscan/BeatClassifier.h"

#include "signal/EveryBeat.h"
#include "tools/rhyscan/BeatFeatures.h"
#include "tools/rhyscan/ModelText.h"
#include "tools/rhyscan/TreeModel.h"

#include <cstdlib>
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

DetectedBeats DetectBeats(std::span<const int16_t> samples, int sampleRate, int16_t digMin, int16_t digMax,
                          int pauseThresholdSeconds)
{
    DetectedBeats d;
    for (const ecg::TypedBeat& b : ecg::AnalyseEveryBeat(samples, sampleRate, digMin, digMax, pauseThresholdSeconds)) {
        d.samples.push_back(b.sample);
        d.types.push_back(b.type);
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
        out[b] = {beats[b], kClassCodes[model.Predict(rows[b].data())]};
    return out;
}

}  // namespace rhy
