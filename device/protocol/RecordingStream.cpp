#include "device/protocol/RecordingStream.h"
#include "device/protocol/ByteOrder.h"
#include <algorithm>
#include <cstring>

namespace device::protocol {

void StreamSum::Add(const std::uint8_t* bytes, std::size_t length)
{
    std::uint32_t s = sum_;
    for (std::size_t i = 0; i < length; ++i)
        s += bytes[i];
    sum_ = static_cast<std::uint16_t>(s & 0xFFFF);
}

std::uint16_t StreamChecksum(const std::uint8_t* bytes, std::size_t length)
{
    StreamSum sum;
    sum.Add(bytes, length);
    return sum.value();
}

SeriesArea SeriesAreaFromAnnotation(const AnnotationBlock& block)
{
    SeriesArea area{};
    for (std::size_t page = 0; page < RecorderSeries; ++page)
        std::memcpy(area.data() + page * SeriesLength * 2, block.data() + page * AnnotationPageSize,
                    AnnotationPageSize);
    for (std::size_t offset = 0; offset < area.size(); offset += 2)
        Swap16(area.data(), offset);
    return area;
}

AnnotationBlock BuildAnnotationBlock(const std::array<std::vector<std::uint16_t>, RecorderSeries>& series)
{
    AnnotationBlock block{};
    for (std::size_t s = 0; s < RecorderSeries; ++s) {
        for (std::size_t i = 0; i < SeriesLength; ++i) {
            const std::uint16_t v = i < series[s].size() ? series[s][i] : SeriesEmpty;
            WriteBe16(block.data(), s * AnnotationPageSize + i * 2, v);
        }
    }
    return block;
}

void AppendCheckFrame(std::vector<std::uint8_t>& stream, bool corruptChecksum)
{
    std::uint16_t sum = StreamChecksum(stream.data(), stream.size());
    if (corruptChecksum)
        sum = static_cast<std::uint16_t>(sum ^ 0x5A5A);
    std::array<std::uint8_t, CheckFrameSize> check{};
    WriteBe16(check.data(), 0, sum);
    stream.insert(stream.end(), check.begin(), check.end());
}

std::vector<std::uint8_t> BuildRecordingStream(RecordHeaderBytes wireHeader, const std::vector<std::int16_t>& samples,
                                               const AnnotationBlock& annotation, bool corruptChecksum)
{
    WriteBe32(wireHeader.data(), rec::SampleBytes, static_cast<std::uint32_t>(samples.size() * 2));
    std::vector<std::uint8_t> out;
    out.reserve(RecordHeaderSize + samples.size() * 2 + AnnotationBlockSize + CheckFrameSize);
    out.insert(out.end(), wireHeader.begin(), wireHeader.end());
    for (std::int16_t s : samples) {
        const auto u = static_cast<std::uint16_t>(s);
        out.push_back(static_cast<std::uint8_t>(u >> 8));
        out.push_back(static_cast<std::uint8_t>(u & 0xFF));
    }
    out.insert(out.end(), annotation.begin(), annotation.end());
    AppendCheckFrame(out, corruptChecksum);
    return out;
}

ParsedRecording ParseRecordingStream(const std::uint8_t* bytes, std::size_t length)
{
    ParsedRecording r;
    StreamSum sum;
    if (length < RecordHeaderSize) {
        r.error = "record header ends at byte " + std::to_string(length) + " of 256";
        return r;
    }
    RecordHeaderBytes wire{};
    std::memcpy(wire.data(), bytes, RecordHeaderSize);
    sum.Add(wire.data(), wire.size());
    r.storedHeader = ConvertRecordHeader(wire);
    const std::size_t sampleBytes = ReadBe32(bytes, rec::SampleBytes);
    std::size_t pos = RecordHeaderSize;
    if (length - pos < sampleBytes) {
        r.error = "samples end at byte " + std::to_string(length) + ", header promises " +
                  std::to_string(sampleBytes) + " sample bytes from byte 256";
        return r;
    }
    // Samples arrive in pairs; an odd trailing byte is not a sample.
    r.samplesLe.resize(sampleBytes & ~std::size_t{1});
    for (std::size_t i = 0; i + 1 < sampleBytes; i += 2) {
        r.samplesLe[i] = bytes[pos + i + 1];
        r.samplesLe[i + 1] = bytes[pos + i];
    }
    sum.Add(bytes + pos, sampleBytes);
    pos += sampleBytes;
    if (length - pos < AnnotationBlockSize) {
        r.error = "annotation block ends at byte " + std::to_string(length) + ", starts at byte " + std::to_string(pos);
        return r;
    }
    AnnotationBlock annotation{};
    std::memcpy(annotation.data(), bytes + pos, AnnotationBlockSize);
    sum.Add(annotation.data(), annotation.size());
    r.series = SeriesAreaFromAnnotation(annotation);
    pos += AnnotationBlockSize;
    if (length - pos < CheckFrameSize) {
        r.error = "check frame ends at byte " + std::to_string(length) + ", starts at byte " + std::to_string(pos);
        return r;
    }
    r.computedSum = sum.value();
    r.receivedSum = ReadBe16(bytes, pos);
    r.checksumOk = r.computedSum == r.receivedSum;
    return r;
}

}  // namespace device::protocol
