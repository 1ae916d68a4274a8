#pragma once
#include "tools/beatscore/BeatScore.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// MIT-BIH records (channel 0, format 212, 360 per second) cut into the
// recordings the recorder would have made of them: resampled to 128 or 256
// per second, 186 units per mV around 2048 in 12 bits, in pieces of a fixed
// length, with the reference beats of each piece at the piece's own rate.
namespace beatscore {

struct Recording {
    std::vector<int16_t> samples;
    std::vector<Beat> reference;  // beat annotations only, positions within the piece
    // Spans [from, to) of ventricular flutter or fibrillation: the reference
    // marks no beats there, so they are left out of the beat-by-beat score.
    std::vector<std::pair<int64_t, int64_t>> flutter;
};

// Channel 0 of a format-212 record file, in raw units (200 per mV, baseline 1024).
std::vector<int> ReadChannel0(const std::string& datPath);

// Linear resampling of raw units from 360 per second to `rate`, converted to
// recorder units (186 per mV around 2048) and clipped to 0..4095.
std::vector<int16_t> ToRecorderUnits(const std::vector<int>& raw360, int rate);

// All whole pieces of `seconds` of record `folder`/`name` (.dat and .atr),
// the first starting `offsetSeconds` into the record; empty when the files
// cannot be read.
std::vector<Recording> CutRecord(const std::string& folder, const std::string& name, int rate, int seconds,
                                 int offsetSeconds = 0);

// Whether a beat at `sample` of a piece at `rate` is scored: after the first
// 6 s and before the last 1 s (the analysis has no history at the start and
// no future at the end) and outside flutter.
bool IsScored(const Recording& r, int64_t sample, int rate);

// The beat-by-beat counts of an analyser's beats on one piece: pairing
// within 150 ms, scored as IsScored says.
Counts ScorePiece(const Recording& r, const std::vector<Beat>& test, int rate);

}  // namespace beatscore
