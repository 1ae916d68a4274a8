// Fuzz target: everything that reads bytes coming from the recorder (the
// information block, the recording stream, answers through Exchange) and the
// simulated recorder's reading of host frames.
#include "device/protocol/DeviceInfoBlock.h"
#include "device/protocol/Exchange.h"
#include "device/protocol/RecordHeader.h"
#include "device/protocol/RecordingStream.h"
#include "device/protocol/SettingsPacket.h"
#include "sim/recorder/SimulatedRecorder.h"
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

using namespace device::protocol;

// Plays the input back as the recorder's answers.
class ReplayPort : public BlockPort {
public:
    ReplayPort(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint32_t WriteBlock(const std::uint8_t*, std::uint32_t length, std::uint32_t) override { return length; }
    std::uint32_t ReadBlock(std::uint8_t* buffer, std::uint32_t length, std::uint32_t) override
    {
        const std::size_t n = std::min<std::size_t>(length, size_ - pos_);
        std::memcpy(buffer, data_ + pos_, n);
        pos_ += n;
        return static_cast<std::uint32_t>(n);
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const DEVICE_INFO_BLOCK info = ParseDeviceInfo(data, size);
    volatile std::uint32_t sink = RecordCount(info) + (NeedsOffsetRepair(info) ? 1u : 0u);
    (void)sink;
    const auto reencoded = EncodeDeviceInfo(info);
    if (size >= InfoBlockSize && info.signed_ && !std::equal(reencoded.begin(), reencoded.end(), data))
        __builtin_trap();  // parsing and writing a signed block must round-trip

    const ParsedRecording stream = ParseRecordingStream(data, size);
    if (stream.error.empty() && stream.checksumOk != (stream.computedSum == stream.receivedSum))
        __builtin_trap();

    if (size >= RecordHeaderSize) {
        RecordHeaderBytes h{};
        std::memcpy(h.data(), data, RecordHeaderSize);
        if (RecordHeaderToWire(ConvertRecordHeader(h)) != h)
            __builtin_trap();
        (void)ReadWireHeader(h);
    }
    AnnotationBlock annotation{};
    std::memcpy(annotation.data(), data, std::min(size, annotation.size()));
    (void)SeriesAreaFromAnnotation(annotation);
    if (size >= SettingsPacketSize)
        (void)DecodeSettingsPacket(data);

    ReplayPort port(data, size);
    CommandFrame frame;
    frame.Firmware(FwVerify);
    Frame answer{};
    (void)Exchange(port, frame.bytes(), answer, FirmwareTimeoutMs);

    // The simulated recorder fed arbitrary host bytes must neither crash nor grow without bound.
    sim::SimulatedRecorder recorder(nullptr);
    recorder.recordings().resize(2);  // empty recordings: header, annotation block and check frame only
    recorder.HostWrite(data, size, 0);
    std::uint8_t out[512];
    while (recorder.HostRead(out, sizeof out, 0) != 0) {
    }
    return 0;
}
