#pragma once
#include "signal/QrsDetector.h"

#include <array>
#include <cstdint>
#include <span>

// The manager's own beat analysis of one recording: the per-sample pass
// (detection, measurement filters, saturation and movement watch, beat
// measurement) and the final classification into beat types and findings.
// The recorder runs the same analysis, so the results are comparable with
// its own; widths, truncation and wrap-around of every field are part of
// that contract. All state lives in one AnalysisState per analysis.
namespace ecg {

inline constexpr int kAnalysisRate = 128;    // samples per second analysed
inline constexpr int kRingSize = 600;        // measurement ring, samples
inline constexpr int kSeriesSize = 200;      // per-beat series, beats
inline constexpr int kFilterDelay = 3;       // measurement filter delay, samples

// Beat types after classification.
enum : uint8_t { kBeatUnclassified = 0, kBeatNormal = 1, kBeatAbnormal = 5, kBeatPrematureNormalShape = 8,
                 kBeatNotAnalysed = 13 };

// Findings and figures of one analysis, as the analysis block stores them.
struct AnalysisFindings {
    int16_t heartRate = 0;  // beats per minute; 0 when not analysable
    bool rhythm = false;
    bool waveform = false;
    bool pause = false;
    bool irregular = false;
    bool noise = false;
    bool unstable = false;
    bool weak = false;
    uint8_t ectopyGrade = 0;  // 0 not analysable, 1 none ... 4 runs or patterns
};

// Per-beat series, indexed by beat number modulo 200.
struct BeatSeries {
    std::array<int16_t, kSeriesSize> RtoR{};      // RR before the beat, ms (32000 when larger)
    std::array<int16_t, kSeriesSize> pve{};       // highest QRS value minus iso level
    std::array<int16_t, kSeriesSize> nve{};       // lowest QRS value minus iso level
    std::array<int16_t, kSeriesSize> peak{};      // positive share of the QRS amplitude, percent
    std::array<int16_t, kSeriesSize> beatArea{};  // QRS area, at most 32000
    std::array<int16_t, kSeriesSize> iso{};       // iso level change; -1 during movement or artefact
    std::array<int32_t, kSeriesSize> beatTime{};  // R peak, sample index at 128 per second
    std::array<int32_t, kSeriesSize> beatTime2{}; // second copy kept by the recorder's layout
    std::array<int16_t, kSeriesSize> width{};     // QRS width, ms
    std::array<uint16_t, kSeriesSize> noiseRatio{};  // percent, 0..120
    std::array<uint16_t, kSeriesSize> noiseCount{};  // turning points, 0..120
    std::array<uint8_t, kSeriesSize> beatType{};  // 13 until classified
};

// One IIR measurement filter (order up to 3); inputs kept as 16-bit integers.
struct MeasurementFilterState {
    std::array<int16_t, 3> x{};
    std::array<double, 3> y{};
};

// What MeasureBeat finds besides the R position.
struct BeatMeasurement {
    int rPosition = 0;     // samples back from the ring index
    int16_t isoLevel = 0;
    int16_t pve = 0, nve = 0;
    int32_t area = 0;
    int16_t width = 0;     // ms
    uint16_t noiseRatio = 0;
    uint16_t noiseCount = 0;
    bool widePremature = false;
};

struct AnalysisState {
    // Inputs fixed for one analysis.
    int16_t digMin = -32768, digMax = 32767;
    int pauseThresholdSeconds = 2;

    QrsDetectorState detector;
    std::array<MeasurementFilterState, 3> filters;

    BeatSeries series;
    std::array<uint8_t, kSeriesSize> beatMark{};  // per counted beat; holds the type after classification
    std::array<uint8_t, kSeriesSize> beatCode{};  // per counted beat, set by classification
    int16_t countedBeats = 0;
    int32_t beatCount = 0;  // all detected beats
    int32_t firstValidBeat = -1;
    int32_t stableStartBeat = -1;

    // Accumulators from the first valid beat on.
    uint16_t rrSum = 0;
    uint16_t normalRrSum = 0;
    int16_t normalRrCount = 0;
    int32_t normalWidthAreaSum = 0, normalWidthWidthSum = 0;
    int16_t normalWidthCount = 0;
    uint16_t runRrSum = 0;
    int16_t runCount = 0;
    int32_t runAreaSum = 0, runWidthSum = 0;
    int16_t runNormalWidthCount = 0;
    int16_t longRrCount = 0;
    int16_t longRrSum = 0;  // at most 32000
    int16_t noisyBeats = 0;
    int16_t maxRRchange = 0;
    int16_t ampBelow18 = 0, ampBelow46 = 0, ampBelow93 = 0;
    // Runs of beats whose positive share stays within 4 of the previous one.
    int16_t peakRunLength = 0;
    int32_t peakRunPeakSum = 0, peakRunAmpSum = 0;
    int16_t longestRunLength = 0;
    int32_t longestRunPeakSum = 0, longestRunAmpSum = 0;
    int16_t stableMorphCount = 0;
    int16_t stableMorphPeak = 0;

    bool stableFlag = true;
    bool moving = false;
    int16_t artefactCounter = 0;
    int16_t widePrematureCount = 0;
    bool lowAmplitude1 = false, lowAmplitude2 = false;
    AnalysisFindings findings;

    // Per-sample state.
    int64_t totalVariation = 0;
    int16_t previousV = 0;
    std::array<int16_t, kRingSize> ring{};
    int ringIndex = 0;
    int16_t movementSum = 0;
    int movementPhase = 0;
    std::array<int16_t, 12> movementRing{};
    int movementRingIndex = 0;
    int32_t movementRingSum = 0;
    int16_t movementHold = 0;
    int16_t blankCounter = 0;
    int16_t startDelay = 128;
    int32_t n = 0;
    int32_t previousPosition = 0;
    int16_t previousIso = 0;
    int16_t previousRtoR = 0;
    bool previousRrStable = false;
    int16_t previousAmplitude = 0;
    int8_t previousPeak = 0;
    int filterDelay = kFilterDelay;
};

// Everything a caller needs from one finished analysis.
struct AnalysisResult {
    AnalysisFindings findings;
    int32_t beatCount = 0;       // all detected beats (the series keep the last 200)
    int16_t countedBeats = 0;
    int32_t firstValidBeat = -1;
    int32_t stableStartBeat = -1;
    BeatSeries series;
};

// RR interval in ms from samples at 128 per second; 32000 when longer.
int16_t RrToMs(uint16_t rrSamples);

// Clears all series, accumulators, filters and the detector for a new analysis.
void ResetAnalysis(AnalysisState& st);

// One sample at 128 per second through the pass: blanking, detection,
// measurement filters, movement watch and, at a detected beat, its measurement.
void AnalyseSample(AnalysisState& st, int16_t x);

// Filter 0 (high-pass), 1 (low-pass) or 2 (movement detector); returns the
// output truncated toward zero.
int MeasurementFilter(MeasurementFilterState& f, int filter, int16_t x);

// Measures the beat the detector reported d samples back from ring index a,
// with the RR before it in samples. Returns the R peak's position in samples
// back from a (0 when d is 0) together with the measured values.
BeatMeasurement MeasureBeat(const std::array<int16_t, kRingSize>& ring, int a, int d, uint16_t rrSamples,
                            int16_t previousIso);

// Promotes the marks of the clean run just ended (mark 0 -> 1, 254 -> 2) when
// it lasted more than 2500 ms.
void MarkCleanRun(AnalysisState& st);

// Final classification into beat types, heart rate, findings and ectopy grade.
void FinishAnalysis(AnalysisState& st);

// Mean absolute deviation in per mille of the mean, ignoring jumps of more
// than 1.5 times the previous value; 0 when the mean is below 1.
int VariabilityIndex(std::span<const int16_t> values);

// Ectopy grade 1..4 from the counted beats' final types.
uint8_t GradeEctopy(const AnalysisState& st, bool shortPremature);

// The whole analysis over channel-1 samples. sampleRate must be 128 or 256
// (at 256 the even samples are analysed); digMin/digMax are the channel's
// digital limits; pauseThresholdSeconds comes from the recorder's header.
// Callers refuse other rates before calling; here they give a noise result.
AnalysisResult AnalyseRecording(std::span<const int16_t> samples, int sampleRate, int16_t digMin, int16_t digMax,
                                int pauseThresholdSeconds);

// Same, keeping the full state for callers that inspect marks and codes.
void AnalyseRecording(AnalysisState& st, std::span<const int16_t> samples, int sampleRate, int16_t digMin,
                      int16_t digMax, int pauseThresholdSeconds);

}  // namespace ecg
