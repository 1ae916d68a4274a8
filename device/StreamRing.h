#pragma once
#include <array>
#include <cstdint>
#include <vector>

// The bytes of the live stream between the device step, which appends what
// the recorder sent, and the display step (or any other reader), which takes
// whole samples. Touched only on the user-interface thread.
//
// The positions wrap at 1024. Besides them the ring counts the absolute bytes
// written and read: a reader that falls more than a ring behind is detected
// (the writer has lapped it and its bytes are gone) and moved to the newest
// data, so it never takes overwritten bytes for samples.

namespace device {

class StreamRing {
public:
    static constexpr std::uint32_t Size = 1024;
    // The device step appends at most this many bytes at a time.
    static constexpr std::uint32_t MaxBlock = 64;

    std::array<std::uint8_t, Size> bytes{};
    std::uint32_t StreamWritePos = 0;  // where the next byte goes, 0..1023
    std::uint32_t StreamReadPos = 0;   // where the next sample is read, even, 0..1022
    bool Streaming = false;            // set while the recorder streams

    // Room for the next block: at most MaxBlock, and never past the end of the ring.
    std::uint32_t WriteSpan() const;
    // Appends n <= WriteSpan() bytes at the write position.
    void Append(const std::uint8_t* data, std::uint32_t n);

    // Bytes the reader can take, 0..Size: (write - read) modulo 1024, except that a full ring
    // counts as full. Moves a lapped reader to the newest whole sample first.
    std::uint32_t Readable();
    // Whole samples the reader can take.
    std::uint32_t ReadableSamples() { return Readable() / 2; }
    // The next sample (high byte first). Only when ReadableSamples() > 0.
    std::int16_t TakeSample();
    // Every whole sample there is, appended to out; a trailing odd byte waits. Returns the count.
    std::uint32_t TakeSamples(std::vector<std::int16_t>& out);

    // Positions and counts to 0 (the stream's start and end).
    void Reset();

    std::uint64_t bytesWritten() const { return written_; }
    std::uint64_t bytesRead() const { return read_; }
    // How often a lapped reader was moved on, and the bytes it lost.
    std::uint32_t resyncs() const { return resyncs_; }
    std::uint64_t bytesLost() const { return lost_; }

private:
    std::uint64_t written_ = 0;
    std::uint64_t read_ = 0;
    std::uint32_t resyncs_ = 0;
    std::uint64_t lost_ = 0;
};

}  // namespace device
