#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The settings record and its wire form, the parameters of WriteSettings
// (frame bytes 4 to 22).

namespace device::protocol {

// Frame byte where the settings packet starts, and its length (bytes 4..22).
constexpr std::size_t SettingsPacketOffset = 4;
constexpr std::size_t SettingsPacketSize = 19;

// Values for the next WriteSettings. Thresholds in beats per minute, pause in
// seconds, sensitivity 0 high / 1 middle / 2 low, clock as local calendar values.
struct DeviceSettings {
    std::uint8_t tachycardia = 0;
    std::uint8_t bradycardia = 0;
    std::uint8_t pause = 0;
    std::uint8_t sensitivity = 0;
    // The setting byte without a control in the program (information block offset 42): sent back
    // as the recorder reported it.
    std::uint8_t extraSetting = 0;
    int year = 2000;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    std::string deviceIdText = "00000000";  // 8 upper-case hexadecimal digits
    std::int16_t dcOffset = 0;
    bool keyBeep = false;
    bool heartbeatBeep = false;

    bool operator==(const DeviceSettings&) const = default;
};

// The ID as 8 upper-case hexadecimal digits, left-padded with "0".
std::string DeviceIdText(std::uint32_t id);
// The 32-bit ID of an 8-digit hexadecimal text (either case); nullopt for any other text.
std::optional<std::uint32_t> ParseDeviceIdText(const std::string& text);

// Writes the 19 packet bytes (frame bytes 4..22) to out. The year goes as its low byte plus 48,
// modulo 256 (year - 2000 for 2000..2255); an ID text that is not 8 hex digits goes as zeros.
void EncodeSettingsPacket(const DeviceSettings& settings, std::uint8_t* out);
// The recorder's reading of the 19 packet bytes (year 2000 + byte, ID as text).
DeviceSettings DecodeSettingsPacket(const std::uint8_t* packet);

}  // namespace device::protocol
