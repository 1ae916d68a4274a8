#pragma once
#include "store/DeviceRecordHeader.h"
#include "store/EdfProblem.h"

#include <QString>
#include <array>
#include <cstdint>

// The 2582-byte analysis block appended after the EDF data of a recording
// file: the recorder's header, the uploaded marker, the manager's analysis
// results and the recorder's own beat-measurement series. Multi-byte numbers
// are little-endian.
struct FHR_BLOCK {
    static constexpr int Size = 2582;

    enum Offset : int {
        Header = 0,               // 256 bytes DEVICE_RECORD_HEADER
        UploadedMarker = 256,     // 16-bit: 0 not uploaded, 1 uploaded
        ManagerHeartRate = 258,   // low 8 bits of HeartRate
        ManagerRhythm = 259,
        ManagerWaveform = 260,
        SummaryCode = 261,        // 0 noise, else 1 unstable, else EctopyGrade + 1
        ManagerRhythm2 = 262,
        ManagerEctopyGrade = 263,
        OtherTypeBeats = 264,     // beats whose type is neither 0 nor 1 (low 8 bits)
        NormalBeats = 265,        // beats of type 1 (low 8 bits)
        BeatCountByte = 266,      // number of beats (low 8 bits)
        HighestRate = 267,        // 60000 / shortest valid RR, low 8 bits, 0 if none
        LowestRate = 268,         // 60000 / longest valid RR, low 8 bits, 0 if none
        ManagerHeartRate2 = 269,
        ManagerIrregular = 270,
        Zero271 = 271,
        AnyType5 = 272,           // 1 if one of the first 100 beats is of type 5
        AnyType5or8 = 273,        // 1 if one of the first 100 beats is of type 5 or 8
        ManagerPause = 274,
        Zero275 = 275,
        Zero276 = 276,
        AnalysisRate = 277,       // 16-bit, 128
        BeatTimes = 279,          // 100 x 32-bit signed, sample index at 128/s
        BeatTypes = 679,          // 100 x 8-bit
        BeatCountWord = 779,      // 16-bit, number of beats (low 16 bits)
        BeatRtoR = 781,           // 100 x 16-bit signed, ms
        AnalysedMark = 981,       // 0 as downloaded, 1 once the manager analysed the file
        RecorderSeries = 982,     // 800 x 16-bit signed: 8 series of 100 values
    };
    static constexpr int kStoredBeats = 100;
    static constexpr int kSeriesBytes = 1600;

    std::array<uint8_t, Size> Bytes{};

    // True when block bytes 1 and 2 are "F" and "H" (byte 3 is not compared).
    bool hasSignature() const { return Bytes[1] == 'F' && Bytes[2] == 'H'; }
    DEVICE_RECORD_HEADER header() const;
    void setHeader(const DEVICE_RECORD_HEADER& header);
    uint16_t uploadedMarker() const { return u16(UploadedMarker); }

    uint16_t u16(int offset) const;
    void setU16(int offset, uint16_t v);
    void setI32(int offset, int32_t v);
    int32_t i32(int offset) const;

    QByteArray toBytes() const;
    static FHR_BLOCK fromBytes(const QByteArray& bytes);  // first 2582 bytes, zero-padded
};

// The manager's own analysis of one recording, as the beat analysis leaves
// it: the findings and the per-beat series (200 slots indexed by beat number
// modulo 200). UpdateFhrBlock turns it into block bytes 258-980.
struct ManagerResults {
    static constexpr int kSlots = 200;

    int16_t HeartRate = 0;  // beats per minute
    bool RhythmFinding = false;
    bool WaveformFinding = false;
    bool PauseFinding = false;
    bool IrregularFinding = false;
    bool NoiseFinding = false;
    bool UnstableFinding = false;
    bool WeakFinding = false;  // not stored in the block; kept for the caller
    uint8_t EctopyGrade = 0;   // 0..4

    int32_t beatCount = 0;         // beats found over the whole recording
    int32_t firstValidBeat = -1;   // number of the first valid beat, -1 if none
    int32_t stableStartBeat = -1;  // number of the first beat past 383 samples, -1 if none
    std::array<int32_t, kSlots> beatTime{};  // sample index at 128 per second
    std::array<uint8_t, kSlots> beatType{};  // 0, 1, 5, 8; 13 when never classified
    std::array<int16_t, kSlots> RtoR{};      // ms before the beat

    ManagerResults() { beatType.fill(13); }
};

// Writes the manager's results into block bytes 258-980 (the rest untouched).
void StoreManagerResults(const ManagerResults& results, FHR_BLOCK& block);

// Reads the last 2582 bytes of the file into `block` (zero-filled when the
// file is shorter) and returns true when it is a real analysis block: bytes 1
// and 2 are "F" and "H" and the bytes lie after the file's EDF data (a
// foreign file whose last samples happen to spell "FH" has no block).
bool ReadFhrBlock(const QString& path, FHR_BLOCK& block);

// Reads an unsigned analysis block right after a file's EDF data (exactly
// 2582 bytes follow the one data record of its one signal), accepted only
// when it agrees with the file: its sample byte count, its rate giving the
// file's duration, and its device number as the EDF reserved field holds it.
// Returns false, with a zeroed block, for any other file (such as the 256/s
// conversion's output, whose trailing bytes are zeros).
bool ReadTrailingBlock(const QString& path, FHR_BLOCK& block);

// Stores the manager's results into `block`, marks it analysed ("FHR", byte
// 981 = 1), completes the recorder part of a block that the file did not have
// (`hadBlock` false: the block starts from zeros, not from the file's last
// bytes), and rewrites the file atomically: the block replaces the file's
// last 2582 bytes when it had one, otherwise it is appended. The uploaded
// marker of an existing block is kept. On failure the file is unchanged.
EdfProblem UpdateFhrBlock(const QString& path, FHR_BLOCK& block, bool hadBlock,
                          const ManagerResults& results);

// Sets the uploaded marker (block offset 256) of a file that carries a block
// and rewrites the file atomically; a file without a block is left unchanged
// (returns a problem then).
EdfProblem SetUploadedMarker(const QString& path, uint16_t marker = 1);

// The data-set information texts shown beside the chart.
struct DataSetInfo {
    QString heartRate;       // recorder's heart rate, bpm
    QString rhythm;          // recorder's rhythm finding
    QString waveform;        // recorder's waveform finding
    QString tachyThreshold;  // bpm
    QString bradyThreshold;  // bpm
    QString pause;           // recorder's pause finding
    QString pauseThreshold;  // seconds
    QString signalQuality;   // "0" good, "1" unstable, "2" weak
};

// Derives the texts from the block. With the signature every text is set
// (the signal quality only for the codes 0, 1, 16, 17; others keep the
// previous text); without it only the heart rate is set, to empty.
void FillDataSetInfo(const FHR_BLOCK& block, DataSetInfo& info);
