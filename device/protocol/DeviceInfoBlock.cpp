#include "device/protocol/DeviceInfoBlock.h"
#include "device/protocol/ByteOrder.h"
#include <algorithm>

namespace device::protocol {

bool HasInfoSignature(const std::uint8_t* bytes, std::size_t length)
{
    return length >= 3 && bytes[0] == 'S' && bytes[1] == 'H' && bytes[2] == 'R';
}

DEVICE_INFO_BLOCK ParseDeviceInfo(const std::uint8_t* bytes, std::size_t length, bool withDcOffset)
{
    DEVICE_INFO_BLOCK b;
    std::copy_n(bytes, std::min(length, InfoBlockSize), b.raw.begin());
    const std::uint8_t* r = b.raw.data();
    // A block cut short would read its missing bytes as zeros (ID 00000000, offset 0, pause 0) and
    // could set off the offset repair, which writes them into the recorder: only a whole block counts.
    b.signed_ = length >= InfoBlockSize && HasInfoSignature(r, InfoBlockSize);
    b.firmwareVersion = ReadBe16(r, info::FirmwareVersion);
    b.unused5 = ReadBe16(r, info::Unused5);
    b.unused7 = ReadBe16(r, info::Unused7);
    b.bytesStored = ReadBe32(r, info::BytesStored);
    b.deviceId = ReadBe32(r, info::DeviceId);
    b.factorA = ReadBe16(r, info::FactorA);
    b.keyBeep = r[info::KeyBeep];
    b.heartbeatBeep = r[info::HeartbeatBeep];
    b.factorB = ReadBe16(r, info::FactorB);
    b.tachycardia = r[info::Tachycardia];
    b.bradycardia = r[info::Bradycardia];
    b.pause = r[info::Pause];
    b.sensitivity = r[info::Sensitivity];
    b.extraSetting = r[info::ExtraSetting];
    if (withDcOffset)
        b.dcOffset = static_cast<std::int16_t>(ReadBe16(r, info::DcOffset));
    b.mid = ReadBe32(r, info::Mid);
    return b;
}

std::array<std::uint8_t, InfoBlockSize> EncodeDeviceInfo(const DEVICE_INFO_BLOCK& b)
{
    std::array<std::uint8_t, InfoBlockSize> out = b.raw;
    std::uint8_t* w = out.data();
    if (b.signed_) {
        w[0] = 'S';
        w[1] = 'H';
        w[2] = 'R';
    }
    WriteBe16(w, info::FirmwareVersion, b.firmwareVersion);
    WriteBe16(w, info::Unused5, b.unused5);
    WriteBe16(w, info::Unused7, b.unused7);
    WriteBe32(w, info::BytesStored, b.bytesStored);
    WriteBe32(w, info::DeviceId, b.deviceId);
    WriteBe16(w, info::FactorA, b.factorA);
    w[info::KeyBeep] = b.keyBeep;
    w[info::HeartbeatBeep] = b.heartbeatBeep;
    WriteBe16(w, info::FactorB, b.factorB);
    w[info::Tachycardia] = b.tachycardia;
    w[info::Bradycardia] = b.bradycardia;
    w[info::Pause] = b.pause;
    w[info::Sensitivity] = b.sensitivity;
    w[info::ExtraSetting] = b.extraSetting;
    WriteBe16(w, info::DcOffset, static_cast<std::uint16_t>(b.dcOffset));
    WriteBe32(w, info::Mid, b.mid);
    return out;
}

std::uint32_t RecordCount(std::uint32_t bytesStored, std::uint16_t factorA, std::uint16_t factorB)
{
    if (factorA == 0 || factorB == 0)
        return 0;
    const std::uint64_t perRecord = static_cast<std::uint64_t>(factorA) * factorB * 2u;
    return static_cast<std::uint32_t>(bytesStored / perRecord);
}

std::string FirmwareVersionText(std::uint16_t version)
{
    std::string digits = std::to_string(version);
    digits.insert(0, 5 - digits.size(), '0');
    return digits.substr(0, 1) + '.' + digits.substr(1, 2) + '.' + digits.substr(3, 2);
}

bool NeedsOffsetRepair(const DEVICE_INFO_BLOCK& block)
{
    return block.signed_ && (block.dcOffset > DcOffsetMax || block.dcOffset < DcOffsetMin);
}

}  // namespace device::protocol
