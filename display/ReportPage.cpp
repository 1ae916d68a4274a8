#include "display/ReportPage.h"

#include "art/Pictures.h"
#include "display/ChartRenderer.h"
#include "display/Findings.h"
#include "display/ReportLayout.h"
#include "lang/TextTable.h"

#include <QFont>
#include <QLineF>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>
#include <QStringList>
#include <algorithm>
#include <cstddef>

namespace report {

namespace {

using H = DEVICE_RECORD_HEADER;

int FromBcd(uint8_t b)
{
    const int hi = b >> 4, lo = b & 0x0F;
    return hi > 9 || lo > 9 ? -1 : hi * 10 + lo;
}

QString TwoDigits(int v)
{
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}

QString DateText(int year, int month, int day, int hour, int minute, int second)
{
    const bool valid = year >= 0 && month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour >= 0 && hour < 24 &&
                       minute >= 0 && minute < 60 && second >= 0 && second < 60;
    if (!valid) return {};
    return QStringLiteral("%1/%2/%3 %4:%5:%6")
        .arg(year)
        .arg(TwoDigits(month), TwoDigits(day), TwoDigits(hour), TwoDigits(minute), TwoDigits(second));
}

// Converts layout millimetres to device pixels of the painter's device.
struct Paper {
    double sx = 1, sy = 1;

    QPointF at(double x, double y) const
    {
        return {(kLayoutOrigin.x() + x) * sx, (kLayoutOrigin.y() + y) * sy};
    }
    QPointF text(double x, double y) const { return at(kMarginLeft + x, y); }
    QLineF line(double x1, double y1, double x2, double y2) const
    {
        return {at(kMarginLeft + x1, y1), at(kMarginLeft + x2, y2)};
    }
    QRectF box(double x1, double y1, double x2, double y2) const
    {
        return QRectF(at(kMarginLeft + x1, y1), at(kMarginLeft + x2, y2));
    }
    // A pen width given in pixels of a 600-dpi printer, kept at that size on paper.
    QPen pen(const QColor& c, double printerPixels) const
    {
        QPen p(c);
        p.setWidthF(printerPixels * 25.4 / 600.0 * sx);
        p.setCapStyle(Qt::FlatCap);
        p.setJoinStyle(Qt::RoundJoin);
        return p;
    }
};

QFont PageFont(double points, bool bold)
{
    QFont f(QStringLiteral("Arial"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

void Text(QPainter& p, QPointF topLeft, const QString& text, double points, bool bold)
{
    p.setFont(PageFont(points, bold));
    p.drawText(QRectF(topLeft, QSizeF(1e5, 1e5)), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, text);
}

// A picture at (x, y) mm, without the margin, `stretch` 600-dpi printer pixels per picture pixel.
void Picture(QPainter& p, const Paper& paper, const QString& name, double x, double y, double stretch)
{
    const QImage own = LoadPictureImage(name);
    if (own.isNull()) return;
    const QImage sharp = LoadPictureImageAtScale(name, 2);
    const QSizeF mm = PictureSizeMm(own.size(), stretch);
    p.drawImage(QRectF(paper.at(x, y), QSizeF(mm.width() * paper.sx, mm.height() * paper.sy)),
                sharp.isNull() ? own : sharp);
}

void PaintFormAndResult(QPainter& p, const Paper& paper, const ReportPage& page, const LanguagePlaces& lp)
{
    p.setPen(paper.pen(Qt::black, 4));
    p.setBrush(Qt::NoBrush);
    p.drawRect(paper.box(0, 20, 175, 95));
    p.drawLine(paper.line(20, 31, 65, 31));
    p.drawRect(paper.box(95, 27, 98, 30));
    p.drawRect(paper.box(104, 27, 107, 30));
    p.drawLine(paper.line(142, 31, 170, 31));
    for (double y : {49.0, 55.0, 61.0}) p.drawLine(paper.line(5, y, 170, y));
    for (int x : lp.checkBoxes) p.drawRect(paper.box(x, 80, x + 3, 83));

    // Labels and values on an opaque white ground, as on a form.
    p.setPen(Qt::black);
    p.setBackgroundMode(Qt::OpaqueMode);
    p.setBackground(Qt::white);
    Text(p, paper.text(0, 10), QStringLiteral("Information"), 14, true);
    Text(p, paper.text(5, 26), TextOf(95), 10, true);
    Text(p, paper.text(73, 26), TextOf(96), 10, true);
    Text(p, paper.text(99, 26), TextOf(97), 10, true);
    Text(p, paper.text(108, 26), TextOf(98), 10, true);
    Text(p, paper.text(116, 26), TextOf(99), 10, true);
    Text(p, paper.text(5, 39), TextOf(100), 10, true);
    Text(p, paper.text(32, 40), TextOf(101), 6, false);
    Text(p, paper.text(5, 69), TextOf(102), 10, true);
    Text(p, paper.text(lp.dateValue, 69), page.values.dateTime, 10, false);
    Text(p, paper.text(5, 79), TextOf(103), 10, true);
    Text(p, paper.text(5, 84), TextOf(104), 10, true);
    for (int i = 0; i < 3; ++i) Text(p, paper.text(lp.positionLabels[i], 79), TextOf(105 + i), 10, true);
    Text(p, paper.text(0, lp.resultY), TextOf(108), 12, true);
    Text(p, paper.text(lp.heartRateX, lp.heartRateY), TextOf(109), 10, true);
    Text(p, paper.text(lp.valueX, 279), page.values.heartRate, 17, true);
    Text(p, paper.text(lp.bpmX, 283), TextOf(110), 7, false);
    p.setBackgroundMode(Qt::TransparentMode);
}

void PaintEcgBlock(QPainter& p, const Paper& paper, const ReportPage& page)
{
    constexpr double T = kBlockTop, side = kBlockSize;
    p.setBrush(Qt::NoBrush);
    const auto grid = [&](const QColor& colour, int every, int count, bool horizontal) {
        p.setPen(paper.pen(colour, 5));
        for (int i = 0; i < count; ++i) {
            const double at = double(i) * every;
            p.drawLine(paper.line(at, T, at, T + side));
            if (horizontal) p.drawLine(paper.line(0, T + at, side, T + at));
        }
    };
    grid(QColor(250, 210, 240), 1, 176, true);
    grid(QColor(250, 170, 220), 5, 36, true);
    grid(QColor(250, 130, 200), 25, 8, false);

    const PulseLevels pulse = ReportPulseLevels(page.gain);
    p.setPen(paper.pen(QColor(69, 136, 193), 12));
    const QPointF path[] = {paper.text(5, pulse.base),  paper.text(10, pulse.base), paper.text(10, pulse.top),
                            paper.text(15, pulse.top),  paper.text(15, pulse.base), paper.text(20, pulse.base)};
    p.drawPolyline(path, 6);
    const double u = static_cast<double>(page.gain) * 0.5;
    Text(p, paper.text(18, T + 7 * u + 2), QStringLiteral("1 mV"), 7, false);
    Text(p, paper.text(8, T + 15 * u + 2), QStringLiteral("200 ms"), 7, false);

    // A very large signal at a high gain stays between the information box and the result line.
    p.save();
    p.setClipRect(QRectF(paper.at(kMarginLeft, kTraceTop), paper.at(kMarginLeft + side, kTraceBottom)));
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(paper.pen(Qt::black, 5));
    for (const QPolygonF& row : ReportTraceRows(page.filtered, page.rate, page.wholeSeconds, page.gain)) {
        QPolygonF device;
        device.reserve(row.size());
        for (const QPointF& mm : row) device << paper.at(mm.x(), mm.y());
        p.drawPolyline(device);
    }
    p.restore();
}

Finding ChartFindingOf(int i)
{
    static constexpr Finding kOrder[] = {Finding::Normal, Finding::Slow, Finding::Fast, Finding::Pause,
                                         Finding::Rhythm};
    return kOrder[i];
}

}  // namespace

QString RecorderDateText(const FHR_BLOCK& block)
{
    const auto& b = block.Bytes;
    const int year = FromBcd(b[H::YearBcd]);
    return DateText(year < 0 ? -1 : 2000 + year, FromBcd(b[H::MonthBcd]), FromBcd(b[H::DayBcd]),
                    FromBcd(b[H::HourBcd]), FromBcd(b[H::MinuteBcd]), FromBcd(b[H::SecondBcd]));
}

QString EdfDateText(const QString& startDate, const QString& startTime)
{
    const QStringList d = startDate.split(QLatin1Char('.'));
    const QStringList t = startTime.split(QLatin1Char('.'));
    if (d.size() != 3 || t.size() != 3) return {};
    int v[6];
    for (int i = 0; i < 6; ++i) {
        bool ok = false;
        v[i] = (i < 3 ? d[i] : t[i - 3]).trimmed().toInt(&ok);
        if (!ok) return {};
    }
    if (v[0] < 0 || v[0] > 99) return {};
    return DateText(v[0] >= 85 ? 1900 + v[0] : 2000 + v[0], v[1], v[2], v[3], v[4], v[5]);
}

PageValues PageValuesOf(const FHR_BLOCK* block, const EDF_RECORD& record)
{
    PageValues v;
    v.heartRate = QStringLiteral("--");
    if (block) v.dateTime = RecorderDateText(*block);
    if (v.dateTime.isEmpty()) v.dateTime = EdfDateText(record.StartDate, record.StartTime);
    if (!block) return v;

    const auto& b = block->Bytes;
    const int rate = b[H::HeartRate];
    const int noise = b[H::NoiseFinding];
    if (rate != 0 && noise != 1) v.heartRate = QString::number(rate);
    if (noise != 0 || rate == 0) return v;  // a noisy or rateless recording shows no finding

    auto& lit = v.lit;
    lit[int(PageFinding::Pause)] = b[H::PauseFinding] != 0;
    lit[int(PageFinding::Rhythm)] = b[H::RhythmFinding] != 0;
    lit[int(PageFinding::Fast)] = b[H::TachyThreshold] < rate || b[H::TachyFinding] == 1;
    lit[int(PageFinding::Slow)] = rate < b[H::BradyThreshold] || b[H::BradyFinding] == 1;
    // A waveform finding counts against "normal" although it has no picture on the page.
    const bool any = lit[int(PageFinding::Pause)] || lit[int(PageFinding::Rhythm)] || lit[int(PageFinding::Fast)] ||
                     lit[int(PageFinding::Slow)] || b[H::WaveformFinding] != 0;
    lit[int(PageFinding::Normal)] = !any;
    return v;
}

EdfProblem LoadReportPage(const QString& path, const ecg::FilterSwitches& switches, float gain, int languageId,
                          ReportPage& page)
{
    EDF_RECORD record;
    const EdfProblem problem = ReadRecording(path, record);
    if (!problem.ok()) return problem;
    FHR_BLOCK block;
    bool hasBlock = ReadFhrBlock(path, block);
    if (!hasBlock) hasBlock = ReadTrailingBlock(path, block);

    page = ReportPage{};
    page.path = path;
    page.values = PageValuesOf(hasBlock ? &block : nullptr, record);
    page.gain = gain;
    page.languageId = languageId;

    const ChartRecording chart = PrepareChartRecording(record);
    if (chart.rate <= 0) return EdfProblem::make(EdfError::UnsupportedRate);
    page.rate = chart.rate;
    page.wholeSeconds = chart.sampleCount / chart.rate;
    const size_t used = std::min(size_t(page.wholeSeconds) * size_t(chart.rate), chart.samples.size());
    page.filtered.assign(chart.samples.begin(), chart.samples.begin() + std::ptrdiff_t(used));
    ecg::DisplayFilterChain filters(switches);
    filters.FilterDisplayBlock(page.filtered.data(), page.filtered.size(), page.rate);
    return {};
}

void PaintReportPage(QPainter& p, const ReportPage& page)
{
    const QPaintDevice* device = p.device();
    Paper paper;
    paper.sx = device->logicalDpiX() / 25.4;
    paper.sy = device->logicalDpiY() / 25.4;
    const LanguagePlaces lp = LanguagePlacesFor(page.languageId);

    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    Picture(p, paper, QStringLiteral("image\\logo.bmp"), 148, 1, 1.3);
    for (int i = 0; i < 3; ++i)
        Picture(p, paper, QStringLiteral("image\\Pos%1.bmp").arg(i + 1), lp.positionPictures[i], 76, 1.2);
    Picture(p, paper, QStringLiteral("image\\heart.bmp"), lp.heartPicture, 280, 4);
    static constexpr int kFindingX[kPageFindings] = {125, 137, 149, 165, 177};
    for (int i = 0; i < kPageFindings; ++i)
        Picture(p, paper, FindingPictureName(ChartFindingOf(i), page.values.lit[i]), kFindingX[i], 280, 6);

    PaintFormAndResult(p, paper, page, lp);
    PaintEcgBlock(p, paper, page);
    p.restore();
}

}  // namespace report
