#pragma once
#include <cstddef>
#include <span>
#include <vector>

// The beats of one recording grouped by shape. A run of ventricular beats can
// outnumber the normal ones around a beat, so "the dominant beat" is then the
// ventricular shape; grouped over the whole recording, the run is still a
// group of its own that is wider and earlier than the narrow regular one.
namespace rhy {

// Pearson's correlation of two shapes of n samples (0 when either is flat).
float Correlation(const float* a, const float* b, int n);

// Beats whose shapes correlate at least this well (over a small shift) share a group.
inline constexpr float kSameShape = 0.9f;

// Groups a beat is compared with: a group for every beat of a 30-second
// recording up to 256 beats a minute. Grouping takes time in proportion to
// the beats times these.
inline constexpr size_t kComparedGroups = 128;

// One shape window per beat (all of the same length, R at the same place),
// seen where the caller keeps them (a day's beats are too many to copy);
// returns each beat's group, numbered in order of first appearance. Each beat
// joins the group whose median shape it resembles most, when at least
// kSameShape, or else starts one (a group of its own only, past
// kComparedGroups groups).
using ShapeWindows = std::vector<std::span<const float>>;
std::vector<int> GroupByShape(const ShapeWindows& windows);

// What a beat's group says about it.
struct GroupFeatures {
    float share = 1;        // the group's beats against all beats of the recording
    float widthRatio = 1;   // the group's median QRS width against the narrowest big group's
    float prematurity = 1;  // the median of its beats' previous RR against the typical RR
    float nextRatio = 1;    // the median of its beats' next RR against the typical RR
    float corrRegular = 1;  // its median shape against that of the big group with the most regular rhythm
    float corrNarrow = 1;   // its median shape against that of the narrowest big group
};

// windows as for GroupByShape; widths in ms, previous and next RR against the
// typical RR and how much the RR interval changes around the beat, one value per beat.
std::vector<GroupFeatures> DescribeGroups(const ShapeWindows& windows, const std::vector<int>& group,
                                          const std::vector<float>& widths, const std::vector<float>& prevRatio,
                                          const std::vector<float>& nextRatio, const std::vector<float>& rrChange);

}  // namespace rhy
