#pragma once
#include <cstdint>
#include <span>
#include <vector>

// rhyscan's own QRS detector. The whole recording is at hand, so it works
// offline: band-pass, slope, squared and integrated over a QRS length, peaks
// of that energy taken against thresholds that follow the signal and noise
// peaks, a refractory period, T waves told apart by their gentler slope, and a
// search back with a lower threshold where a beat is overdue. A second look
// with the rhythm known fills gaps of two beats and drops weak peaks that
// split a regular interval; steps onto the converter's limit are no beats.
// Each beat is placed on its R wave (the largest deflection of the QRS).
namespace rhy {

// R positions in ascending order at the recording's rate (128 or 256 per
// second; other rates give no beats).
std::vector<int64_t> DetectQrs(std::span<const int16_t> samples, int rate);

}  // namespace rhy
