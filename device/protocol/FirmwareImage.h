#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// The firmware image file: a 128-byte header (0x55 0xAA, the body length L
// little-endian in bytes 4-5, the checksum little-endian in bytes 124-127)
// followed by exactly L body bytes, which the firmware job writes into the
// recorder. The remaining header bytes mean nothing here but enter the checksum.

namespace device::protocol {

constexpr std::size_t FirmwareHeaderSize = 128;
constexpr std::size_t FirmwareBodyCapacity = 65536;
constexpr std::size_t FirmwareMaxLength = 65535;
constexpr std::uint8_t FirmwareMagic0 = 0x55;
constexpr std::uint8_t FirmwareMagic1 = 0xAA;
constexpr std::size_t FirmwareLengthOffset = 4;
constexpr std::size_t FirmwareChecksumOffset = 124;
constexpr std::uint32_t FirmwareChecksumSeed = 1196;

struct FirmwareImage {
    std::array<std::uint8_t, FirmwareHeaderSize> header{};
    std::vector<std::uint8_t> body;  // FirmwareBodyCapacity bytes; zero past length
    std::uint16_t length = 0;        // header bytes 4-5, little-endian
};

enum class ImageFault : std::uint8_t { None, ShortHeader, BadMagic, EmptyBody, LengthMismatch, BadChecksum };

// Checks a whole image file's bytes; fills *out only when the result is None.
// An empty body is refused: flashing nothing would leave the recorder without firmware.
ImageFault CheckFirmwareImage(const std::uint8_t* data, std::size_t size, FirmwareImage* out);

// The image checksum (seed 1196; header bytes 0..123 then the body), for checks, the simulator and tests.
std::uint32_t FirmwareChecksum(const std::uint8_t* header, const std::uint8_t* body, std::size_t length);

// A valid image file (header with 0x55 0xAA, length, checksum) around a body; for the stand-in
// services and tests. Throws std::length_error for a body longer than 65535 bytes.
std::vector<std::uint8_t> BuildFirmwareImageFile(const std::vector<std::uint8_t>& body);

// Writes the length and the checksum of header + body into the header (the rest of it is kept).
void SignFirmwareHeader(std::uint8_t* header, const std::uint8_t* body, std::uint16_t length);

}  // namespace device::protocol
