#include "display/ChartPainter.h"

#include "art/Pictures.h"
#include "display/ChartGeometry.h"
#include "lang/TextTable.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <algorithm>
#include <cmath>

namespace chart {

namespace {

// Texts are sized in points of a 96-dpi screen, as the window shows them.
QFont ChartFont(double points, double scale)
{
    QFont f(QStringLiteral("Arial"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(points * 96.0 / 72.0 * scale))));
    return f;
}

QPen LinePen(const QColor& c, double scale)
{
    QPen pen(c);
    pen.setWidthF(scale);
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

// Maps the 1280 x 768 trace coordinates onto the chart's drawing area.
void UseTraceCoordinates(QPainter& p, const QRect& target)
{
    p.translate(target.topLeft());
    p.scale((target.width() - 1) / double(kTraceCanvas.width()), (target.height() - 1) / double(kTraceCanvas.height()));
}

void PaintNormalTrace(QPainter& p, const QRect& target, const TraceInput& t, const Palette& pal)
{
    const std::vector<int16_t> resampled = ResampleTo128(t.samples, t.rate, t.wholeSeconds);
    const auto rows = TraceRows(resampled, WindowStart(t.extraSeconds, kTraceRate), t.gain);
    // The points are mapped from the trace's 1280 x 768 into the target here,
    // and the pen keeps its width in trace pixels: a thin cosmetic pen takes
    // the painter's fast anti-aliased path (a transformed wide pen is several
    // times slower).
    const double sx = (target.width() - 1) / double(kTraceCanvas.width());
    const double sy = (target.height() - 1) / double(kTraceCanvas.height());
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    QPen pen(pal.trace);
    pen.setCosmetic(true);
    pen.setWidthF(t.penWidth * sx);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    QPolygonF line;
    for (const auto& row : rows) {
        line.resize(qsizetype(row.size()));
        for (size_t i = 0; i < row.size(); ++i)
            line[qsizetype(i)] = QPointF(target.left() + row[i].x() * sx, target.top() + row[i].y() * sy);
        p.drawPolyline(line);
    }
    p.restore();
}

// Samples of the engineering views: from one second before the span to the
// second-last sample, at the recording's own rate.
struct RawWindow {
    int64_t start = 0, end = 0;  // [start, end)
    double perRow = 0;           // samples per row
};

RawWindow RawWindowOf(const TraceInput& t)
{
    RawWindow w;
    const int64_t total = std::min<int64_t>(t.wholeSeconds * t.rate, static_cast<int64_t>(t.samples.size()));
    w.start = WindowStart(t.extraSeconds, t.rate);
    w.end = std::max<int64_t>(w.start, total - 1);
    w.perRow = double(t.rate) * kRowSeconds;
    return w;
}

void PaintModeEight(QPainter& p, const QRect& target, const TraceInput& t, const Palette& pal)
{
    const RawWindow w = RawWindowOf(t);
    const double step = kTraceCanvas.width() / w.perRow;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    UseTraceCoordinates(p, target);
    QPen pen(pal.modeEightTrace);
    pen.setWidthF(t.penWidth);
    p.setPen(pen);
    double base = kTraceCanvas.height() / 3 / 2;
    QPolygonF row;
    for (int64_t i = w.start; i < w.end; ++i) {
        double x = double(row.size()) * step;
        if (x >= kTraceCanvas.width()) {
            p.drawPolyline(row);
            row.clear();
            base += kTraceCanvas.height() / kRows;
            if (base > kTraceCanvas.height()) break;
            x = 0;
        }
        row << QPointF(x, std::trunc(base - TraceUnitsToPixels(t.samples[size_t(i)], t.gain)));
    }
    if (base < kTraceCanvas.height()) p.drawPolyline(row);
    p.restore();
}

// Views 5 and 6: polylines straight on the chart, rows based at H/6, H/2, 5H/6.
void PaintDirectRows(QPainter& p, const QRect& target, const TraceInput& t, const Palette& pal, bool smooth,
                     double scale)
{
    const RawWindow w = RawWindowOf(t);
    const double step = target.width() / w.perRow;
    const double amplitude = 0.02 * target.width() * t.gain / kUnitsPerMillivolt;
    const auto perRow = static_cast<int64_t>((w.perRow * kRows - 1) / kRows);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, smooth);
    p.setPen(LinePen(pal.engineeringTrace, scale));
    for (int r = 0; r < kRows; ++r) {
        const double base = target.top() + target.height() * (2 * r + 1) / 6.0;
        QPolygonF row;
        for (int64_t k = 0; k < perRow; ++k) {
            const int64_t i = w.start + r * perRow + k;
            if (i >= w.end) break;
            row << QPointF(target.left() + std::trunc(k * step), std::trunc(base - t.samples[size_t(i)] * amplitude));
        }
        p.drawPolyline(row);
    }
    p.restore();
}

// View 4: per pixel column the extremes of its samples; a jump of more than
// 80 units between neighbouring columns draws the extremes for at least two
// columns (a jump below 50 counts that hold down), otherwise the mid value.
void PaintEnvelope(QPainter& p, const QRect& target, const TraceInput& t, const Palette& pal, double scale)
{
    const RawWindow w = RawWindowOf(t);
    const double perColumn = w.perRow / target.width();
    const double amplitude = 0.02 * target.width() * t.gain / kUnitsPerMillivolt;
    p.save();
    p.setPen(LinePen(pal.engineeringTrace, scale));
    for (int r = 0; r < kRows; ++r) {
        const double base = target.top() + target.height() * (2 * r + 1) / 6.0;
        int prevMin = 0, prevMax = 0, hold = 0;
        QPointF last;
        for (int c = 0; c < target.width(); ++c) {
            const int64_t from = w.start + static_cast<int64_t>((r * target.width() + c) * perColumn);
            const int64_t to = w.start + static_cast<int64_t>((r * target.width() + c + 1) * perColumn);
            if (from >= w.end) break;
            int lo = t.samples[size_t(from)], hi = lo;
            for (int64_t i = from; i < std::min(to, w.end); ++i) {
                lo = std::min<int>(lo, t.samples[size_t(i)]);
                hi = std::max<int>(hi, t.samples[size_t(i)]);
            }
            const int jump = c == 0 ? 0 : std::max(std::abs(hi - prevMax), std::abs(lo - prevMin));
            if (jump > 80) hold = std::max(hold, 2);
            else if (jump < 50 && hold > 0) --hold;
            const double x = target.left() + c;
            if (hold > 0) {
                p.drawLine(QPointF(x, base - hi * amplitude), QPointF(x, base - lo * amplitude));
                last = QPointF(x, base - (lo + hi) / 2.0 * amplitude);
            } else {
                const QPointF mid(x, base - (lo + hi) / 2.0 * amplitude);
                if (c > 0) p.drawLine(last, mid);
                last = mid;
            }
            prevMin = lo;
            prevMax = hi;
        }
    }
    p.restore();
}

}  // namespace

Palette PaletteFor(bool pink)
{
    if (pink)
        return {QColor(255, 192, 203), QColor(255, 122, 122), QColor(0, 0, 0),
                QColor(32, 32, 32),    QColor(0, 0, 0),       QColor(85, 85, 85)};
    return {QColor(205, 231, 183), QColor(133, 223, 56), QColor(20, 73, 137),
            QColor(45, 88, 140),   QColor(16, 68, 132),  QColor(85, 85, 85)};
}

void DrawTextTopLeft(QPainter& p, int x, int y, const QString& text)
{
    p.drawText(QRect(x, y, 10000, 10000), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, text);
}

void PaintGrid(QPainter& p, const QRect& target, bool pink, double scale)
{
    const Palette pal = PaletteFor(pink);
    const GridLines g = GridLinesFor(target.size());
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(target, Qt::white);
    p.setClipRect(target);
    p.translate(target.topLeft());
    const int w = target.width(), h = target.height();
    p.setPen(LinePen(pal.minorGrid, scale));
    for (int y : g.minorY) p.drawLine(0, y, w, y);
    for (int x : g.minorX) p.drawLine(x, 0, x, h);
    p.setPen(LinePen(pal.majorGrid, scale));
    for (int y : g.majorY) p.drawLine(0, y, w, y);
    for (int x : g.majorX) p.drawLine(x, 0, x, h);
    p.restore();
}

void PaintTimeRuler(QPainter& p, const QRect& target, double scale)
{
    p.save();
    p.fillRect(target, Qt::white);
    p.setPen(Qt::black);
    p.setFont(ChartFont(8, scale));
    DrawTextTopLeft(p, target.left(), target.top(), QStringLiteral("0"));
    p.restore();
}

void PaintRowEndRuler(QPainter& p, const QRect& target, int chartHeight, double scale)
{
    p.save();
    p.fillRect(target, Qt::white);
    p.setPen(Qt::black);
    p.setFont(ChartFont(8, scale));
    for (int row = 0; row < kRows; ++row)
        DrawTextTopLeft(p, target.left(), target.top() + chartHeight * 2 * row / 6, QString::number((row + 1) * kRowSeconds));
    p.restore();
}

void PaintUnitLabel(QPainter& p, const QRect& target, double scale)
{
    p.save();
    p.fillRect(target, Qt::white);
    p.setPen(Qt::black);
    p.setFont(ChartFont(7, scale));
    DrawTextTopLeft(p, target.left() + int(1 * scale), target.top() + int(1 * scale), TextOf(82));
    p.restore();
}

void PaintGainIndicator(QPainter& p, const QRect& target, float gain, double scale)
{
    p.save();
    p.fillRect(target, Qt::white);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawImage(target, LoadPictureImageAtScale(QStringLiteral("image\\percentage.bmp"), scale > 1.5 ? 2 : 1));
    p.setPen(Qt::black);
    p.setFont(ChartFont(8, scale));
    DrawTextTopLeft(p, target.left() + int(4 * scale), target.top() + int(3 * scale),
                    QString::number(GainPercent(gain), 'g', 15) + QStringLiteral(" %"));
    p.restore();
}

void PaintCalibrationPulse(QPainter& p, const QRect& target, int chartHeight, float gain, double scale)
{
    const QColor colour = PaletteFor(true).pulse;
    const int q = PulseBaseline(chartHeight);
    const int h = PulseHeight(chartHeight, gain);
    p.save();
    p.fillRect(target, Qt::white);
    p.translate(target.topLeft());
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing, false);
    QPen pen(colour);
    pen.setWidth(1);
    pen.setCapStyle(Qt::SquareCap);
    p.setPen(pen);
    const QPoint path[] = {{8, q}, {11, q}, {11, q - h}, {15, q - h}, {15, q}, {19, q}};
    p.drawPolyline(path, 6);
    p.setFont(ChartFont(6, 1.0));
    DrawTextTopLeft(p, 1, q + 6, QStringLiteral(" 1 mV"));
    p.restore();
}

void PaintTrace(QPainter& p, const QRect& target, const TraceInput& trace, double scale)
{
    if (trace.rate <= 0 || trace.samples.empty() || trace.wholeSeconds <= 0) return;
    const Palette pal = PaletteFor(trace.pink);
    p.save();
    p.setClipRect(target);
    switch (trace.mode) {
    case 7: PaintNormalTrace(p, target, trace, pal); break;
    case 8: PaintModeEight(p, target, trace, pal); break;
    case 5: PaintDirectRows(p, target, trace, pal, true, scale); break;
    case 6: PaintDirectRows(p, target, trace, pal, false, scale); break;
    case 4: PaintEnvelope(p, target, trace, pal, scale); break;
    default: break;  // 1, 2, 3 and unknown modes: no trace
    }
    p.restore();
}

void PaintAnnotations(QPainter& p, const QRect& target, const std::vector<ecg::MitAnnotation>& annotations,
                      int64_t windowStart, int rate, double scale)
{
    p.save();
    p.setClipRect(target);
    p.setPen(Qt::black);
    p.setFont(ChartFont(8, scale));
    for (const ecg::MitAnnotation& a : annotations) {
        QPoint at;
        if (!AnnotationPosition(a.sample, windowStart, rate, target.size(), at)) continue;
        // Centred over its beat.
        const QString code = QString::number(a.code);
        const int half = p.fontMetrics().horizontalAdvance(code) / 2;
        DrawTextTopLeft(p, target.left() + at.x() - half, target.top() + at.y(), code);
    }
    p.restore();
}

}  // namespace chart
