#include "store/SamplingConversion.h"

#include "store/EdfRecord.h"
#include "store/EdfWriter.h"
#include "store/FhrBlock.h"

#include <QFileInfo>
#include <cmath>

int ResampleLinear(int fromRate, int toRate, std::vector<int16_t>& x)
{
    if (fromRate <= 0 || toRate <= 0 || fromRate < toRate) return 0;
    if (fromRate == toRate) return static_cast<int>(x.size());
    int a = fromRate, b = toRate;
    while (a != b) {  // greatest common divisor by repeated subtraction
        if (a > b) a -= b;
        else b -= a;
    }
    const int64_t step = fromRate / a;  // input advance per output, in 1/den of a sample
    const int64_t den = toRate / a;
    const auto count = static_cast<int64_t>(x.size());
    int64_t m = 0;
    for (;; ++m) {
        const int64_t pos = m * step;
        const int64_t i = pos / den;
        if (i + 1 >= count) break;
        const int64_t phi = pos % den;
        x[static_cast<size_t>(m)] = static_cast<int16_t>(x[i] + (phi * (x[i + 1] - x[i])) / den);
    }
    x.resize(static_cast<size_t>(m));
    return static_cast<int>(m);
}

QString ConvertedPath(const QString& chosenPath)
{
    const QFileInfo info(chosenPath);
    const QString suffix = info.suffix();
    const QString base = suffix.isEmpty() ? chosenPath : chosenPath.left(chosenPath.size() - suffix.size() - 1);
    return base + QStringLiteral("-256.") + (suffix.isEmpty() ? QStringLiteral("edf") : suffix);
}

namespace {

QByteArray twoDigitsTriple(const QString& text, int first, int second, int third)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    auto part = [&](int i) {
        return QByteArray::number(parts.size() == 3 ? parts[i].toInt() % 100 : 0).rightJustified(2, '0');
    };
    return part(first) + '.' + part(second) + '.' + part(third);
}

}  // namespace

EdfProblem ConvertTo256(const QString& chosenPath, QString* outputPath)
{
    EDF_RECORD record;
    EdfProblem problem = ReadEdfFile(chosenPath, record);
    if (!problem.ok()) return problem;
    EDF_CHANNEL& ch = record.Channels[0];
    if (ch.SampleRate < 256)
        return EdfProblem::make(EdfError::UnsupportedRate, QStringLiteral("samples in each data record of signal 1"),
                                -1, QStringLiteral("%1 samples per second; only higher rates convert down to 256").arg(ch.SampleRate));
    const int count = ResampleLinear(ch.SampleRate, 256, ch.Samples);

    QByteArray header(512, ' ');
    PutEdfField(header, 0, 8, "0");
    // The record keeps year.month.day; the file holds day.month.year.
    PutEdfField(header, 168, 8, twoDigitsTriple(record.StartDate, 2, 1, 0));
    PutEdfField(header, 176, 8, twoDigitsTriple(record.StartTime, 0, 1, 2));
    PutEdfField(header, 184, 8, "512");
    PutEdfField(header, 236, 8, "1");
    PutEdfField(header, 244, 8, QByteArray::number(record.TotalSeconds));
    PutEdfField(header, 252, 4, "1");
    PutEdfField(header, 256, 16, "ECG");
    PutEdfField(header, 272, 80, "transducer type not recorded");
    PutEdfField(header, 352, 8, "uV");
    PutEdfField(header, 360, 8, QByteArray::number(static_cast<qint64>(std::trunc(ch.PhysMin))));
    PutEdfField(header, 368, 8, QByteArray::number(static_cast<qint64>(std::trunc(ch.PhysMax))));
    PutEdfField(header, 376, 8, QByteArray::number(ch.DigMin));
    PutEdfField(header, 384, 8, QByteArray::number(ch.DigMax));
    PutEdfField(header, 392, 80, "prefiltering not recorded");
    PutEdfField(header, 472, 8, QByteArray::number(count));
    PutEdfField(header, 480, 32, "00000000");

    QByteArray image = header + LittleEndianSamples(ch.Samples, static_cast<size_t>(count));
    image.append(QByteArray(FHR_BLOCK::Size, '\0'));
    const QString out = ConvertedPath(chosenPath);
    problem = WriteFileAtomically(out, image);
    if (problem.ok() && outputPath) *outputPath = out;
    return problem;
}
