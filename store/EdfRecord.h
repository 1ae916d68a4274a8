#pragma once
#include "store/EdfProblem.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

// One signal of an open recording.
struct EDF_CHANNEL {
    std::vector<int16_t> Samples;  // all samples of the signal, in order
    int32_t SampleCount = 0;       // RecordCount x samples per record
    int16_t SampleRate = 0;        // samples per second: samples per record / RecordDuration, rounded down
    QString PhysDimension;         // physical dimension, trailing blanks removed
    double PhysMax = 0.0;
    double PhysMin = 0.0;
    int16_t DigMax = 0;
    int16_t DigMin = 0;
};

// One open recording as read from an EDF file.
struct EDF_RECORD {
    QString PatientId;       // local patient identification, trailing blanks removed
    QString RecordingId;     // local recording identification, trailing blanks removed
    QString StartDate;       // "%d.%d.%d" of year (two digits), month, day: 7 May 2013 -> "13.5.7"
    QString StartTime;       // "%d.%d.%d" of hour, minute, second, no leading zeros
    int32_t TotalSeconds = 0;   // RecordCount x RecordDuration, whole seconds rounded down
    int32_t RecordCount = 0;    // number of data records
    int32_t RecordSeconds = 0;  // duration of one data record, whole seconds rounded down
    double RecordDuration = 0;  // duration of one data record, seconds, as the header says (0.5, 30)
    int16_t SignalCount = 0;
    std::vector<EDF_CHANNEL> Channels;  // SignalCount entries

    // Byte offset of the first sample and of the first byte after the data records.
    qint64 DataOffset = 0;
    qint64 DataEnd = 0;
};

// Sizes of the fixed parts of an EDF file.
inline constexpr int kEdfFixedHeaderBytes = 256;
inline constexpr int kEdfSignalHeaderBytes = 256;

// Parses a whole EDF file image. Refuses (never crashes on) malformed,
// truncated or absurd headers; bytes after the last data record are ignored.
// Returns a problem with ok() true on success, `record` then filled.
EdfProblem ParseEdf(const QByteArray& bytes, EDF_RECORD& record);

// Parses only the header (no samples): DataOffset and DataEnd are filled and
// the channels carry their fields but no samples. `bytes` may be the whole
// file or at least its header; `fileSize` is the size of the whole file.
EdfProblem ParseEdfHeader(const QByteArray& bytes, qint64 fileSize, EDF_RECORD& record);

// Reads an EDF file from disk (see ParseEdf). The file is only read.
EdfProblem ReadEdfFile(const QString& path, EDF_RECORD& record);

// The manager works on 128 or 256 samples per second only: refuses anything
// else in channel 1 with a problem that names the field.
EdfProblem CheckRecordingRate(const EDF_RECORD& record);

// ReadEdfFile followed by CheckRecordingRate: what opening, `info` and
// `export` accept as a recording.
EdfProblem ReadRecording(const QString& path, EDF_RECORD& record);

// Keeps only the samples with even index of a 256-per-second channel and
// halves its rate and count (the 128-per-second display of a recording).
void DecimateTo128(EDF_CHANNEL& channel);
