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

std::vector<int64_t> DetectBeats(std::span<const int16_t> samples, int sampleRate, int16_t digMin, int16_t digMax,
                                 int pauseThresholdSeconds)
{
    std::vector<int64_t> at;
    for (const ecg::TypedBeat& b : ecg::AnalyseEveryBeat(samples, sampleRate, digMin, digMax, pauseThresholdSeconds))
        at.push_back(b.sample);
    return at;
}

std::vector<CodedBeat> ClassifyBeats(std::span<const int16_t> samples, int sampleRate, int16_t digMin,
                                     int16_t digMax, int pauseThresholdSeconds)
{
    const std::vector<int64_t> beats = DetectBeats(samples, sampleRate, digMin, digMax, pauseThresholdSeconds);
    const std::vector<BeatFeatureRow> rows = ComputeBeatFeatures(samples, sampleRate, beats);
    const TreeModel& model = BuiltInModel();
    std::vector<CodedBeat> out(beats.size());
    for (size_t b = 0; b < beats.size(); ++b)
        out[b] = {beats[b], kClassCodes[model.Predict(rows[b].data())]};
    return out;
}

}  // namespace rhy
