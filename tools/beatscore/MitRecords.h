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

// All whole pieces of `seconds` of record `folder`/`name` (.dat and .atr);
// empty when the files cannot be read.
std::vector<Recording> CutRecord(const std::string& folder, const std::string& name, int rate, int seconds);

}  // namespace beatscore
