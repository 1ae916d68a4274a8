#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <vector>

// What the beat classifier knows about one beat: its rhythm (RR intervals
// against the beats around it) and its shape against the recording's own
// dominant beat. Only ratios and shape measures, no absolute amplitudes, so
// that the gain of the recording does not matter. The training program dumps
// exactly these values, so the model sees at run time what it was trained on.
namespace rhy {

inline constexpr int kFeatureCount = 51;

// The first of the columns of the beat against the dominant one at fixed points (ShapePoints).
inline constexpr int kShapePointsFrom = 43;

// Column that is 1 for a beat in a fast regular run: clearly earlier than the
// recording's slow rhythm, in a regular rhythm, not right after a long
// interval. The model is not given it; the classifier calls such a beat
// supraventricular where the model finds its shape normal (see BeatClassifier).
inline constexpr int kFastRegularRun = 36;
using BeatFeatureRow = std::array<float, kFeatureCount>;

// Names in column order (for the training table's header).
const std::array<const char*, kFeatureCount>& FeatureNames();

// samples at `rate` (128 or 256 per second), beats as sample positions in
// ascending order with the manager's beat types (kBeatNormal, kBeatAbnormal,
// ...; empty when not known); one row per beat. Beats near the ends of the recording,
// with no beat before or after them, get the recording's typical RR interval
// in place of the missing one.
std::vector<BeatFeatureRow> ComputeBeatFeatures(std::span<const int16_t> samples, int rate,
                                                const std::vector<int64_t>& beats,
                                                const std::vector<uint8_t>& managerTypes);

}  // namespace rhy
