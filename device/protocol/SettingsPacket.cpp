#include "device/protocol/SettingsPacket.h"
#include "device/protocol/ByteOrder.h"

namespace device::protocol {

namespace {

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string DeviceIdText(std::uint32_t id)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text(8, '0');
    for (int i = 7; i >= 0; --i) {
        text[static_cast<std::size_t>(i)] = digits[id & 0xF];
        id >>= 4;
    }
    return text;
}

std::optional<std::uint32_t> ParseDeviceIdText(const std::string& text)
{
    if (text.size() != 8)
        return std::nullopt;
    std::uint32_t id = 0;
    for (char c : text) {
        const int v = HexDigitValue(c);
        if (v < 0)
            return std::nullopt;
        id = (id << 4) | static_cast<std::uint32_t>(v);
    }
    return id;
}

void EncodeSettingsPacket(const DeviceSettings& s, std::uint8_t* out)
{
    out[0] = s.tachycardia;
    out[1] = s.bradycardia;
    out[2] = s.pause;
    out[3] = s.sensitivity;
    out[4] = s.extraSetting;
    out[5] = static_cast<std::uint8_t>((s.year & 0xFF) + 48);
    out[6] = static_cast<std::uint8_t>(s.month);
    out[7] = static_cast<std::uint8_t>(s.day);
    out[8] = static_cast<std::uint8_t>(s.hour);
    out[9] = static_cast<std::uint8_t>(s.minute);
    out[10] = static_cast<std::uint8_t>(s.second);
    WriteBe32(out, 11, ParseDeviceIdText(s.deviceIdText).value_or(0));
    // The packet's one 16-bit field goes low byte first.
    const auto offset = static_cast<std::uint16_t>(s.dcOffset);
    out[15] = static_cast<std::uint8_t>(offset & 0xFF);
    out[16] = static_cast<std::uint8_t>(offset >> 8);
    out[17] = s.keyBeep ? 1 : 0;
    out[18] = s.heartbeatBeep ? 1 : 0;
}

DeviceSettings DecodeSettingsPacket(const std::uint8_t* p)
{
    DeviceSettings s;
    s.tachycardia = p[0];
    s.bradycardia = p[1];
    s.pause = p[2];
    s.sensitivity = p[3];
    s.extraSetting = p[4];
    s.year = 2000 + p[5];
    s.month = p[6];
    s.day = p[7];
    s.hour = p[8];
    s.minute = p[9];
    s.second = p[10];
    s.deviceIdText = DeviceIdText(ReadBe32(p, 11));
    s.dcOffset = static_cast<std::int16_t>(ReadLe16(p, 15));
    s.keyBeep = p[17] != 0;
    s.heartbeatBeep = p[18] != 0;
    return s;
}

}  // namespace device::protocol
