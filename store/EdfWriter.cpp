#include "store/EdfWriter.h"

#include "store/FhrBlock.h"

#include <QFileInfo>
#include <QSaveFile>
#include <cmath>

namespace {

// Puts an ASCII text left-aligned into a blank-filled field, cut at its width.
QByteArray number(qint64 v)
{
    return QByteArray::number(v);  // always C digits, whatever the locale
}

QByteArray hexBcd(uint8_t bcd)
{
    return QByteArray::number(bcd, 16).rightJustified(2, '0');
}

}  // namespace

EdfProblem WriteFileAtomically(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return EdfProblem::make(EdfError::CannotWrite, {}, -1, file.errorString());
    if (file.write(bytes) != bytes.size()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return EdfProblem::make(EdfError::CannotWrite, {}, -1, why);
    }
    if (!file.commit()) return EdfProblem::make(EdfError::CannotWrite, {}, -1, file.errorString());
    return {};
}

QByteArray BuildDownloadedEdfHeader(const DEVICE_RECORD_HEADER& h)
{
    QByteArray header(512, ' ');
    const uint32_t sampleCount = h.dataByteCount() / 2;
    const uint32_t rate = h.sampleRate();
    const uint32_t seconds = rate ? sampleCount / rate : 0;
    PutEdfField(header, 0, 8, "0");
    PutEdfField(header, 168, 8,
             hexBcd(h.u8(DEVICE_RECORD_HEADER::DayBcd)) + '.' + hexBcd(h.u8(DEVICE_RECORD_HEADER::MonthBcd)) + '.' +
                 hexBcd(h.u8(DEVICE_RECORD_HEADER::YearBcd)));
    PutEdfField(header, 176, 8,
             hexBcd(h.u8(DEVICE_RECORD_HEADER::HourBcd)) + '.' + hexBcd(h.u8(DEVICE_RECORD_HEADER::MinuteBcd)) + '.' +
                 hexBcd(h.u8(DEVICE_RECORD_HEADER::SecondBcd)));
    PutEdfField(header, 184, 8, number((1 + 1) * 256));
    PutEdfField(header, 236, 8, number(1));
    PutEdfField(header, 244, 8, number(seconds));
    PutEdfField(header, 252, 4, number(1));
    PutEdfField(header, 256, 16, "ECG");
    PutEdfField(header, 272, 80, "transducer type not recorded");
    PutEdfField(header, 352, 8, "uV");
    PutEdfField(header, 360, 8, number(h.physMin()));
    PutEdfField(header, 368, 8, number(h.physMax()));
    PutEdfField(header, 376, 8, number(h.digMin()));
    PutEdfField(header, 384, 8, number(h.digMax()));
    PutEdfField(header, 392, 80, "prefiltering not recorded");
    PutEdfField(header, 472, 8, number(sampleCount));
    PutEdfField(header, 480, 32, QByteArray::number(h.deviceNumber(), 16).rightJustified(8, '0'));
    return header;
}

EdfProblem BuildDownloadedEdfImage(const DEVICE_RECORD_HEADER& header, const QByteArray& sampleBytes,
                                   const QByteArray& seriesBytes, QByteArray& image)
{
    image.clear();
    if (sampleBytes.size() != qsizetype(header.dataByteCount()) || sampleBytes.size() % 2 != 0)
        return EdfProblem::make(EdfError::BadInput, QStringLiteral("data byte count"), DEVICE_RECORD_HEADER::DataByteCount,
                                QStringLiteral("header says %1 bytes, %2 given").arg(header.dataByteCount()).arg(sampleBytes.size()));
    if (header.sampleRate() == 0)
        return EdfProblem::make(EdfError::BadInput, QStringLiteral("sample rate"), DEVICE_RECORD_HEADER::SampleRate,
                                QStringLiteral("0"));
    if (seriesBytes.size() != FHR_BLOCK::kSeriesBytes)
        return EdfProblem::make(EdfError::BadInput, QStringLiteral("measurement series"), -1,
                                QStringLiteral("%1 bytes, 1600 needed").arg(seriesBytes.size()));

    FHR_BLOCK block;
    block.setHeader(header);
    // Signed at once, so the file is known as a downloaded recording by its own block and never
    // by the mere count of bytes after its samples; byte 981 still says "not analysed yet".
    block.Bytes[DEVICE_RECORD_HEADER::Signature] = 'F';
    block.Bytes[DEVICE_RECORD_HEADER::Signature + 1] = 'H';
    block.Bytes[DEVICE_RECORD_HEADER::Signature + 2] = 'R';
    std::copy_n(reinterpret_cast<const uint8_t*>(seriesBytes.constData()), FHR_BLOCK::kSeriesBytes,
                block.Bytes.begin() + FHR_BLOCK::RecorderSeries);

    image = BuildDownloadedEdfHeader(header);
    image.reserve(image.size() + sampleBytes.size() + FHR_BLOCK::Size);
    image += sampleBytes;
    image += block.toBytes();
    return {};
}

EdfProblem WriteDownloadedEdf(const QString& path, const DEVICE_RECORD_HEADER& header,
                              const QByteArray& sampleBytes, const QByteArray& seriesBytes)
{
    QByteArray image;
    const EdfProblem built = BuildDownloadedEdfImage(header, sampleBytes, seriesBytes, image);
    if (!built.ok())
        return built;
    return WriteFileAtomically(path, image);
}

EdfProblem WritePlainEdf(const QString& path, const EDF_RECORD& record, uint32_t deviceNumber, bool hasDeviceNumber)
{
    if (record.Channels.empty() || record.Channels[0].Samples.empty())
        return EdfProblem::make(EdfError::BadInput, QStringLiteral("signal 1"), -1, QStringLiteral("no samples"));
    const EDF_CHANNEL& ch = record.Channels[0];
    const qint64 count = static_cast<qint64>(ch.Samples.size());

    // One record per second when the samples fill whole seconds, else one record for all.
    qint64 records = 1, perRecord = count, seconds = record.TotalSeconds;
    if (ch.SampleRate > 0 && count % ch.SampleRate == 0 && count / ch.SampleRate >= 1) {
        records = count / ch.SampleRate;
        perRecord = ch.SampleRate;
        seconds = 1;
    }
    if (seconds < 1) seconds = 1;

    // Other readers insist on a proper range; the recorder's units are
    // 186 per millivolt when its header gives none.
    int digMin = ch.DigMin, digMax = ch.DigMax;
    double physMin = ch.PhysMin, physMax = ch.PhysMax;
    if (digMin >= digMax || physMin == physMax) {
        digMin = -32768;
        digMax = 32767;
        physMin = digMin * 1000.0 / 186.0;
        physMax = digMax * 1000.0 / 186.0;
    }
    // As many decimals as fit the 8-character field.
    auto real = [](double v) {
        for (int decimals = 6; decimals > 0; --decimals) {
            QByteArray t = QByteArray::number(v, 'f', decimals);
            while (t.endsWith('0')) t.chop(1);
            if (t.endsWith('.')) t.chop(1);
            if (t.size() <= 8) return t;
        }
        return QByteArray::number(std::trunc(v), 'f', 0);
    };

    // The record keeps year.month.day; EDF wants dd.mm.yy and hh.mm.ss.
    auto twoDigits = [](const QString& text, int part) {
        const QStringList parts = text.split('.');
        const int v = parts.size() == 3 ? parts[part].toInt() % 100 : 0;
        return QByteArray::number(v).rightJustified(2, '0');
    };
    const QByteArray date = twoDigits(record.StartDate, 2) + '.' + twoDigits(record.StartDate, 1) + '.' +
                            twoDigits(record.StartDate, 0);
    const QByteArray time = twoDigits(record.StartTime, 0) + '.' + twoDigits(record.StartTime, 1) + '.' +
                            twoDigits(record.StartTime, 2);

    QByteArray header(512, ' ');
    PutEdfField(header, 0, 8, "0");
    PutEdfField(header, 8, 80, record.PatientId.toLatin1());
    QByteArray recordingId = "Talmon Heart Let KX 20";
    if (hasDeviceNumber) recordingId += " device " + QByteArray::number(deviceNumber, 16).toUpper().rightJustified(8, '0');
    PutEdfField(header, 88, 80, recordingId);
    PutEdfField(header, 168, 8, date);
    PutEdfField(header, 176, 8, time);
    PutEdfField(header, 184, 8, number(512));
    PutEdfField(header, 236, 8, number(records));
    PutEdfField(header, 244, 8, number(seconds));
    PutEdfField(header, 252, 4, number(1));
    PutEdfField(header, 256, 16, "ECG");
    PutEdfField(header, 272, 80, "transducer type not recorded");
    PutEdfField(header, 352, 8, ch.PhysDimension.isEmpty() ? QByteArray("uV") : ch.PhysDimension.toLatin1());
    PutEdfField(header, 360, 8, real(physMin));
    PutEdfField(header, 368, 8, real(physMax));
    PutEdfField(header, 376, 8, number(digMin));
    PutEdfField(header, 384, 8, number(digMax));
    PutEdfField(header, 392, 80, "prefiltering not recorded");
    PutEdfField(header, 472, 8, number(perRecord));
    // Other readers accept printable ASCII only.
    for (char& c : header)
        if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) c = ' ';

    return WriteFileAtomically(path, header + LittleEndianSamples(ch.Samples, static_cast<size_t>(records * perRecord)));
}

void PutEdfField(QByteArray& header, int offset, int width, const QByteArray& text)
{
    const int n = std::min<int>(width, static_cast<int>(text.size()));
    for (int i = 0; i < n; ++i) header[offset + i] = text[i];
}

QByteArray LittleEndianSamples(const std::vector<int16_t>& samples, size_t count)
{
    count = std::min(count, samples.size());
    QByteArray bytes(static_cast<qsizetype>(2 * count), '\0');
    for (size_t i = 0; i < count; ++i) {
        const auto u = static_cast<uint16_t>(samples[i]);
        bytes[static_cast<qsizetype>(2 * i)] = static_cast<char>(u & 0xFF);
        bytes[static_cast<qsizetype>(2 * i + 1)] = static_cast<char>(u >> 8);
    }
    return bytes;
}
