// Fuzzes rhyscan's analysis of a recording's samples, which come from any
// recorder file the manager opens: the first byte picks 128 or 256 per second,
// the rest are the samples (two bytes each, little-endian, any 16-bit value).
// Never a crash or a read out of bounds; the beats lie inside the recording
// in ascending order with one of the written codes, and every feature of
// every beat is a number.
#include "tools/rhyscan/BeatClassifier.h"
#include "tools/rhyscan/BeatFeatures.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    const int rate = data[0] & 1 ? 128 : 256;
    std::vector<int16_t> samples((size - 1) / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(data[1 + 2 * i] | data[2 + 2 * i] << 8);

    const std::vector<rhy::CodedBeat> beats = rhy::ClassifyBeats(samples, rate, 0, 4095, 2);
    for (size_t b = 0; b < beats.size(); ++b) {
        if (beats[b].sample < 0 || beats[b].sample >= static_cast<int64_t>(samples.size())) std::abort();
        if (b > 0 && beats[b].sample <= beats[b - 1].sample) std::abort();
        if (std::find(std::begin(rhy::kClassCodes), std::end(rhy::kClassCodes), beats[b].code) == std::end(rhy::kClassCodes))
            std::abort();
    }
    const rhy::DetectedBeats detected = rhy::DetectBeats(samples, rate, 0, 4095, 2);
    for (const rhy::BeatFeatureRow& row : rhy::ComputeBeatFeatures(samples, rate, detected.samples, detected.types))
        for (float v : row)
            if (!std::isfinite(v)) std::abort();
    return 0;
}
