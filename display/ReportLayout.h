#pragma once
#include <QPageLayout>
#include <QPointF>
#include <QPolygonF>
#include <QRectF>
#include <QSizeF>
#include <cstdint>
#include <span>
#include <vector>

// Geometry of the printed report in millimetres. Layout coordinates start at
// the layout origin, which lies at a fixed place on A4 portrait paper; texts,
// lines and the ECG block sit kMarginLeft to the right of their given x,
// pictures do not. Nothing here depends on the printer's resolution: the page
// is painted in millimetres and never scaled to fit, so 25 mm/s and
// 10 mm/mV hold on every printer.
namespace report {

inline constexpr QSizeF kPaperSize{210.0, 297.0};  // A4 portrait
inline constexpr QPointF kLayoutOrigin{5.0, 4.0};  // the layout's (0, 0) on the paper
inline constexpr double kMarginLeft = 13.0;

// Everything the page prints, in layout coordinates (from the frame's left
// edge to the rhythm picture's right edge, from the logo's top to the
// bottom of the result line, with the pens' half widths).
inline constexpr QRectF kContentBox{QPointF(12.8, 1.0), QPointF(188.5, 287.5)};

// True when the content lies inside the printer's printable area, given on
// the paper in millimetres.
bool FitsPrintableArea(const QRectF& printableOnPaper);

// Whether a printer's page can take the report as it is: A4 portrait paper
// whose printable area (the paper less the printer's minimum margins) holds
// the content. The page is never scaled to fit.
enum class PaperFit { Fits, NotA4Portrait, PrintableAreaTooSmall };
PaperFit CheckPaper(const QPageLayout& layout);

// Pictures are drawn at `stretch` printer pixels per picture pixel of a
// 600-dpi printer: their size on paper in millimetres.
QSizeF PictureSizeMm(QSizeF picturePixels, double stretch);

// The ECG block: a 175 mm square whose top lies 100 mm down, five rows of
// 7 seconds at 25 mm per second, their baselines 30 mm apart.
inline constexpr double kBlockTop = 100.0;
inline constexpr double kBlockSize = 175.0;
inline constexpr double kMmPerSecond = 25.0;
inline constexpr double kMmPerMillivoltAtGain1 = 5.0;  // 10 mm/mV at the standard gain 2
inline constexpr double kUnitsPerMillivolt = 186.0;
inline constexpr int kRowSeconds = 7;
inline constexpr int kRowCount = 5;
inline constexpr double kRowSpacing = 30.0;
inline constexpr int kPageSeconds = 30;
// The trace is kept between the information box and the result line.
inline constexpr double kTraceTop = 96.0;
inline constexpr double kTraceBottom = 275.0;

// The samples a page shows: the 30 seconds that end one second before the
// last whole second (seconds S - 31 .. S - 1), or from the first sample when
// the recording is shorter than 31 whole seconds. [start, end) at the
// recording's rate; a partial last second is never drawn.
struct TraceWindow {
    int64_t start = 0;
    int64_t end = 0;
};
TraceWindow ReportTraceWindow(int64_t wholeSeconds, int rate);

// The trace rows in layout millimetres: sample start + k is drawn at
// x = margin + k x 25 / rate (row by row, 7 s each) and y = row baseline
// minus value / 186 x 5 x gain. `filtered` holds the recording's first S x R
// samples after the display filters.
std::vector<QPolygonF> ReportTraceRows(std::span<const int16_t> filtered, int rate, int64_t wholeSeconds,
                                       float gain);

// The calibration pulse for a gain: its baseline and top in layout mm (the
// pulse is 5 x gain mm high: 10 mm at the standard gain).
struct PulseLevels {
    double base = 0;
    double top = 0;
};
PulseLevels ReportPulseLevels(float gain);

// Positions that move with the user-interface language so that translated
// labels fit (x in mm; pictures without the margin, the rest with it).
struct LanguagePlaces {
    int positionPictures[3];
    int heartPicture;
    int checkBoxes[3];  // left edges; each box is 3 mm square, 80 .. 83 mm down
    int positionLabels[3];
    int dateValue;
    int resultY;
    int heartRateX, heartRateY;
    int valueX, bpmX;
};
LanguagePlaces LanguagePlacesFor(int languageId);

}  // namespace report
