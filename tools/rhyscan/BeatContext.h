#pragma once
#include "tools/rhyscan/BeatFeatures.h"

#include <array>
#include <vector>

// The classifier's second look at a beat: what its first look took the beats
// around it for. A ventricular beat every other beat, a run of ventricular or
// supraventricular beats, or a shape group that is mostly called ventricular
// says more about a beat than the beat alone.
namespace rhy {

// Columns before the beat's own features: its first-look probabilities of N, S
// and V; those of S and V of the two beats before and the two after it (-1
// where the recording has no such beat); the mean probabilities of S and V over
// the recording and over the beat's shape group. The trees choose which they
// read (the built-in ones leave out the means, see tools/rhyscan-train).
inline constexpr int kContextColumns = 15;
inline constexpr int kContextFeatureCount = kContextColumns + kFeatureCount;
using ContextRow = std::array<float, kContextFeatureCount>;

// probabilities: the first look's class probabilities (N, S, V, F, Q) of each
// beat of one recording, in order; rows: the same beats' features. One row per beat.
std::vector<ContextRow> ComputeBeatContext(const std::vector<std::vector<double>>& probabilities,
                                           const std::vector<BeatFeatureRow>& rows);

}  // namespace rhy
