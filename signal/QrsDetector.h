#pragma once
#include <array>
#include <cstdint>

// Heartbeat detector working sample by sample at 128 samples per second.
// A detection filter chain turns the ECG into a positive energy curve, a peak
// finder picks its maxima, and adaptive thresholds from the medians of the
// last five QRS and noise peaks decide which peaks are beats. Widths and
// wrap-around of every field are part of the behaviour (the recorder runs the
// same detector), so the integer types below are deliberate.
namespace ecg {

struct QrsDetectorState {
    // Band-pass stage history.
    int16_t lpX1 = 0, lpX2 = 0;
    double lpY1 = 0.0, lpY2 = 0.0;
    // High-pass by subtraction of a 16-sample moving average.
    std::array<int16_t, 16> hpRing{};
    int32_t hpSum = 0;
    uint8_t hpIndex = 0;
    // Derivative stage.
    int16_t derivPrev = 0;
    // Moving-window integrator over 10 samples.
    std::array<uint16_t, 10> mwiRing{};
    uint32_t mwiSum = 0;
    uint8_t mwiIndex = 0;
    // Peak finder.
    uint16_t peakMax = 0, lastValue = 0, sinceMax = 0;
    // Peak held for 32 samples so that only one QRS counts per 250 ms.
    uint16_t heldPeak = 0;
    uint8_t holdCount = 0;
    uint16_t sinceBeat = 0;
    std::array<uint16_t, 5> qrsPeaks{};
    uint8_t qrsIndex = 0;
    std::array<uint16_t, 5> noisePeaks{};
    uint8_t noiseIndex = 0;  // during learning: number of accepted learning beats
    std::array<uint16_t, 5> rrIntervals{128, 128, 128, 128, 128};
    uint16_t qrsMedian = 0, noiseMedian = 0, rrMedian = 128;
    uint16_t detThreshold = 0;
    uint16_t rrLimit = 192;
    uint16_t searchPeak = 0, searchLoc = 0;
    bool learning = true;
    bool firstBeat = true;
    uint16_t windowMax = 0;
    std::array<uint16_t, 5> windowMaxima{};
    uint8_t windowIndex = 0;
    int16_t windowCount = 0;
};

// Weight of the QRS-to-noise distance in the detection threshold.
inline constexpr double TH = 0.38;

// Puts the detector back to its starting state (learning again from scratch).
// The RR history and the search location are kept, as the detector relies on
// them being overwritten when learning ends.
void ResetQRSDetector(QrsDetectorState& s);

// Feeds one sample (128 per second). Returns 0 when no beat is reported here,
// otherwise how many samples ago the reported beat's detection point lies
// (always > 0; 50 for an ordinary detection).
int QRSDetect(QrsDetectorState& s, int16_t x);

// Median of the first n (1..5) values: sorted in descending order, element n/2.
uint16_t QrsMedian(const uint16_t* values, int n);

}  // namespace ecg
