#pragma once
#include <QPoint>
#include <QSize>
#include <cstdint>
#include <span>
#include <vector>

// Pure arithmetic of the chart: sizes, the trace window, resampling and
// the points of each trace row. Every real-to-pixel conversion truncates
// toward zero.
namespace chart {

inline constexpr QSize kChartSize{733, 438};        // ECGChart
inline constexpr QSize kPulseSize{27, 440};         // mVImage
inline constexpr QSize kTimeRulerSize{733, 15};     // ECGChart1's bitmap
inline constexpr QSize kRowRulerSize{17, 438};      // ECGChart2's bitmap
inline constexpr QSize kUnitLabelSize{70, 13};      // ECGChart3
inline constexpr QSize kGainIndicatorSize{40, 20};  // ECGChart4
inline constexpr QSize kTraceCanvas{1280, 768};     // the trace's own coordinates: 10 s x 3 rows at 128/s
inline constexpr int kTraceRate = 128;              // the normal trace is drawn at 128 samples per second
inline constexpr int kRowSeconds = 10;
inline constexpr int kRows = 3;
inline constexpr double kUnitsPerMillivolt = 186.0;

// Whole seconds of a recording minus the chart span, computed wide and
// clamped to 32 bits (a long foreign recording never wraps negative).
int32_t ExtraSecondsOf(int64_t wholeSeconds, int chartSpan);

// First sample (at `rate`) of the drawn window: one second before the chart
// span, i.e. second S - 31; recordings shorter than 31 s start at their
// first sample.
int64_t WindowStart(int32_t extraSeconds, int rate);

// Resamples to 128/s as the normal trace does: out has 128 x S entries of
// which 0 .. n-2 are filled (out[i] from in[j], in[j+1] with j = i x R / 128).
std::vector<int16_t> ResampleTo128(std::span<const int16_t> in, int rate, int64_t wholeSeconds);

// Vertical offset in trace pixels of a sample value at a gain (positive up).
double TraceUnitsToPixels(int value, float gain);

// The three rows of the normal trace in trace coordinates (1280 x 768): row
// k holds the resampled entries start + 1280k + j for j = 0 .. 1278 that
// exist (n - 1 and beyond are not), at x = j and y about the row's base
// (128, 384, 640). A row with fewer than two points is left out.
std::vector<std::vector<QPoint>> TraceRows(std::span<const int16_t> resampled, int64_t start, float gain);

// Gain indicator number: 100 / (2 / gain), shortest decimal form (50 .. 300).
double GainPercent(float gain);

// Calibration pulse: baseline of the middle row and height in pixels for a
// chart `chartHeight` high (219 and 31 at 438 and gain 2).
int PulseBaseline(int chartHeight);
int PulseHeight(int chartHeight, float gain);

// Grid line positions for a chart of the given size: minor every fifth of a
// major square, majors every second (W/10) and every half row (H/6); the last
// major line of each direction lies on the last pixel.
struct GridLines {
    std::vector<int> minorX, minorY, majorX, majorY;
};
GridLines GridLinesFor(QSize chart);

// Where an annotation at sample `t` (at `rate`) is written: over its beat in
// the trace window, inside its row. False when it lies outside the window.
bool AnnotationPosition(int64_t t, int64_t windowStart, int rate, QSize chart, QPoint& at);

}  // namespace chart
