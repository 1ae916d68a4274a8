#pragma once
#include <QString>
#include <cstdint>

// The display state the chart, the viewer controls and the printed report
// share for the run of the program.
struct ChartDisplayState {
    QString ChartColour;          // "1" pink paper; anything else green (stored as COLOR)
    float ChartGain = 2.0f;       // vertical gain 1..6; 2 is the standard gain
    float ChartRows = 3.0f;       // rows of the chart, constant
    uint16_t ChartSpan = 30;      // seconds shown by the chart
    int32_t ExtraSeconds = 0;     // whole seconds of the open recording minus ChartSpan, set at each redraw
    float TracePenWidth = 1.6f;   // trace pen width in off-screen trace pixels
    int32_t ChartMode = 7;        // 7 the normal trace; 4, 5, 6, 8 engineering views; 1..3 draw no trace

    bool pink() const { return ChartColour == QLatin1String("1"); }
};

// Viewer-control steps on the state. Each returns true when the chart must
// be redrawn (a click at a limit changes nothing and does not redraw).
namespace viewer {
inline constexpr float kStandardGain = 2.0f;
inline constexpr float kMinGain = 1.0f;
inline constexpr float kMaxGain = 6.0f;

bool ZoomIn(ChartDisplayState& s);
bool ZoomOut(ChartDisplayState& s);
bool Recover(ChartDisplayState& s);      // back to the standard gain
bool ToggleColour(ChartDisplayState& s);  // "1" -> "0", anything else -> "1"
// DisplayBtn: 7 -> 8 -> 7 ...; a mode above 7 first falls back to 6. Returns the new mode.
int32_t NextDisplayMode(ChartDisplayState& s);
// PenWidth: +0.2 in single precision; above 4 starts again at 1.
float NextPenWidth(ChartDisplayState& s);
// Plus: the engineering counter, +10, back to 0 above 100 (draws nothing).
int NextPlusCounter(int counter);
}  // namespace viewer
