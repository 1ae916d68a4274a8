#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// The recorder's 256-byte information block, the answer to ReadInfo.

namespace device::protocol {

constexpr std::size_t InfoBlockSize = 256;

// Valid DC offset range; a recorder reporting a value outside it gets the default written back.
constexpr std::int16_t DcOffsetMin = 1489;
constexpr std::int16_t DcOffsetMax = 2606;
constexpr std::int16_t DcOffsetDefault = 2048;

// Byte offsets in the block (multi-byte fields big-endian on the wire).
namespace info {
constexpr std::size_t Signature = 0;       // "SHR"
constexpr std::size_t FirmwareVersion = 3;  // 16-bit
constexpr std::size_t Unused5 = 5;          // 16-bit
constexpr std::size_t Unused7 = 7;          // 16-bit
constexpr std::size_t BytesStored = 9;      // 32-bit
constexpr std::size_t DeviceId = 19;        // 32-bit
constexpr std::size_t FactorA = 23;         // 16-bit
constexpr std::size_t KeyBeep = 28;
constexpr std::size_t HeartbeatBeep = 29;
constexpr std::size_t FactorB = 30;  // 16-bit
constexpr std::size_t Tachycardia = 38;
constexpr std::size_t Bradycardia = 39;
constexpr std::size_t Pause = 40;
constexpr std::size_t Sensitivity = 41;
constexpr std::size_t ExtraSetting = 42;
constexpr std::size_t DcOffset = 54;  // 16-bit signed
constexpr std::size_t Mid = 56;       // 32-bit
}  // namespace info

// The block as the program keeps it: the bytes received and the fields in host order.
struct DEVICE_INFO_BLOCK {
    std::array<std::uint8_t, InfoBlockSize> raw{};
    bool signed_ = false;  // all 256 bytes arrived and raw starts with "SHR"
    std::uint16_t firmwareVersion = 0;
    std::uint16_t unused5 = 0;
    std::uint16_t unused7 = 0;
    std::uint32_t bytesStored = 0;
    std::uint32_t deviceId = 0;
    std::uint16_t factorA = 0;
    std::uint8_t keyBeep = 0;
    std::uint8_t heartbeatBeep = 0;
    std::uint16_t factorB = 0;
    std::uint8_t tachycardia = 0;
    std::uint8_t bradycardia = 0;
    std::uint8_t pause = 0;
    std::uint8_t sensitivity = 0;
    std::uint8_t extraSetting = 0;
    std::int16_t dcOffset = 0;
    std::uint32_t mid = 0;

    bool operator==(const DEVICE_INFO_BLOCK&) const = default;
};

// True when the bytes start with "SHR"; a block without it counts as no answer. length may be short.
bool HasInfoSignature(const std::uint8_t* bytes, std::size_t length);

// Converts the received bytes (up to 256; missing bytes count as zero) field by field from
// big-endian. The result is signed only when all 256 bytes came and start with "SHR". withDcOffset = false leaves dcOffset at 0, as the download's conversion does.
DEVICE_INFO_BLOCK ParseDeviceInfo(const std::uint8_t* bytes, std::size_t length, bool withDcOffset = true);

// The recorder's side: the 256 wire bytes of a block (signature written when block.signed_).
std::array<std::uint8_t, InfoBlockSize> EncodeDeviceInfo(const DEVICE_INFO_BLOCK& block);

// Recordings stored = bytes stored / (A * B * 2), unsigned; 0 when either factor is 0.
std::uint32_t RecordCount(std::uint32_t bytesStored, std::uint16_t factorA, std::uint16_t factorB);
inline std::uint32_t RecordCount(const DEVICE_INFO_BLOCK& block)
{
    return RecordCount(block.bytesStored, block.factorA, block.factorB);
}

// Version text of a firmware version number: digit 1, ".", digits 2-3, ".", digits 4-5 of its
// five-digit decimal form (12000 gives "1.20.00"); shorter numbers are left-padded with "0".
std::string FirmwareVersionText(std::uint16_t version);

// DC offset outside 1489..2606 on a signed block: the arrival read repairs it.
bool NeedsOffsetRepair(const DEVICE_INFO_BLOCK& block);

}  // namespace device::protocol
