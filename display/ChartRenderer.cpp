#include "display/ChartRenderer.h"

#include "display/ChartGeometry.h"
#include "display/ChartPainter.h"

#include <QFile>
#include <QPainter>
#include <algorithm>

namespace {

QImage WhiteImage(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

}  // namespace

ChartRecording PrepareChartRecording(const EDF_RECORD& record)
{
    ChartRecording out;
    if (record.Channels.empty()) return out;
    const EDF_CHANNEL& ch = record.Channels.front();
    out.samples = ch.Samples;
    out.sampleCount = std::clamp<int32_t>(ch.SampleCount, 0, static_cast<int32_t>(ch.Samples.size()));
    out.rate = ch.SampleRate;
    if (ch.DigMax > 2606 || ch.DigMax < 1489) {
        const int32_t shift = int32_t(ch.DigMax) - 2048;
        for (int16_t& s : out.samples)
            s = static_cast<int16_t>(std::clamp<int32_t>(int32_t(s) - shift, INT16_MIN, INT16_MAX));
    }
    return out;
}

std::vector<ecg::MitAnnotation> ReadAnnotationFile(const QString& path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    return ecg::ParseMitAnnotations(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()))
        .annotations;
}

ChartSurfaces ClearChart(const ChartDisplayState& state)
{
    ChartSurfaces s;
    s.chart = WhiteImage(chart::kChartSize);
    s.pulse = WhiteImage(chart::kPulseSize);
    s.timeRuler = WhiteImage(chart::kTimeRulerSize);
    s.rowRuler = WhiteImage(chart::kRowRulerSize);
    s.unitLabel = WhiteImage(chart::kUnitLabelSize);
    s.gainIndicator = WhiteImage(chart::kGainIndicatorSize);
    {
        QPainter p(&s.chart);
        chart::PaintGrid(p, s.chart.rect(), state.pink());
    }
    // The rulers are always shown, with or without a recording.
    {
        QPainter p(&s.timeRuler);
        chart::PaintTimeRuler(p, s.timeRuler.rect());
    }
    {
        QPainter p(&s.rowRuler);
        chart::PaintRowEndRuler(p, s.rowRuler.rect(), chart::kChartSize.height());
    }
    return s;
}

ChartSurfaces RedrawChart(const ChartRecording& recording, ChartDisplayState& state, ecg::DisplayFilterChain& filters,
                          const QString& annotationFile)
{
    ChartSurfaces s = ClearChart(state);
    {
        QPainter p(&s.unitLabel);
        chart::PaintUnitLabel(p, s.unitLabel.rect());
    }
    {
        QPainter p(&s.gainIndicator);
        chart::PaintGainIndicator(p, s.gainIndicator.rect(), state.ChartGain);
    }
    {
        QPainter p(&s.pulse);
        chart::PaintCalibrationPulse(p, s.pulse.rect(), chart::kChartSize.height(), state.ChartGain);
    }

    const int rate = recording.rate;
    if (rate != 128 && rate != 256) return s;  // nothing is divided by an undrawable rate
    const int64_t wholeSeconds = recording.sampleCount / rate;
    state.ExtraSeconds = chart::ExtraSecondsOf(wholeSeconds, state.ChartSpan);

    const size_t used = std::min<size_t>(size_t(wholeSeconds) * size_t(rate), recording.samples.size());
    std::vector<int16_t> working(recording.samples.begin(), recording.samples.begin() + std::ptrdiff_t(used));
    filters.FilterDisplayBlock(working.data(), working.size(), rate);

    chart::TraceInput trace;
    trace.samples = working;
    trace.rate = rate;
    trace.wholeSeconds = wholeSeconds;
    trace.extraSeconds = state.ExtraSeconds;
    trace.gain = state.ChartGain;
    trace.penWidth = state.TracePenWidth;
    trace.mode = state.ChartMode;
    trace.pink = state.pink();
    {
        QPainter p(&s.chart);
        chart::PaintTrace(p, s.chart.rect(), trace);
        if (!annotationFile.isEmpty()) {
            auto annotations = ReadAnnotationFile(annotationFile);
            const int from = recording.annotationRate > 0 ? recording.annotationRate : rate;
            if (from != rate)
                for (ecg::MitAnnotation& a : annotations) a.sample = a.sample * rate / from;
            chart::PaintAnnotations(p, s.chart.rect(), annotations, chart::WindowStart(state.ExtraSeconds, rate),
                                    rate);
        }
    }
    return s;
}

QImage ComposeChartArea(const ChartSurfaces& s)
{
    // Offsets of the window's controls relative to the time ruler's row.
    QImage area(778, 490, QImage::Format_RGB32);
    area.fill(QColor(226, 232, 238));
    QPainter p(&area);
    p.fillRect(QRect(0, 15, 760, 440), Qt::white);  // the scroll box behind pulse and chart
    p.drawImage(QPoint(20, 0), s.timeRuler);
    p.drawImage(QPoint(761, 0), s.rowRuler);
    p.drawImage(QPoint(0, 15), s.pulse);
    p.drawImage(kComposedChartOrigin, s.chart);
    p.drawImage(QPoint(375, 470), s.gainIndicator);
    p.drawImage(QPoint(692, 470), s.unitLabel);
    return area;
}

QString AnnotationFileBeside(const QString& recordingPath)
{
    if (recordingPath.size() < 4) return {};
    const QString atr = recordingPath.left(recordingPath.size() - 4) + QStringLiteral(".atr");
    return QFile::exists(atr) ? atr : QString();
}
