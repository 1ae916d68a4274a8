#include "store/EdfRecord.h"

#include "store/EdfRecordDuration.h"
#include "store/QuotedValue.h"

#include <QFile>
#include <cmath>
#include <limits>

namespace {

// Widths of the per-signal header fields, in the order EDF stores them.
struct SignalField {
    const char* name;
    int width;
};
constexpr SignalField kSignalFields[] = {
    {"label", 16},
    {"transducer type", 80},
    {"physical dimension", 8},
    {"physical minimum", 8},
    {"physical maximum", 8},
    {"digital minimum", 8},
    {"digital maximum", 8},
    {"prefiltering", 80},
    {"samples in each data record", 8},
    {"reserved", 32},
};
enum SignalFieldIndex { Label, Transducer, PhysDim, PhysMin, PhysMax, DigMin, DigMax, Prefilter, Samples, Reserved };

int signalFieldStart(int field)
{
    int start = 0;
    for (int i = 0; i < field; ++i) start += kSignalFields[i].width;
    return start;
}

QByteArray fieldBytes(const QByteArray& bytes, qint64 offset, int width)
{
    return bytes.mid(offset, width);
}

// A text field without the blanks (or zeros) that fill it to its width.
QByteArray withoutFiller(const QByteArray& raw)
{
    qsizetype end = raw.size();
    while (end > 0 && (raw[end - 1] == ' ' || raw[end - 1] == '\0')) --end;
    return raw.left(end);
}

QString trimmedTrailing(const QByteArray& raw)
{
    return QString::fromLatin1(withoutFiller(raw));
}

// A header field as a refusal quotes it: without its trailing blanks, and
// escaped, zeros and all (a field of zeros is not taken for an empty one).
QString shown(const QByteArray& raw)
{
    qsizetype end = raw.size();
    while (end > 0 && raw[end - 1] == ' ') --end;
    return QuotedValue(raw.left(end));
}

// A whole decimal integer, blanks around it allowed; nothing else.
bool parseInteger(const QByteArray& raw, qint64& value)
{
    const QByteArray t = raw.trimmed();
    if (t.isEmpty() || t.size() > 18) return false;
    qsizetype i = 0;
    bool negative = false;
    if (t[0] == '+' || t[0] == '-') {
        negative = t[0] == '-';
        i = 1;
    }
    if (i >= t.size()) return false;
    qint64 v = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9') return false;
        v = v * 10 + (t[i] - '0');
    }
    value = negative ? -v : v;
    return true;
}

// A decimal number in the C locale (a user's locale never turns "0.8" into "0,8").
bool parseReal(const QByteArray& raw, double& value)
{
    const QByteArray t = raw.trimmed();
    if (t.isEmpty()) return false;
    for (char c : t)
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E')) return false;
    bool ok = false;
    value = t.toDouble(&ok);
    return ok && std::isfinite(value);
}

// Three decimal numbers separated by single characters; `separator` 0 allows any.
bool parseTriple(const QByteArray& raw, char separator, int out[3])
{
    const QByteArray t = raw.trimmed();
    qsizetype i = 0;
    for (int part = 0; part < 3; ++part) {
        if (part > 0) {
            if (i >= t.size()) return false;
            const char c = t[i];
            if ((separator != 0 && c != separator) || (c >= '0' && c <= '9')) return false;
            ++i;
            // A number may be preceded by blanks ("7. 5.13"), as a scanf reader allows.
            while (i < t.size() && t[i] == ' ') ++i;
        }
        const qsizetype start = i;
        int v = 0;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9' && i - start < 6) v = v * 10 + (t[i++] - '0');
        if (i == start) return false;
        out[part] = v;
    }
    return i == t.size();
}

}  // namespace

EdfProblem ParseEdfHeader(const QByteArray& bytes, qint64 fileSize, EDF_RECORD& record)
{
    record = EDF_RECORD{};
    if (bytes.size() < kEdfFixedHeaderBytes)
        return EdfProblem::make(EdfError::HeaderTruncated, QStringLiteral("header"), 0,
                                QStringLiteral("%1 bytes, at least 256 needed").arg(bytes.size()));

    record.PatientId = trimmedTrailing(fieldBytes(bytes, 8, 80));
    record.RecordingId = trimmedTrailing(fieldBytes(bytes, 88, 80));

    int date[3];
    const QByteArray dateRaw = fieldBytes(bytes, 168, 8);
    if (!parseTriple(dateRaw, '.', date))
        return EdfProblem::make(EdfError::BadDate, QStringLiteral("start date"), 168, shown(dateRaw));
    record.StartDate = QStringLiteral("%1.%2.%3").arg(date[2]).arg(date[1]).arg(date[0]);

    int time[3];
    const QByteArray timeRaw = fieldBytes(bytes, 176, 8);
    if (!parseTriple(timeRaw, 0, time))
        return EdfProblem::make(EdfError::BadTime, QStringLiteral("start time"), 176, shown(timeRaw));
    record.StartTime = QStringLiteral("%1.%2.%3").arg(time[0]).arg(time[1]).arg(time[2]);

    qint64 records = 0;
    const QByteArray recordsRaw = fieldBytes(bytes, 236, 8);
    if (!parseInteger(recordsRaw, records))
        return EdfProblem::make(EdfError::BadNumber, QStringLiteral("number of data records"), 236, shown(recordsRaw));
    if (records < 1 || records > std::numeric_limits<int32_t>::max())
        return EdfProblem::make(EdfError::BadRecordCount, QStringLiteral("number of data records"), 236, shown(recordsRaw));

    const QByteArray secondsRaw = fieldBytes(bytes, 244, 8);
    const std::optional<EdfRecordDuration> duration = ParseRecordDuration(secondsRaw);
    if (!duration)
        return EdfProblem::make(EdfError::BadRecordDuration, QStringLiteral("duration of a data record"), 244,
                                shown(secondsRaw) + QStringLiteral(", a decimal number of seconds above 0 needed"));
    if (duration->secondsOf(records) > std::numeric_limits<int32_t>::max())
        return EdfProblem::make(EdfError::BadRecordDuration, QStringLiteral("duration of a data record"), 244,
                                shown(secondsRaw) + QStringLiteral(" for %1 records").arg(records));

    qint64 signalCount = 0;
    const QByteArray signalsRaw = fieldBytes(bytes, 252, 4);
    if (!parseInteger(signalsRaw, signalCount))
        return EdfProblem::make(EdfError::BadNumber, QStringLiteral("number of signals"), 252, shown(signalsRaw));
    if (signalCount < 1 || signalCount > std::numeric_limits<int16_t>::max() ||
        kEdfFixedHeaderBytes + signalCount * kEdfSignalHeaderBytes > fileSize)
        return EdfProblem::make(EdfError::BadSignalCount, QStringLiteral("number of signals"), 252,
                                shown(signalsRaw) + QStringLiteral(" in a file of %1 bytes").arg(fileSize));
    const qint64 headerBytes = kEdfFixedHeaderBytes + signalCount * kEdfSignalHeaderBytes;
    if (bytes.size() < headerBytes)
        return EdfProblem::make(EdfError::HeaderTruncated, QStringLiteral("signal header"), bytes.size(),
                                QStringLiteral("%1 bytes, %2 needed").arg(bytes.size()).arg(headerBytes));

    record.RecordCount = static_cast<int32_t>(records);
    record.RecordDuration = duration->seconds();
    record.RecordSeconds = static_cast<int32_t>(duration->secondsOf(1));
    record.TotalSeconds = static_cast<int32_t>(duration->secondsOf(records));
    record.SignalCount = static_cast<int16_t>(signalCount);
    record.Channels.resize(static_cast<size_t>(signalCount));

    auto fieldOffset = [&](int field, qint64 signal) {
        return kEdfFixedHeaderBytes + signalCount * signalFieldStart(field) + signal * kSignalFields[field].width;
    };
    auto raw = [&](int field, qint64 signal) {
        return fieldBytes(bytes, fieldOffset(field, signal), kSignalFields[field].width);
    };
    auto problem = [&](EdfError code, int field, qint64 signal, const QString& what) {
        return EdfProblem::make(code,
                                QStringLiteral("%1 of signal %2").arg(kSignalFields[field].name).arg(signal + 1),
                                fieldOffset(field, signal), what);
    };

    qint64 samplesPerRecordAll = 0;
    std::vector<qint64> perRecordOf;
    for (qint64 s = 0; s < signalCount; ++s) {
        EDF_CHANNEL& ch = record.Channels[static_cast<size_t>(s)];
        ch.PhysDimension = trimmedTrailing(raw(PhysDim, s));
        if (!parseReal(raw(PhysMin, s), ch.PhysMin))
            return problem(EdfError::BadNumber, PhysMin, s, shown(raw(PhysMin, s)));
        if (!parseReal(raw(PhysMax, s), ch.PhysMax))
            return problem(EdfError::BadNumber, PhysMax, s, shown(raw(PhysMax, s)));
        qint64 digMin = 0, digMax = 0;
        if (!parseInteger(raw(DigMin, s), digMin))
            return problem(EdfError::BadNumber, DigMin, s, shown(raw(DigMin, s)));
        if (digMin < -32768 || digMin > 32767)
            return problem(EdfError::BadDigitalRange, DigMin, s, shown(raw(DigMin, s)));
        if (!parseInteger(raw(DigMax, s), digMax))
            return problem(EdfError::BadNumber, DigMax, s, shown(raw(DigMax, s)));
        if (digMax < -32768 || digMax > 32767)
            return problem(EdfError::BadDigitalRange, DigMax, s, shown(raw(DigMax, s)));
        ch.DigMin = static_cast<int16_t>(digMin);
        ch.DigMax = static_cast<int16_t>(digMax);

        qint64 perRecord = 0;
        if (!parseInteger(raw(Samples, s), perRecord))
            return problem(EdfError::BadNumber, Samples, s, shown(raw(Samples, s)));
        if (perRecord < 1 || perRecord > fileSize)
            return problem(EdfError::BadSampleCount, Samples, s, shown(raw(Samples, s)));
        const qint64 rate = duration->rateOf(perRecord);
        if (rate > std::numeric_limits<int16_t>::max())
            return problem(EdfError::BadSampleCount, Samples, s,
                           shown(raw(Samples, s)) + QStringLiteral(" in %1 seconds").arg(duration->seconds()));
        ch.SampleRate = static_cast<int16_t>(rate);
        samplesPerRecordAll += perRecord;
        perRecordOf.push_back(perRecord);
    }

    // Everything the header promises must be in the file.
    const qint64 available = fileSize - headerBytes;
    if (samplesPerRecordAll > available / 2 || records > (available / 2) / samplesPerRecordAll)
        return EdfProblem::make(
            EdfError::DataTruncated, QStringLiteral("number of data records"), 236,
            QStringLiteral("%1 records of %2 bytes promised, %3 bytes present")
                .arg(records).arg(samplesPerRecordAll * 2).arg(available));

    for (qint64 s = 0; s < signalCount; ++s) {
        const qint64 count = perRecordOf[static_cast<size_t>(s)] * records;
        if (count > std::numeric_limits<int32_t>::max())
            return problem(EdfError::BadSampleCount, Samples, s, shown(raw(Samples, s)));
        record.Channels[static_cast<size_t>(s)].SampleCount = static_cast<int32_t>(count);
    }
    record.DataOffset = headerBytes;
    record.DataEnd = headerBytes + records * samplesPerRecordAll * 2;
    return {};
}

EdfProblem ParseEdf(const QByteArray& bytes, EDF_RECORD& record)
{
    EdfProblem p = ParseEdfHeader(bytes, bytes.size(), record);
    if (!p.ok()) {
        record = EDF_RECORD{};
        return p;
    }
    std::vector<qint64> perRecord(record.Channels.size());
    for (size_t s = 0; s < record.Channels.size(); ++s) {
        perRecord[s] = record.Channels[s].SampleCount / record.RecordCount;
        record.Channels[s].Samples.resize(static_cast<size_t>(record.Channels[s].SampleCount));
    }
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    qint64 pos = record.DataOffset;
    for (int32_t r = 0; r < record.RecordCount; ++r) {
        for (size_t s = 0; s < record.Channels.size(); ++s) {
            int16_t* out = record.Channels[s].Samples.data() + r * perRecord[s];
            for (qint64 i = 0; i < perRecord[s]; ++i, pos += 2)
                out[i] = static_cast<int16_t>(static_cast<uint16_t>(data[pos] | (data[pos + 1] << 8)));
        }
    }
    return {};
}

EdfProblem ReadEdfFile(const QString& path, EDF_RECORD& record)
{
    record = EDF_RECORD{};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return EdfProblem::make(EdfError::CannotOpen, {}, -1, file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return EdfProblem::make(EdfError::CannotOpen, {}, -1, file.errorString());
    return ParseEdf(bytes, record);
}

EdfProblem CheckRecordingRate(const EDF_RECORD& record)
{
    if (record.Channels.empty())
        return EdfProblem::make(EdfError::BadSignalCount, QStringLiteral("number of signals"), 252, QStringLiteral("0"));
    const int rate = record.Channels[0].SampleRate;
    if (rate != 128 && rate != 256) {
        const qint64 offset = kEdfFixedHeaderBytes + record.SignalCount * signalFieldStart(Samples);
        return EdfProblem::make(EdfError::UnsupportedRate,
                                QStringLiteral("samples in each data record of signal 1"), offset,
                                QStringLiteral("%1 samples per second").arg(rate));
    }
    return {};
}

EdfProblem ReadRecording(const QString& path, EDF_RECORD& record)
{
    EdfProblem p = ReadEdfFile(path, record);
    if (p.ok()) p = CheckRecordingRate(record);
    if (!p.ok()) record = EDF_RECORD{};
    return p;
}

void DecimateTo128(EDF_CHANNEL& channel)
{
    const size_t half = (channel.Samples.size() + 1) / 2;
    for (size_t i = 0; i < half; ++i) channel.Samples[i] = channel.Samples[2 * i];
    channel.Samples.resize(half);
    channel.SampleCount /= 2;
    channel.Samples.resize(static_cast<size_t>(channel.SampleCount));
    channel.SampleRate = static_cast<int16_t>(channel.SampleRate / 2);
}
