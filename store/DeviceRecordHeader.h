#pragma once
#include <QByteArray>
#include <array>
#include <cstdint>

// The recorder's 256-byte header of one recording in its stored form: the
// multi-byte fields already converted to little-endian, exactly as it sits at
// the start of the analysis block. Bytes the manager does not interpret are
// kept as they are.
struct DEVICE_RECORD_HEADER {
    static constexpr int Size = 256;

    // Offsets of the fields within the header.
    enum Offset : int {
        Signature = 1,        // 3 bytes, "FHR" once the manager has opened the file
        RecorderValue4 = 4,   // 16-bit, not used
        RecorderValue6 = 6,   // 16-bit, not used
        RecorderValue8 = 8,   // 16-bit, not used
        DeviceNumber = 16,    // 32-bit unsigned
        YearBcd = 20,         // two-digit year, BCD
        MonthBcd = 21,
        DayBcd = 22,
        HourBcd = 23,
        MinuteBcd = 24,
        SecondBcd = 25,
        SampleRate = 26,      // 16-bit unsigned, samples per second
        NoiseFinding = 30,    // non-zero: noisy
        PhysMin = 31,         // 16-bit signed each
        PhysMax = 33,
        DigMin = 35,
        DigMax = 37,
        DataByteCount = 40,   // 32-bit unsigned, 2 per sample
        Setting44 = 44,
        Setting45 = 45,
        Setting46 = 46,
        HeartRate = 47,       // beats per minute
        TachyThreshold = 48,  // beats per minute
        BradyThreshold = 49,  // beats per minute
        PauseFinding = 50,
        PauseThreshold = 51,  // seconds
        RhythmFinding = 52,
        WaveformFinding = 53,
        SignalQuality = 54,   // bit 0 unstable signal, bit 4 weak signal
        Setting55 = 55,
        TachyFinding = 56,    // 1 = found
        BradyFinding = 57,    // 1 = found
        RecorderValue58 = 58, // 32-bit, not used
    };

    std::array<uint8_t, Size> Bytes{};

    static DEVICE_RECORD_HEADER fromBytes(const QByteArray& bytes);  // first 256 bytes, zero-padded
    QByteArray toBytes() const;

    uint8_t u8(int offset) const { return Bytes[offset]; }
    void setU8(int offset, uint8_t v) { Bytes[offset] = v; }
    uint16_t u16(int offset) const;
    int16_t i16(int offset) const { return static_cast<int16_t>(u16(offset)); }
    uint32_t u32(int offset) const;
    void setU16(int offset, uint16_t v);
    void setU32(int offset, uint32_t v);

    uint32_t deviceNumber() const { return u32(DeviceNumber); }
    uint16_t sampleRate() const { return u16(SampleRate); }
    uint32_t dataByteCount() const { return u32(DataByteCount); }
    int16_t physMin() const { return i16(PhysMin); }
    int16_t physMax() const { return i16(PhysMax); }
    int16_t digMin() const { return i16(DigMin); }
    int16_t digMax() const { return i16(DigMax); }
};
