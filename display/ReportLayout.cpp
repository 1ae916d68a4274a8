#include "display/ReportLayout.h"

#include <QPageSize>
#include <algorithm>
#include <cmath>

namespace report {

bool FitsPrintableArea(const QRectF& printableOnPaper)
{
    const QRectF content = kContentBox.translated(kLayoutOrigin);
    return printableOnPaper.contains(content);
}

PaperFit CheckPaper(const QPageLayout& layout)
{
    const QSizeF paper = layout.pageSize().size(QPageSize::Millimeter);
    const bool a4 = std::abs(paper.width() - kPaperSize.width()) < 1.0 &&
                    std::abs(paper.height() - kPaperSize.height()) < 1.0;
    if (!a4 || layout.orientation() != QPageLayout::Portrait) return PaperFit::NotA4Portrait;
    QPageLayout mm = layout;
    mm.setUnits(QPageLayout::Millimeter);
    const QMarginsF edge = mm.minimumMargins();
    const QRectF printable(QPointF(edge.left(), edge.top()),
                           QPointF(kPaperSize.width() - edge.right(), kPaperSize.height() - edge.bottom()));
    return FitsPrintableArea(printable) ? PaperFit::Fits : PaperFit::PrintableAreaTooSmall;
}

QSizeF PictureSizeMm(QSizeF picturePixels, double stretch)
{
    constexpr double kMmPerPrinterPixel = 25.4 / 600.0;
    return picturePixels * stretch * kMmPerPrinterPixel;
}

TraceWindow ReportTraceWindow(int64_t wholeSeconds, int rate)
{
    if (rate <= 0 || wholeSeconds <= 0) return {};
    const int64_t start = std::max<int64_t>(0, (wholeSeconds - kPageSeconds - 1) * rate);
    const int64_t end = std::min<int64_t>(start + int64_t(kPageSeconds) * rate, wholeSeconds * rate);
    return {start, end};
}

std::vector<QPolygonF> ReportTraceRows(std::span<const int16_t> filtered, int rate, int64_t wholeSeconds, float gain)
{
    std::vector<QPolygonF> rows;
    const TraceWindow w = ReportTraceWindow(wholeSeconds, rate);
    const int64_t end = std::min<int64_t>(w.end, static_cast<int64_t>(filtered.size()));
    if (end <= w.start) return rows;
    // One second is 25 mm whatever the sample count: the step follows the rate alone.
    const double step = kMmPerSecond / rate;
    const double mmPerUnit = kMmPerMillivoltAtGain1 * static_cast<double>(gain) / kUnitsPerMillivolt;
    const int64_t perRow = int64_t(kRowSeconds) * rate;
    for (int64_t rowStart = w.start, row = 0; rowStart < end && row < kRowCount; rowStart += perRow, ++row) {
        const double base = kBlockTop + kRowSpacing * double(row + 1);
        QPolygonF points;
        for (int64_t i = rowStart; i < std::min(rowStart + perRow, end); ++i)
            points << QPointF(kMarginLeft + double(i - rowStart) * step,
                              base - filtered[static_cast<size_t>(i)] * mmPerUnit);
        if (points.size() >= 2) rows.push_back(std::move(points));
    }
    return rows;
}

PulseLevels ReportPulseLevels(float gain)
{
    const double u = static_cast<double>(gain) * 0.5;
    return {kBlockTop + 15.0 * u, kBlockTop + 5.0 * u};
}

LanguagePlaces LanguagePlacesFor(int languageId)
{
    struct Row {
        int id;
        LanguagePlaces places;
    };
    // Pictures, heart, boxes, labels, date, result y, "Heart Rate" x/y, value and "(bpm)" x.
    static const Row kRows[] = {
        {1026, {{71, 119, 165}, 88, {49, 97, 146}, {53, 101, 150}, 37, 277, 54, 279, 78, 90}},
        {3082, {{71, 119, 165}, 100, {49, 97, 146}, {53, 101, 150}, 37, 277, 50, 279, 90, 102}},
        {1051, {{71, 119, 165}, 88, {49, 97, 146}, {53, 101, 150}, 37, 277, 54, 279, 78, 90}},
        {1048, {{71, 119, 165}, 100, {49, 97, 146}, {53, 101, 150}, 37, 277, 50, 282, 90, 102}},
        {1038, {{59, 107, 155}, 88, {37, 85, 134}, {41, 89, 138}, 37, 277, 44, 279, 78, 90}},
        {1036, {{71, 119, 165}, 91, {42, 90, 139}, {46, 94, 143}, 37, 277, 40, 279, 81, 93}},
        {1035, {{59, 107, 155}, 88, {37, 85, 134}, {41, 89, 138}, 50, 277, 54, 279, 78, 90}},
        {1029, {{59, 107, 155}, 88, {37, 85, 134}, {41, 89, 138}, 37, 277, 40, 279, 78, 90}},
        {1032, {{59, 107, 155}, 88, {37, 85, 134}, {41, 89, 138}, 37, 275, 21, 280, 78, 90}},
        {1040, {{77, 117, 155}, 88, {55, 95, 134}, {59, 99, 138}, 37, 277, 54, 279, 78, 90}},
        {1044, {{59, 107, 155}, 88, {37, 85, 134}, {41, 89, 138}, 37, 277, 44, 279, 78, 90}},
        {1046, {{64, 110, 155}, 88, {42, 88, 134}, {46, 92, 138}, 37, 276, 38, 281, 78, 90}},
        {1049, {{69, 112, 155}, 88, {47, 90, 134}, {51, 94, 138}, 37, 277, 63, 279, 78, 90}},
        {1055, {{59, 107, 155}, 88, {37, 85, 134}, {41, 89, 138}, 37, 277, 44, 279, 78, 90}},
        {1031, {{59, 107, 155}, 88, {37, 85, 134}, {41, 89, 138}, 37, 277, 44, 279, 78, 90}},
        {1053, {{59, 107, 155}, 88, {37, 85, 134}, {41, 89, 138}, 37, 277, 49, 279, 78, 90}},
    };
    for (const Row& r : kRows)
        if (r.id == languageId) return r.places;
    return {{59, 107, 155}, 88, {37, 85, 134}, {41, 89, 138}, 37, 277, 54, 279, 78, 90};
}

}  // namespace report
