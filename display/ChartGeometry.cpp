#include "display/ChartGeometry.h"

#include <algorithm>
#include <limits>

namespace chart {

int32_t ExtraSecondsOf(int64_t wholeSeconds, int chartSpan)
{
    const int64_t extra = wholeSeconds - chartSpan;
    return static_cast<int32_t>(std::clamp<int64_t>(extra, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

int64_t WindowStart(int32_t extraSeconds, int rate)
{
    return std::max<int64_t>(0, (static_cast<int64_t>(extraSeconds) - 1) * rate);
}

std::vector<int16_t> ResampleTo128(std::span<const int16_t> in, int rate, int64_t wholeSeconds)
{
    if (rate <= 0 || wholeSeconds <= 0) return {};
    const int64_t n = std::min<int64_t>(kTraceRate * wholeSeconds, static_cast<int64_t>(in.size()) * kTraceRate / rate);
    std::vector<int16_t> out(static_cast<size_t>(std::max<int64_t>(n, 0)), 0);
    const float d = static_cast<float>(rate) / kTraceRate;
    for (int64_t i = 0; i + 1 < n; ++i) {
        const auto j = static_cast<int64_t>(static_cast<double>(i) * d);
        if (j + 1 >= static_cast<int64_t>(in.size())) break;
        const double a = in[static_cast<size_t>(j)];
        const double b = in[static_cast<size_t>(j + 1)];
        out[static_cast<size_t>(i)] = static_cast<int16_t>(a + (b - a) / d);  // lies between a and b
    }
    return out;
}

double TraceUnitsToPixels(int value, float gain)
{
    return value / kUnitsPerMillivolt * (kTraceCanvas.width() * 0.1 * 0.2 * static_cast<double>(gain));
}

std::vector<std::vector<QPoint>> TraceRows(std::span<const int16_t> resampled, int64_t start, float gain)
{
    std::vector<std::vector<QPoint>> rows;
    const int64_t filled = static_cast<int64_t>(resampled.size()) - 1;  // the last entry is never filled
    const int rowLength = kTraceRate * kRowSeconds;                     // 1280
    const int rowStep = kTraceCanvas.height() / kRows;                  // 256
    for (int k = 0; k < kRows; ++k) {
        const double base = kTraceCanvas.height() / 3 / 2 + rowStep * k;
        std::vector<QPoint> points;
        for (int j = 0; j < rowLength - 1; ++j) {
            const int64_t i = start + static_cast<int64_t>(k) * rowLength + j;
            if (i < 0 || i >= filled) break;
            const double y = base - TraceUnitsToPixels(resampled[static_cast<size_t>(i)], gain);
            points.emplace_back(j, static_cast<int>(std::clamp(y, -1.0e6, 1.0e6)));
        }
        if (points.size() >= 2) rows.push_back(std::move(points));
    }
    return rows;
}

double GainPercent(float gain)
{
    return 100.0 * static_cast<double>(gain) / 2.0;
}

int PulseBaseline(int chartHeight)
{
    return chartHeight / 3 + chartHeight / 3 / 2;
}

int PulseHeight(int chartHeight, float gain)
{
    return static_cast<int>(chartHeight / 3.0 * 0.5 * 0.2 * static_cast<double>(gain) + 2.0);
}

GridLines GridLinesFor(QSize chart)
{
    GridLines g;
    const int w = chart.width(), h = chart.height();
    for (int k = 0; k <= 31; ++k) g.minorY.push_back(k * h / 30);
    for (int l = 0; l <= 51; ++l) g.minorX.push_back(l * w / 50);
    for (int m = 0; m <= 5; ++m) g.majorY.push_back(m * h / 6);
    g.majorY.push_back(h - 1);
    for (int n = 0; n <= 9; ++n) g.majorX.push_back(n * w / 10);
    g.majorX.push_back(w - 1);
    return g;
}

bool AnnotationPosition(int64_t t, int64_t windowStart, int rate, QSize chart, QPoint& at)
{
    if (rate <= 0) return false;
    const int64_t rel = t - windowStart;
    const int64_t rowLength = static_cast<int64_t>(rate) * kRowSeconds;
    if (rel < 0 || rel >= rowLength * kRows) return false;
    const int64_t row = rel / rowLength;
    // The trace spans W - 1 pixels per row, 10 seconds.
    const int64_t x = (rel - row * rowLength) * (chart.width() - 1) / rowLength;
    const int rowTop = static_cast<int>(row * chart.height() / kRows);
    at = QPoint(static_cast<int>(x), rowTop + 10);
    return true;
}

}  // namespace chart
