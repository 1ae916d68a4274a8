#include "store/FhrBlock.h"

#include "store/EdfRecord.h"
#include "store/EdfWriter.h"

#include <QFile>
#include <algorithm>

DEVICE_RECORD_HEADER FHR_BLOCK::header() const
{
    DEVICE_RECORD_HEADER h;
    std::copy_n(Bytes.begin(), DEVICE_RECORD_HEADER::Size, h.Bytes.begin());
    return h;
}

void FHR_BLOCK::setHeader(const DEVICE_RECORD_HEADER& header)
{
    std::copy(header.Bytes.begin(), header.Bytes.end(), Bytes.begin());
}

uint16_t FHR_BLOCK::u16(int offset) const
{
    return static_cast<uint16_t>(Bytes[offset] | (Bytes[offset + 1] << 8));
}

void FHR_BLOCK::setU16(int offset, uint16_t v)
{
    Bytes[offset] = static_cast<uint8_t>(v);
    Bytes[offset + 1] = static_cast<uint8_t>(v >> 8);
}

void FHR_BLOCK::setI32(int offset, int32_t v)
{
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) Bytes[offset + i] = static_cast<uint8_t>(u >> (8 * i));
}

int32_t FHR_BLOCK::i32(int offset) const
{
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(Bytes[offset + i]) << (8 * i);
    return static_cast<int32_t>(u);
}

QByteArray FHR_BLOCK::toBytes() const
{
    return QByteArray(reinterpret_cast<const char*>(Bytes.data()), Size);
}

FHR_BLOCK FHR_BLOCK::fromBytes(const QByteArray& bytes)
{
    FHR_BLOCK b;
    const auto n = std::min<qsizetype>(bytes.size(), Size);
    std::copy_n(reinterpret_cast<const uint8_t*>(bytes.constData()), n, b.Bytes.begin());
    return b;
}

void StoreManagerResults(const ManagerResults& r, FHR_BLOCK& block)
{
    constexpr int kSlots = ManagerResults::kSlots;
    const int32_t stored = std::clamp<int32_t>(r.beatCount, 0, kSlots);
    const int32_t first100 = std::min<int32_t>(stored, FHR_BLOCK::kStoredBeats);

    int otherTypes = 0, normal = 0;
    for (int32_t i = 0; i < stored; ++i) {
        const uint8_t t = r.beatType[i];
        if (t == 1) ++normal;
        else if (t != 0) ++otherTypes;
    }
    // Shortest and longest valid RR: beats from the first valid beat on,
    // past the stable start, with a non-zero RR below 3000 ms.
    int shortest = 0, longest = 0;
    if (r.firstValidBeat >= 0) {
        for (int32_t b = std::max(r.firstValidBeat, r.stableStartBeat + 1); b < r.beatCount; ++b) {
            const int rr = r.RtoR[b % kSlots];
            if (rr == 0 || rr >= 3000) continue;
            if (rr < 0) continue;
            if (shortest == 0 || rr < shortest) shortest = rr;
            if (rr > longest) longest = rr;
        }
    }
    bool anyType5 = false, anyType5or8 = false;
    for (int32_t i = 0; i < first100; ++i) {
        anyType5 = anyType5 || r.beatType[i] == 5;
        anyType5or8 = anyType5or8 || r.beatType[i] == 5 || r.beatType[i] == 8;
    }

    auto& b = block.Bytes;
    b[FHR_BLOCK::ManagerHeartRate] = static_cast<uint8_t>(r.HeartRate);
    b[FHR_BLOCK::ManagerRhythm] = r.RhythmFinding;
    b[FHR_BLOCK::ManagerWaveform] = r.WaveformFinding;
    b[FHR_BLOCK::SummaryCode] =
        r.NoiseFinding ? 0 : r.UnstableFinding ? 1 : static_cast<uint8_t>(r.EctopyGrade + 1);
    b[FHR_BLOCK::ManagerRhythm2] = r.RhythmFinding;
    b[FHR_BLOCK::ManagerEctopyGrade] = r.EctopyGrade;
    b[FHR_BLOCK::OtherTypeBeats] = static_cast<uint8_t>(otherTypes);
    b[FHR_BLOCK::NormalBeats] = static_cast<uint8_t>(normal);
    b[FHR_BLOCK::BeatCountByte] = static_cast<uint8_t>(r.beatCount);
    b[FHR_BLOCK::HighestRate] = shortest > 0 ? static_cast<uint8_t>(60000 / shortest) : 0;
    b[FHR_BLOCK::LowestRate] = longest > 0 ? static_cast<uint8_t>(60000 / longest) : 0;
    b[FHR_BLOCK::ManagerHeartRate2] = b[FHR_BLOCK::ManagerHeartRate];
    b[FHR_BLOCK::ManagerIrregular] = r.IrregularFinding;
    b[FHR_BLOCK::Zero271] = 0;
    b[FHR_BLOCK::AnyType5] = anyType5;
    b[FHR_BLOCK::AnyType5or8] = anyType5or8;
    b[FHR_BLOCK::ManagerPause] = r.PauseFinding;
    b[FHR_BLOCK::Zero275] = 0;
    b[FHR_BLOCK::Zero276] = 0;
    block.setU16(FHR_BLOCK::AnalysisRate, 128);
    for (int i = 0; i < FHR_BLOCK::kStoredBeats; ++i) {
        const bool used = i < stored;
        block.setI32(FHR_BLOCK::BeatTimes + 4 * i, used ? r.beatTime[i] : 0);
        b[FHR_BLOCK::BeatTypes + i] = used ? r.beatType[i] : 13;
        block.setU16(FHR_BLOCK::BeatRtoR + 2 * i, used ? static_cast<uint16_t>(r.RtoR[i]) : 0);
    }
    block.setU16(FHR_BLOCK::BeatCountWord, static_cast<uint16_t>(r.beatCount));
}

namespace {

// Byte offset where the EDF data of the file end, or -1 when the header
// cannot be read.
qint64 edfDataEnd(QFile& file)
{
    const qint64 size = file.size();
    if (!file.seek(0)) return -1;
    QByteArray head = file.read(kEdfFixedHeaderBytes);
    bool okSignalCount = false;
    const int signalCount = head.mid(252, 4).trimmed().toInt(&okSignalCount);
    if (!okSignalCount || signalCount < 1 || signalCount > 32767) return -1;
    head += file.read(qint64(signalCount) * kEdfSignalHeaderBytes);
    EDF_RECORD header;
    if (!ParseEdfHeader(head, size, header).ok()) return -1;
    return header.DataEnd;
}

}  // namespace

bool ReadFhrBlock(const QString& path, FHR_BLOCK& block)
{
    block = FHR_BLOCK{};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const qint64 size = file.size();
    const qint64 start = std::max<qint64>(0, size - FHR_BLOCK::Size);
    if (!file.seek(start)) return false;
    const QByteArray tail = file.read(FHR_BLOCK::Size);
    if (tail.size() == FHR_BLOCK::Size) block = FHR_BLOCK::fromBytes(tail);
    if (!block.hasSignature()) return false;
    const qint64 dataEnd = edfDataEnd(file);
    return dataEnd >= 0 && start >= dataEnd;
}

bool ReadTrailingBlock(const QString& path, FHR_BLOCK& block)
{
    block = FHR_BLOCK{};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const qint64 size = file.size();
    if (!file.seek(0)) return false;
    const QByteArray head = file.read(kEdfFixedHeaderBytes + kEdfSignalHeaderBytes);
    EDF_RECORD header;
    if (!ParseEdfHeader(head, size, header).ok() || header.SignalCount != 1) return false;
    if (size - header.DataEnd != FHR_BLOCK::Size || !file.seek(header.DataEnd)) return false;
    const QByteArray bytes = file.read(FHR_BLOCK::Size);
    if (bytes.size() != FHR_BLOCK::Size) return false;
    const FHR_BLOCK candidate = FHR_BLOCK::fromBytes(bytes);
    // Only a block that describes this very file counts: its sample bytes, its duration at its rate
    // and its device number as the header's reserved field carries it. A block of zeros or of 0xFF
    // written by something else would otherwise pass its filler off as the recorder's findings.
    const DEVICE_RECORD_HEADER h = candidate.header();
    const qint64 sampleBytes = header.DataEnd - header.DataOffset;
    if (h.sampleRate() == 0 || qint64(h.dataByteCount()) != sampleBytes || header.RecordCount != 1) return false;
    if (header.RecordDuration != header.RecordSeconds ||
        qint64(header.RecordSeconds) != qint64(h.dataByteCount() / 2 / h.sampleRate()))
        return false;
    const QByteArray deviceField = head.mid(kEdfFixedHeaderBytes + 224, 8);
    if (deviceField != QByteArray::number(h.deviceNumber(), 16).rightJustified(8, '0')) return false;
    block = candidate;
    return true;
}

EdfProblem UpdateFhrBlock(const QString& path, FHR_BLOCK& block, bool hadBlock, const ManagerResults& results)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return EdfProblem::make(EdfError::CannotOpen, {}, -1, file.errorString());
    QByteArray image = file.readAll();
    file.close();
    if (hadBlock && image.size() < FHR_BLOCK::Size)
        return EdfProblem::make(EdfError::DataTruncated, QStringLiteral("analysis block"), image.size(),
                                QStringLiteral("the file changed while it was open"));

    if (!hadBlock) {
        // A foreign file: the recorder part is the manager's own, from zeros
        // (the file's last bytes are samples, not a header).
        block = FHR_BLOCK{};
    }
    StoreManagerResults(results, block);
    auto& b = block.Bytes;
    b[1] = 'F';
    b[2] = 'H';
    b[3] = 'R';
    b[FHR_BLOCK::AnalysedMark] = 1;
    if (!hadBlock) {
        b[DEVICE_RECORD_HEADER::HeartRate] = b[FHR_BLOCK::ManagerHeartRate];
        b[DEVICE_RECORD_HEADER::RhythmFinding] = b[FHR_BLOCK::ManagerRhythm];
        b[DEVICE_RECORD_HEADER::WaveformFinding] = b[FHR_BLOCK::ManagerWaveform];
        b[DEVICE_RECORD_HEADER::TachyThreshold] = 100;
        b[DEVICE_RECORD_HEADER::BradyThreshold] = 60;
        b[DEVICE_RECORD_HEADER::PauseFinding] = b[FHR_BLOCK::ManagerPause];
        b[DEVICE_RECORD_HEADER::PauseThreshold] = 2;
        b[DEVICE_RECORD_HEADER::Setting45] = 1;
        b[DEVICE_RECORD_HEADER::Setting46] = 1;
        b[DEVICE_RECORD_HEADER::Setting44] = 1;
        b[DEVICE_RECORD_HEADER::Setting55] = 1;
        b[DEVICE_RECORD_HEADER::SignalQuality] = 0;
        block.setU16(FHR_BLOCK::UploadedMarker, 0);
        b[DEVICE_RECORD_HEADER::TachyFinding] = 0;
        b[DEVICE_RECORD_HEADER::BradyFinding] = 0;
    }
    const QByteArray blockBytes = block.toBytes();
    if (hadBlock) image.replace(image.size() - FHR_BLOCK::Size, FHR_BLOCK::Size, blockBytes);
    else image.append(blockBytes);
    return WriteFileAtomically(path, image);
}

EdfProblem SetUploadedMarker(const QString& path, uint16_t marker)
{
    FHR_BLOCK block;
    if (!ReadFhrBlock(path, block))
        return EdfProblem::make(EdfError::BadInput, QStringLiteral("analysis block"), -1,
                                QStringLiteral("the file has no analysis block"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return EdfProblem::make(EdfError::CannotOpen, {}, -1, file.errorString());
    QByteArray image = file.readAll();
    file.close();
    block.setU16(FHR_BLOCK::UploadedMarker, marker);
    image.replace(image.size() - FHR_BLOCK::Size, FHR_BLOCK::Size, block.toBytes());
    return WriteFileAtomically(path, image);
}

void FillDataSetInfo(const FHR_BLOCK& block, DataSetInfo& info)
{
    if (!block.hasSignature()) {
        info.heartRate.clear();
        return;
    }
    const auto& b = block.Bytes;
    info.heartRate = QString::number(b[DEVICE_RECORD_HEADER::HeartRate]);
    info.rhythm = QString::number(b[DEVICE_RECORD_HEADER::RhythmFinding]);
    info.waveform = QString::number(b[DEVICE_RECORD_HEADER::WaveformFinding]);
    info.tachyThreshold = QString::number(b[DEVICE_RECORD_HEADER::TachyThreshold]);
    info.bradyThreshold = QString::number(b[DEVICE_RECORD_HEADER::BradyThreshold]);
    info.pause = QString::number(b[DEVICE_RECORD_HEADER::PauseFinding]);
    info.pauseThreshold = QString::number(b[DEVICE_RECORD_HEADER::PauseThreshold]);
    switch (b[DEVICE_RECORD_HEADER::SignalQuality]) {
    case 0: info.signalQuality = QStringLiteral("0"); break;
    case 1: info.signalQuality = QStringLiteral("1"); break;
    case 16: info.signalQuality = QStringLiteral("2"); break;
    case 17: info.signalQuality = QStringLiteral("1"); break;
    default: break;
    }
}
