#pragma once
#include "device/protocol/RecordHeader.h"
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The byte stream of one recording, in order: the 256-byte record header, the
// samples (16-bit big-endian, as many bytes as the header says), the 2816-byte
// annotation block (11 pages of 256 bytes) and a 64-byte check frame whose
// bytes 0-1 hold the big-endian sum, modulo 65536, of every byte before it.

namespace device::protocol {

constexpr std::size_t AnnotationPageSize = 256;
constexpr std::size_t AnnotationPages = 11;
constexpr std::size_t AnnotationBlockSize = AnnotationPageSize * AnnotationPages;  // 2816
constexpr std::size_t RecorderSeries = 7;  // R-to-R, positive peak, negative peak, peak, area, time, iso
constexpr std::size_t SeriesCount = 8;
constexpr std::size_t SeriesLength = 100;
constexpr std::size_t SeriesAreaSize = SeriesCount * SeriesLength * 2;  // 1600
constexpr std::size_t CheckFrameSize = 64;
constexpr std::uint16_t SeriesEmpty = 0xFFFF;

using AnnotationBlock = std::array<std::uint8_t, AnnotationBlockSize>;
using SeriesArea = std::array<std::uint8_t, SeriesAreaSize>;

// The 16-bit running sum of the check frame: every byte as unsigned 8-bit, modulo 65536.
class StreamSum {
public:
    void Add(const std::uint8_t* bytes, std::size_t length);
    std::uint16_t value() const { return sum_; }

private:
    std::uint16_t sum_ = 0;
};
std::uint16_t StreamChecksum(const std::uint8_t* bytes, std::size_t length);

// The eight beat series as the recording file keeps them (little-endian): annotation pages 0..6
// copied whole to offsets 0, 200, ..., 1200, each overwriting the last 56 bytes of the one before,
// then every 16-bit value converted from big-endian.
SeriesArea SeriesAreaFromAnnotation(const AnnotationBlock& block);

// The recorder's side: annotation block with the seven series (first 200 bytes of pages 0..6,
// big-endian), the rest zero. Entries past a series' length are 0xFFFF.
AnnotationBlock BuildAnnotationBlock(const std::array<std::vector<std::uint16_t>, RecorderSeries>& series);

// Appends the check frame (the sum of everything before it); corruptChecksum makes the sum wrong.
void AppendCheckFrame(std::vector<std::uint8_t>& stream, bool corruptChecksum = false);

// The recorder's side: the whole stream for one recording. The header's sample-byte field is
// set from samples; corruptChecksum sends a check frame whose sum does not match.
std::vector<std::uint8_t> BuildRecordingStream(RecordHeaderBytes wireHeader, const std::vector<std::int16_t>& samples,
                                               const AnnotationBlock& annotation, bool corruptChecksum = false);

// A received stream split into its parts. error names the part and byte offset where the bytes ran
// out; empty when the whole stream was there.
struct ParsedRecording {
    RecordHeaderBytes storedHeader{};         // converted to the stored form
    std::vector<std::uint8_t> samplesLe;      // little-endian sample bytes
    SeriesArea series{};
    std::uint16_t computedSum = 0;
    std::uint16_t receivedSum = 0;
    bool checksumOk = false;
    std::string error;
};
ParsedRecording ParseRecordingStream(const std::uint8_t* bytes, std::size_t length);

}  // namespace device::protocol
