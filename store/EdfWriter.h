#pragma once
#include "store/DeviceRecordHeader.h"
#include "store/EdfProblem.h"
#include "store/EdfRecord.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

// Writes a downloaded recording: the 512-byte EDF header made from the
// recorder's header, the samples (already little-endian; their length must
// equal the header's data byte count) and an analysis block holding the
// header and the 1600 bytes of the recorder's series. The file appears
// complete or not at all (written under a temporary name and renamed).
EdfProblem WriteDownloadedEdf(const QString& path, const DEVICE_RECORD_HEADER& header,
                              const QByteArray& sampleBytes, const QByteArray& seriesBytes);

// The whole file image WriteDownloadedEdf writes (its analysis block signed
// "FHR", not yet analysed); a problem and an empty image for inconsistent input.
EdfProblem BuildDownloadedEdfImage(const DEVICE_RECORD_HEADER& header, const QByteArray& sampleBytes,
                                   const QByteArray& seriesBytes, QByteArray& image);

// The 512-byte EDF header of a downloaded recording (exposed for tests and
// the export).
QByteArray BuildDownloadedEdfHeader(const DEVICE_RECORD_HEADER& header);

// Writes channel 1 of `record` as a plain standard EDF file without an
// analysis block, that other EDF readers accept at the channel's true rate:
// its data records as ChooseRecordLayout cuts them (a count that no exact
// record divides loses its last few samples there). `deviceNumber` goes into
// the recording identification.
EdfProblem WritePlainEdf(const QString& path, const EDF_RECORD& record, uint32_t deviceNumber,
                         bool hasDeviceNumber);

// One annotation of an exported EDF+ file: its time from the start and its text.
struct EdfAnnotation {
    double onsetSeconds = 0.0;
    QString text;
};

// Writes channel 1 like WritePlainEdf; with `annotations` (even an empty
// list) the file is EDF+ (continuous) with a second signal, "EDF
// Annotations", holding each annotation in the data record of its time.
EdfProblem WriteExportEdf(const QString& path, const EDF_RECORD& record, uint32_t deviceNumber, bool hasDeviceNumber,
                          const std::vector<EdfAnnotation>* annotations);

// Writes `text` into a blank-filled EDF header at `offset`, cut to `width` bytes.
void PutEdfField(QByteArray& header, int offset, int width, const QByteArray& text);

// The first `count` samples as the file stores them: 16-bit little-endian.
QByteArray LittleEndianSamples(const std::vector<int16_t>& samples, size_t count);
inline QByteArray LittleEndianSamples(const std::vector<int16_t>& samples)
{
    return LittleEndianSamples(samples, samples.size());
}

// Writes `bytes` to `path` so that the file is either the old one or the
// complete new one, never a truncated mix (see AtomicFile).
EdfProblem WriteFileAtomically(const QString& path, const QByteArray& bytes);
