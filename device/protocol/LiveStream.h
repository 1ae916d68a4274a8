#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// The recorder's live stream as bytes. After the start frame (code 21) is
// answered with a 64-byte frame echoing 21 in byte 3, the recorder sends its
// signal without any framing: 16-bit samples, high byte first, 256 per second,
// in recorder units (the same units as a recording's samples, baseline near
// 2048). The stop frame (code 22) ends it; it has no answer, and samples
// already on the line may still arrive after it.

namespace device::protocol {

constexpr int StreamSampleRate = 256;
constexpr std::size_t StreamSampleBytes = 2;
// After the stop frame: the line counts as drained once it stays quiet this long, ms, and the
// drain gives up after StreamDrainLimitMs whatever comes.
constexpr std::uint32_t StreamQuietMs = 60;
constexpr std::uint32_t StreamDrainLimitMs = 1000;

// The sample whose high byte is hi and low byte lo, signed.
inline std::int16_t StreamSample(std::uint8_t hi, std::uint8_t lo)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>((hi << 8) | lo));
}

// Appends the wire bytes of samples to out.
void AppendStreamSamples(const std::int16_t* samples, std::size_t count, std::vector<std::uint8_t>& out);

}  // namespace device::protocol
