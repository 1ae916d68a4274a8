#pragma once
#include "signal/BeatAnalysis.h"

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Engineering comparison of the recorder's own findings and beat series with
// the manager's analysis of the same recordings, summed over many files.
namespace ecg {

// What the recorder stored about one recording (its header bytes and its
// eight beat-measurement series of 100 values).
struct RecorderAnalysis {
    uint8_t noise = 0;          // non-zero: noisy
    uint8_t rhythm = 0;
    uint8_t waveform = 0;
    uint8_t pause = 0;
    uint8_t signalQuality = 0;  // bit 0 unstable, bit 4 weak
    // RtoR, pve, nve, peak, beatArea, beatTime, iso, and one more, 100 each.
    std::array<std::array<int16_t, 100>, 8> series{};
};

// Mismatch counts per label, and the number of files compared.
struct BatchTally {
    int noise = 0, rhythm = 0, waveform = 0, pause = 0, problem = 0, weak = 0;
    int rtor = 0, pve = 0, nve = 0, peak = 0, beatArea = 0, beatTime = 0, iso = 0;
    int count = 0;
};

// Adds one recording's mismatches to the tally and counts the file.
void CompareWithRecorder(const RecorderAnalysis& recorder, const AnalysisResult& manager, BatchTally& tally);

// The labels as shown ("Noise:", "Rhythm:", ... "count:") with their counts, in display order.
std::vector<std::pair<std::string, int>> BatchLabels(const BatchTally& tally);

}  // namespace ecg
