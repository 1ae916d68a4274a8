#pragma once
// Reading the MIT-BIH records in the shared test data folder and turning them
// into recorder-style recordings (186 units per mV around 2048, 12 bits).
#include <cstdint>
#include <string>
#include <vector>

namespace mitbih {

struct Annotation {
    int64_t sample = 0;  // at 360 per second
    int code = 0;
};

// The shared data folder's mitdb/ path, or "" when it is absent.
std::string RecordFolder();

// Channel 0 of a format-212 record, in raw units (200 per mV, baseline 1024).
std::vector<int> ReadChannel0(const std::string& datPath);

// All annotations of an .atr file in file order.
std::vector<Annotation> ReadAnnotations(const std::string& atrPath);

// True for annotation codes that mark a beat.
bool IsBeat(int code);

// Linear resampling of raw units from 360 per second to `rate`, converted to
// recorder units and clipped to 0..4095.
std::vector<int16_t> ToRecorderUnits(const std::vector<int>& raw360, int rate);

struct Score {
    int truePositives = 0, falseNegatives = 0, falsePositives = 0;
    double Sensitivity() const;
    double PositivePredictivity() const;
    Score& operator+=(const Score& o);
};

// Detected against reference beat positions (same rate), each matched once
// within `window` samples; only positions in [skip, end) are scored.
Score ScoreBeats(const std::vector<int64_t>& reference, const std::vector<int64_t>& detected, int64_t window,
                 int64_t skip, int64_t end);

}  // namespace mitbih
