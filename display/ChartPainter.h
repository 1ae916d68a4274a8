#pragma once
#include "display/ChartState.h"
#include "signal/MitAnnotations.h"

#include <QColor>
#include <QRect>
#include <QString>
#include <span>
#include <vector>

class QPainter;

// Painting of the chart's parts onto any QPainter: the window's surfaces,
// the command line's image and the printed page use the same functions. Each
// takes the target rectangle in the painter's coordinates; `scale` is the
// size of one screen pixel in those coordinates (1 on screen; larger on a
// printer), used for pen widths and font sizes.
namespace chart {

struct Palette {
    QColor minorGrid, majorGrid, trace, engineeringTrace, modeEightTrace, pulse;
};
Palette PaletteFor(bool pink);

// Fills the target white and draws the millimetre grid scaled to it.
void PaintGrid(QPainter& p, const QRect& target, bool pink, double scale = 1.0);

// The time ruler ("0" at its left) and the row-end ruler (10, 20, 30 at
// the ends of the three rows of a chart `chartHeight` high).
void PaintTimeRuler(QPainter& p, const QRect& target, double scale = 1.0);
void PaintRowEndRuler(QPainter& p, const QRect& target, int chartHeight, double scale = 1.0);

// "Unit: Seconds" in the current language, and the gain indicator picture
// with 50 .. 300 " %" on it.
void PaintUnitLabel(QPainter& p, const QRect& target, double scale = 1.0);
void PaintGainIndicator(QPainter& p, const QRect& target, float gain, double scale = 1.0);

// The 1 mV calibration pulse beside a chart `chartHeight` high, at its middle row.
void PaintCalibrationPulse(QPainter& p, const QRect& target, int chartHeight, float gain, double scale = 1.0);

// What a trace is drawn from: the filtered working array of channel 1 (the
// first S x R samples), its rate and the drawing state.
struct TraceInput {
    std::span<const int16_t> samples;
    int rate = 0;
    int64_t wholeSeconds = 0;  // S
    int32_t extraSeconds = 0;  // S - span
    float gain = 2.0f;
    float penWidth = 1.6f;
    int32_t mode = 7;
    bool pink = true;
};

// The trace in the chosen mode, scaled into `target` (the chart's area; the
// normal trace fills its width - 1 and height - 1). Modes 1..3 draw nothing.
void PaintTrace(QPainter& p, const QRect& target, const TraceInput& trace, double scale = 1.0);

// Annotation codes written centred over their beats, inside their rows.
void PaintAnnotations(QPainter& p, const QRect& target, const std::vector<ecg::MitAnnotation>& annotations,
                      int64_t windowStart, int rate, double scale = 1.0);

// Writes text with its top-left corner at (x, y), as the chart's texts are placed.
void DrawTextTopLeft(QPainter& p, int x, int y, const QString& text);

}  // namespace chart
