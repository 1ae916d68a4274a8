// The live stream's ring under any interleaving of the recorder's writes and
// the display's reads: every sample taken is the stream's own sample at the
// reader's absolute position (never an overwritten one), and the positions
// stay inside the ring.
#include "device/StreamRing.h"
#include <cstdint>
#include <cstdlib>

namespace {

// Byte b of a stream whose sample k has the value k (high byte first).
std::uint8_t ByteAt(std::uint64_t b)
{
    const auto sample = static_cast<std::uint16_t>(b / 2);
    return b % 2 == 0 ? static_cast<std::uint8_t>(sample >> 8) : static_cast<std::uint8_t>(sample & 0xFF);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    device::StreamRing ring;
    std::uint64_t next = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t op = data[i];
        if (op & 0x80) {
            // The display step: up to op & 0x7F samples (0 = all there are).
            std::uint32_t want = op & 0x7F;
            const std::uint32_t readable = ring.Readable();
            if (readable > device::StreamRing::Size || ring.StreamReadPos % 2 != 0)
                std::abort();
            std::uint32_t n = readable / 2;
            if (want != 0 && want < n)
                n = want;
            for (std::uint32_t k = 0; k < n; ++k) {
                const auto expected = static_cast<std::int16_t>(static_cast<std::uint16_t>(ring.bytesRead() / 2));
                if (ring.TakeSample() != expected)
                    std::abort();
            }
        } else {
            // The device step: one read of up to op + 1 bytes, cut at the ring's end.
            std::uint8_t block[device::StreamRing::MaxBlock];
            const std::uint32_t span = ring.WriteSpan();
            std::uint32_t len = static_cast<std::uint32_t>(op) + 1;
            if (len > span)
                len = span;
            if (span == 0 || ring.StreamWritePos + len > device::StreamRing::Size)
                std::abort();
            for (std::uint32_t k = 0; k < len; ++k)
                block[k] = ByteAt(next++);
            ring.Append(block, len);
        }
    }
    return 0;
}
