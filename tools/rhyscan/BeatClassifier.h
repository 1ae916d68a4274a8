#pragma once
#include "tools/rhyscan/BeatFeatures.h"
#include "tools/rhyscan/TreeModel.h"

#include <cstdint>
#include <span>
#include <vector>

// rhyscan's analysis: the beats of a recording with their MIT beat codes,
// normal 1, supraventricular ectopic 8, ventricular ectopic 5, fusion 6 and
// unclassifiable 13. Beats are found by rhyscan's own QRS detector over the
// whole recording; each is then classified by the built-in tree model from its
// rhythm and its shape against the recording's dominant beat, with the
// manager's typing of the same beat as one more input.
namespace rhy {

struct CodedBeat {
    int64_t sample = 0;  // R position at the recording's rate
    uint8_t code = 0;    // MIT beat code
};

// The MIT code of each model class, in class order (N, S, V, F, Q).
inline constexpr uint8_t kClassCodes[] = {1, 8, 5, 6, 13};
inline constexpr int kClassNormal = 0, kClassSupraventricular = 1, kClassVentricular = 2;
// A beat the trees call S is written S only when they give it more than this
// probability, else N; likewise V. train.py uses the same.
inline constexpr double kSupraventricularCertainty = 0.8;
inline constexpr double kVentricularCertainty = 0.5;
// With a second look (BeatContext), a beat's probabilities are the mean of the
// two looks', the first's weighing this much.
inline constexpr double kFirstStageWeight = 0.5;

struct DetectedBeats {
    std::vector<int64_t> samples;  // R positions at the recording's rate
    std::vector<uint8_t> types;    // the manager's type of each beat (not analysed where it has none)
};

// The beats as rhyscan's detector finds them, typed by the manager's own beat analysis.
DetectedBeats DetectBeats(std::span<const int16_t> samples, int sampleRate, int16_t digMin, int16_t digMax,
                                 int pauseThresholdSeconds);

// The class of one beat (N, S, V, F, Q as 0..4) from the model's class
// probabilities and the rhythm: S or V only when the model is sure of it, and
// S also for a normal-shaped beat in a fast regular run.
int ClassOf(const std::vector<double>& probabilities, const BeatFeatureRow& row);
// The same with the probabilities of one model for the row.
int ClassOf(const TreeModel& model, const BeatFeatureRow& row);

// samples at 128 or 256 per second (other rates give no beats).
std::vector<CodedBeat> ClassifyBeats(std::span<const int16_t> samples, int sampleRate, int16_t digMin,
                                     int16_t digMax, int pauseThresholdSeconds);

}  // namespace rhy
