#pragma once
// Recordings and PDF read-back for the printed report's tests.
#include "ChartFixtures.h"
#include "store/FhrBlock.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace reportfix {

// The raster the page is checked on: 10 pixels per millimetre.
inline constexpr int kDpi = 254;
inline constexpr int kPxPerMm = 10;

// Paper position in pixels of a layout position in millimetres (the layout
// origin lies 5 mm right and 4 mm down on the paper; texts and the ECG block
// sit 13 mm right of their x).
inline int PaperX(double layoutMmWithMargin) { return int((5.0 + 13.0 + layoutMmWithMargin) * kPxPerMm); }
inline int PaperY(double layoutMm) { return int((4.0 + layoutMm) * kPxPerMm); }

// 40 s at `rate` with an upward spike at every whole second and a downward
// one at every half second (0.5 .. 39.5), plus `extraSamples` of a partial
// last second.
inline EDF_RECORD HalfSecondSpikes(int rate, int extraSamples = 0)
{
    std::vector<double> down;
    for (int s = 0; s < 40; ++s) down.push_back(s + 0.5);
    EDF_RECORD r = chartfix::SpikeRecording(40, rate, 200, down);
    EDF_CHANNEL& ch = r.Channels.front();
    ch.Samples.resize(ch.Samples.size() + size_t(extraSamples), 0);
    ch.SampleCount = int32_t(ch.Samples.size());
    return r;
}

// Appends a signed analysis block with the recorder's clock and findings.
inline bool AppendRecorderBlock(const QString& path, uint8_t heartRate, uint8_t noise = 0)
{
    using H = DEVICE_RECORD_HEADER;
    FHR_BLOCK b;
    b.Bytes[1] = 'F';
    b.Bytes[2] = 'H';
    b.Bytes[3] = 'R';
    const uint8_t clock[] = {0x13, 0x05, 0x07, 0x14, 0x25, 0x30};
    for (int i = 0; i < 6; ++i) b.Bytes[H::YearBcd + i] = clock[i];
    b.Bytes[H::HeartRate] = heartRate;
    b.Bytes[H::TachyThreshold] = 100;
    b.Bytes[H::BradyThreshold] = 60;
    b.Bytes[H::NoiseFinding] = noise;
    QFile f(path);
    return f.open(QIODevice::Append) && f.write(b.toBytes()) == FHR_BLOCK::Size;
}

struct ProgramRun {
    int exitCode = -1;
    QString out, err;
};

inline ProgramRun RunProgram(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// Page `page` (from 1) of a PDF as poppler rasters it at 10 pixels per millimetre.
inline QImage Raster(const QString& pdf, int page, const QString& prefix)
{
    RunProgram(QStringLiteral("pdftoppm"), {"-r", QString::number(kDpi), "-png", "-singlefile", "-f",
                                            QString::number(page), "-l", QString::number(page), pdf, prefix});
    return QImage(prefix + ".png").convertToFormat(QImage::Format_RGB32);
}

inline int Luminance(QRgb c)
{
    return (qRed(c) * 299 + qGreen(c) * 587 + qBlue(c) * 114) / 1000;
}

// Centres of the runs of columns (x from `left` to `right`) in which some
// pixel between rows `top` and `bottom` passes `hit`.
template <typename Hit>
std::vector<double> ColumnRunCentres(const QImage& image, int left, int right, int top, int bottom, Hit hit)
{
    std::vector<double> centres;
    int runStart = -1;
    for (int x = left; x <= right; ++x) {
        bool found = false;
        for (int y = top; x < right && y < bottom && !found; ++y) found = hit(image.pixel(x, y));
        if (found && runStart < 0) runStart = x;
        if (!found && runStart >= 0) {
            centres.push_back((runStart + x - 1) / 2.0);
            runStart = -1;
        }
    }
    return centres;
}

// Centre of the run of rows in column x (from `top` to `bottom`) passing `hit`; -1 when none.
template <typename Hit>
double RowRunCentre(const QImage& image, int x, int top, int bottom, Hit hit)
{
    int first = -1, last = -1;
    for (int y = top; y < bottom; ++y)
        if (hit(image.pixel(x, y))) {
            if (first < 0) first = y;
            last = y;
        }
    return first < 0 ? -1.0 : (first + last) / 2.0;
}

}  // namespace reportfix
