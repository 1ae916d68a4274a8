#pragma once
#include "tools/beatscore/BeatScore.h"

#include <cstdint>
#include <string>
#include <vector>

// MIT-BIH records (channel 0, format 212, 360 per second) cut into the
// recordings the recorder would have made of them: resampled to 128 or 256
// per second, 186 units per mV around 2048 in 12 bits, in pieces of a fixed
// length, with the reference beats of each piece at the piece's own rate.
namespace beatscore {

struct Recording {
    std::vector<int16_t> samples;
    std::vector<Beat> reference;  // beat annotations only, positions within the piece
};

// Channel 0 of a format-212 record file, in raw units (200 per mV, baseline 1024).
std::vector<int> ReadChannel0(const std::string& datPath);

// Linear resampling of raw units from 360 per second to `rate`, converted to
// recorder units (186 per mV around 2048) and clipped to 0..4095.
std::vector<int16_t> ToRecorderUnits(const std::vector<int>& raw360, int rate);

// All whole pieces of `seconds` of record `folder`/`name` (.dat and .atr);
// empty when the files cannot be read.
std::vector<Recording> CutRecord(const std::string& folder, const std::string& name, int rate, int seconds);

}  // namespace beatscore
