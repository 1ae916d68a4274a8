#include "device/StreamRing.h"
#include "device/protocol/LiveStream.h"
#include <algorithm>
#include <cstring>

namespace device {

std::uint32_t StreamRing::WriteSpan() const
{
    return std::min(MaxBlock, Size - StreamWritePos);
}

void StreamRing::Append(const std::uint8_t* data, std::uint32_t n)
{
    n = std::min(n, WriteSpan());
    std::memcpy(bytes.data() + StreamWritePos, data, n);
    StreamWritePos += n;
    if (StreamWritePos >= Size)
        StreamWritePos = 0;
    written_ += n;
}

std::uint32_t StreamRing::Readable()
{
    const std::uint64_t behind = written_ - read_;
    if (behind > Size) {
        // Lapped: the bytes between the reader and the writer were overwritten. Skip to the newest
        // data, keeping the samples' byte alignment (the stream starts on a sample boundary).
        const std::uint64_t skip = behind - (behind % 2);
        read_ += skip;
        lost_ += skip;
        ++resyncs_;
        StreamReadPos = static_cast<std::uint32_t>(read_ % Size);
    }
    return static_cast<std::uint32_t>(written_ - read_);
}

std::int16_t StreamRing::TakeSample()
{
    if (StreamReadPos > Size - 2)
        StreamReadPos = 0;
    const std::int16_t s = protocol::StreamSample(bytes[StreamReadPos], bytes[StreamReadPos + 1]);
    StreamReadPos += 2;
    if (StreamReadPos >= Size)
        StreamReadPos = 0;
    read_ += 2;
    return s;
}

std::uint32_t StreamRing::TakeSamples(std::vector<std::int16_t>& out)
{
    const std::uint32_t n = ReadableSamples();
    for (std::uint32_t i = 0; i < n; ++i)
        out.push_back(TakeSample());
    return n;
}

void StreamRing::Reset()
{
    StreamWritePos = 0;
    StreamReadPos = 0;
    written_ = 0;
    read_ = 0;
}

}  // namespace device
