#include "store/EdfWriter.h"

#include "store/AtomicFile.h"
#include "store/EdfRecordDuration.h"
#include "store/FhrBlock.h"

#include <QFileInfo>
#include <algorithm>
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
    AtomicFile file(path);
    if (!file.open())
        return EdfProblem::make(EdfError::CannotWrite, {}, -1, file.errorString());
    if (file.device().write(bytes) != bytes.size() || !file.commit())
        return EdfProblem::make(EdfError::CannotWrite, {}, -1, file.errorString());
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

namespace {

// Where each field of a signal header starts, for `signalCount` signals.
struct SignalFields {
    int signalCount;
    int at(int fieldOffset, int width, int index) const { return 256 + fieldOffset * signalCount + width * index; }
};

// One time-stamped annotation list of an EDF+ annotation signal: "+onset",
// 0x14, the texts each followed by 0x14, a closing 0.
QByteArray Tal(double onsetSeconds, const QStringList& texts)
{
    QByteArray onset = QByteArray::number(onsetSeconds, 'f', 8);
    while (onset.endsWith('0')) onset.chop(1);
    if (onset.endsWith('.')) onset.chop(1);
    QByteArray tal = (onsetSeconds < 0 ? "" : "+") + onset + '\x14';
    if (texts.isEmpty()) tal += '\x14';
    for (const QString& t : texts) tal += t.toUtf8() + '\x14';
    return tal + '\0';
}

const char* const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

}  // namespace

EdfProblem WritePlainEdf(const QString& path, const EDF_RECORD& record, uint32_t deviceNumber, bool hasDeviceNumber)
{
    return WriteExportEdf(path, record, deviceNumber, hasDeviceNumber, nullptr);
}

EdfProblem WriteExportEdf(const QString& path, const EDF_RECORD& record, uint32_t deviceNumber, bool hasDeviceNumber,
                          const std::vector<EdfAnnotation>* annotations)
{
    if (record.Channels.empty() || record.Channels[0].Samples.empty())
        return EdfProblem::make(EdfError::BadInput, QStringLiteral("signal 1"), -1, QStringLiteral("no samples"));
    const EDF_CHANNEL& ch = record.Channels[0];
    if (ch.SampleRate <= 0)
        return EdfProblem::make(EdfError::BadInput, QStringLiteral("sample rate"), -1, QString::number(ch.SampleRate));
    const bool plus = annotations != nullptr;

    // Records that make other readers derive the channel's true rate.
    const EdfRecordLayout layout = ChooseRecordLayout(static_cast<qint64>(ch.Samples.size()), ch.SampleRate);
    const qint64 records = layout.records, perRecord = layout.samplesPerRecord;
    const double seconds = ParseRecordDuration(layout.duration)->seconds();

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
    auto part = [](const QString& text, int index) {
        const QStringList parts = text.split('.');
        return parts.size() == 3 ? parts[index].toInt() % 100 : 0;
    };
    auto twoDigits = [](int v) { return QByteArray::number(v).rightJustified(2, '0'); };
    const int year = part(record.StartDate, 0), month = part(record.StartDate, 1), day = part(record.StartDate, 2);
    const QByteArray date = twoDigits(day) + '.' + twoDigits(month) + '.' + twoDigits(year);
    const QByteArray time = twoDigits(part(record.StartTime, 0)) + '.' + twoDigits(part(record.StartTime, 1)) + '.' +
                            twoDigits(part(record.StartTime, 2));

    // EDF+ keeps the beats in a second signal: per data record a list that
    // starts with the record's own time, then the beats that fall in it.
    std::vector<QByteArray> tals;
    qint64 annotationSamples = 0;
    if (plus) {
        tals.resize(static_cast<size_t>(records));
        for (qint64 r = 0; r < records; ++r) tals[static_cast<size_t>(r)] = Tal(double(r) * seconds, {});
        for (const EdfAnnotation& a : *annotations) {
            const qint64 r = std::clamp<qint64>(static_cast<qint64>(std::floor(a.onsetSeconds / seconds)), 0,
                                                records - 1);
            tals[static_cast<size_t>(r)] += Tal(a.onsetSeconds, {a.text});
        }
        for (const QByteArray& t : tals) annotationSamples = std::max<qint64>(annotationSamples, (t.size() + 1) / 2);
    }

    const int signalCount = plus ? 2 : 1;
    const SignalFields f{signalCount};
    QByteArray header(256 * (1 + signalCount), ' ');
    PutEdfField(header, 0, 8, "0");
    QByteArray equipment = "Talmon Heart Let KX 20";
    if (hasDeviceNumber) equipment += " device " + QByteArray::number(deviceNumber, 16).toUpper().rightJustified(8, '0');
    if (plus) {
        // EDF+ identifications are blank-separated subfields, X where unknown.
        QByteArray patient = record.PatientId.trimmed().toLatin1();
        patient.replace(' ', '_');
        PutEdfField(header, 8, 80, (patient.isEmpty() ? QByteArray("X") : patient) + " X X X");
        const bool dated = month >= 1 && month <= 12 && day >= 1;
        const QByteArray startdate = dated ? twoDigits(day) + '-' + kMonths[month - 1] + '-' +
                                                 QByteArray::number(year >= 85 ? 1900 + year : 2000 + year)
                                           : QByteArray("X");
        PutEdfField(header, 88, 80, "Startdate " + startdate + " X X " + equipment.replace(' ', '_'));
        PutEdfField(header, 192, 44, "EDF+C");
    } else {
        PutEdfField(header, 8, 80, record.PatientId.toLatin1());
        PutEdfField(header, 88, 80, equipment);
    }
    PutEdfField(header, 168, 8, date);
    PutEdfField(header, 176, 8, time);
    PutEdfField(header, 184, 8, number(header.size()));
    PutEdfField(header, 236, 8, number(records));
    PutEdfField(header, 244, 8, layout.duration);
    PutEdfField(header, 252, 4, number(signalCount));
    PutEdfField(header, f.at(0, 16, 0), 16, "ECG");
    PutEdfField(header, f.at(16, 80, 0), 80, "transducer type not recorded");
    PutEdfField(header, f.at(96, 8, 0), 8, ch.PhysDimension.isEmpty() ? QByteArray("uV") : ch.PhysDimension.toLatin1());
    PutEdfField(header, f.at(104, 8, 0), 8, real(physMin));
    PutEdfField(header, f.at(112, 8, 0), 8, real(physMax));
    PutEdfField(header, f.at(120, 8, 0), 8, number(digMin));
    PutEdfField(header, f.at(128, 8, 0), 8, number(digMax));
    PutEdfField(header, f.at(136, 80, 0), 80, "prefiltering not recorded");
    PutEdfField(header, f.at(216, 8, 0), 8, number(perRecord));
    if (plus) {
        PutEdfField(header, f.at(0, 16, 1), 16, "EDF Annotations");
        PutEdfField(header, f.at(104, 8, 1), 8, "-1");
        PutEdfField(header, f.at(112, 8, 1), 8, "1");
        PutEdfField(header, f.at(120, 8, 1), 8, "-32768");
        PutEdfField(header, f.at(128, 8, 1), 8, "32767");
        PutEdfField(header, f.at(216, 8, 1), 8, number(annotationSamples));
    }
    // Other readers accept printable ASCII only.
    for (char& c : header)
        if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) c = ' ';

    const QByteArray samples = LittleEndianSamples(ch.Samples, static_cast<size_t>(records * perRecord));
    if (!plus) return WriteFileAtomically(path, header + samples);
    QByteArray image = header;
    const qsizetype recordBytes = static_cast<qsizetype>(2 * perRecord);
    image.reserve(header.size() + records * (recordBytes + 2 * annotationSamples));
    for (qint64 r = 0; r < records; ++r) {
        image += samples.mid(static_cast<qsizetype>(r) * recordBytes, recordBytes);
        QByteArray tal = tals[static_cast<size_t>(r)];
        tal.append(QByteArray(static_cast<qsizetype>(2 * annotationSamples) - tal.size(), '\0'));
        image += tal;
    }
    return WriteFileAtomically(path, image);
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
