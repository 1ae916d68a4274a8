#include "display/LiveSweep.h"
#include "display/ChartGeometry.h"
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace live {

namespace {
const QColor kMinorLine(255, 192, 203);
const QColor kMajorLine(255, 122, 122);
}  // namespace

void DrawLiveGrid(QPainter& painter, const QRect& clip)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(clip, Qt::white);
    auto line = [&painter](const QColor& colour, int x1, int y1, int x2, int y2) {
        painter.setPen(QPen(colour, 1));
        painter.drawLine(x1, y1, x2, y2);
    };
    for (int k = 0; k <= 31; ++k) {
        const int y = static_cast<int>(k * (440.0 / 6.0 / 5.0));
        line(kMinorLine, 0, y, 733, y);
    }
    for (int l = 0; l <= 51; ++l) {
        const int x = static_cast<int>(l * 14.66);
        line(kMinorLine, x, 0, x, 440);
    }
    for (int m = 0; m <= 5; ++m) {
        const int y = static_cast<int>(m * 73.333336f);
        line(kMajorLine, 0, y, 733, y);
    }
    line(kMajorLine, 0, 437, 732, 437);
    for (int n = 0; n <= 9; ++n) {
        const int x = static_cast<int>(n * 73.3);
        line(kMajorLine, x, 0, x, 440);
    }
    line(kMajorLine, 732, 0, 732, 439);
    painter.restore();
}

double LivePixelsPerUnit(float gain, int canvasHeight)
{
    // The recorded chart draws its rows on a trace canvas and scales it to the chart's height.
    return chart::TraceUnitsToPixels(1, gain) * canvasHeight / chart::kTraceCanvas.height();
}

LiveSweep::LiveSweep(QSize canvas) : image_(canvas, QImage::Format_RGB32)
{
    QPainter painter(&image_);
    DrawLiveGrid(painter, image_.rect());
    middle_ = static_cast<float>(canvas.height() / 2);
    prevY_ = middle_;
    // The first line starts on the baseline at the left edge, not in a corner.
    penAt_ = QPointF(0, middle_);
}

void LiveSweep::setScale(int offsetUnits, double pixelsPerUnit)
{
    offset_ = offsetUnits;
    pixelsPerUnit_ = pixelsPerUnit;
}

float LiveSweep::yOf(std::int16_t sample, int height) const
{
    const double ym = std::trunc(height * 0.5);
    const double y = ym - (static_cast<double>(sample) - offset_) * pixelsPerUnit_;
    // A signal beyond the paper (an electrode off, the converter at its limit) runs along its edge.
    return static_cast<float>(std::clamp(y, 0.0, static_cast<double>(height - 1)));
}

void LiveSweep::newSweep(QPainter& painter)
{
    sweepPos_ = 0;
    ++sweeps_;
    DrawLiveGrid(painter, image_.rect());
    penAt_ = QPointF(0, std::trunc(prevY_));
}

int LiveSweep::Step(SampleSource& source)
{
    if (!source.streaming())
        return 0;
    const std::uint32_t count = source.readableSamples();
    if (count == 0)
        return 0;
    const int width = image_.width();
    const int height = image_.height();
    const double step = static_cast<double>(width) / kSamplesPerSweep;
    QPainter painter(&image_);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QPen black(Qt::black, 1);
    int drawn = 0;
    for (std::uint32_t i = 0; i < count && source.streaming(); ++i) {
        if (sweepPos_ * step >= width)
            newSweep(painter);
        const std::int16_t sample = source.takeSample();
        ++sweepPos_;
        history_[static_cast<std::size_t>(historyIndex_)] = sample;
        historyIndex_ = (historyIndex_ + 1) % static_cast<int>(history_.size());
        lastSample_ = sample;
        const float y = yOf(sample, height);
        if (sweepPos_ * step >= width)
            newSweep(painter);
        const QPointF to(std::trunc(sweepPos_ * step), std::trunc(y));
        painter.setPen(black);
        painter.drawLine(penAt_, to);
        penAt_ = to;
        prevY_ = y;
        ++drawn;
    }
    return drawn;
}

}  // namespace live
