#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

// The 256-byte header that starts the stream of one recording. On the wire its
// numbers are big-endian; the stored form (the start of the recording file's
// analysis block) holds the same fields little-endian.

namespace device::protocol {

constexpr std::size_t RecordHeaderSize = 256;
using RecordHeaderBytes = std::array<std::uint8_t, RecordHeaderSize>;

namespace rec {
constexpr std::size_t Value4 = 4;           // 16-bit, converted, not used
constexpr std::size_t Value6 = 6;           // 16-bit, converted, not used
constexpr std::size_t Value8 = 8;           // 16-bit, converted, not used
constexpr std::size_t DeviceNumber = 16;    // 32-bit
constexpr std::size_t Year = 20;            // BCD, year within the century
constexpr std::size_t Month = 21;           // BCD
constexpr std::size_t Day = 22;             // BCD
constexpr std::size_t Hour = 23;            // BCD
constexpr std::size_t Minute = 24;          // BCD
constexpr std::size_t Second = 25;          // BCD
constexpr std::size_t SampleRate = 26;      // 16-bit, samples per second
constexpr std::size_t NoiseFinding = 30;
constexpr std::size_t PhysMin = 31;         // 16-bit signed, microvolts
constexpr std::size_t PhysMax = 33;         // 16-bit signed
constexpr std::size_t DigMin = 35;          // 16-bit signed
constexpr std::size_t DigMax = 37;          // 16-bit signed
constexpr std::size_t SampleBytes = 40;     // 32-bit: sample bytes after the header
constexpr std::size_t Setting44 = 44;
constexpr std::size_t Setting45 = 45;
constexpr std::size_t Setting46 = 46;
constexpr std::size_t HeartRate = 47;
constexpr std::size_t Tachycardia = 48;
constexpr std::size_t Bradycardia = 49;
constexpr std::size_t PauseFinding = 50;
constexpr std::size_t PauseThreshold = 51;
constexpr std::size_t RhythmFinding = 52;
constexpr std::size_t WaveformFinding = 53;
constexpr std::size_t SignalQuality = 54;   // bit 0 unstable, bit 4 weak
constexpr std::size_t Setting55 = 55;
constexpr std::size_t TachyFinding = 56;
constexpr std::size_t BradyFinding = 57;
constexpr std::size_t Value58 = 58;         // 32-bit, converted, not used
}  // namespace rec

// Decoded view of the fields the program uses.
struct RecordHeaderFields {
    std::uint32_t deviceNumber = 0;
    std::uint8_t bcdYear = 0, bcdMonth = 0, bcdDay = 0, bcdHour = 0, bcdMinute = 0, bcdSecond = 0;
    std::uint16_t sampleRate = 0;
    std::int16_t physMin = 0, physMax = 0, digMin = 0, digMax = 0;
    std::uint32_t sampleBytes = 0;
};

// Wire form -> stored form: reverses the byte order of the multi-byte fields at 4, 6, 8, 16,
// 26, 31, 33, 35, 37, 40 and 58; every other byte stays as received.
RecordHeaderBytes ConvertRecordHeader(const RecordHeaderBytes& wire);
// Stored form -> wire form (the same swap; used by the recorder's side).
inline RecordHeaderBytes RecordHeaderToWire(const RecordHeaderBytes& stored)
{
    return ConvertRecordHeader(stored);
}

RecordHeaderFields ReadWireHeader(const RecordHeaderBytes& wire);
RecordHeaderFields ReadStoredHeader(const RecordHeaderBytes& stored);
// Writes the fields into a wire header, leaving the other bytes as they are.
void WriteWireHeader(RecordHeaderBytes& wire, const RecordHeaderFields& fields);

// BCD byte of a value 0..99 (0x13 for 13) and its reverse; a nibble above 9 reads as its value.
std::uint8_t ToBcd(int value);
int FromBcd(std::uint8_t bcd);

}  // namespace device::protocol
