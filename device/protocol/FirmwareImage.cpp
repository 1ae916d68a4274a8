#include "device/protocol/FirmwareImage.h"
#include "device/protocol/ByteOrder.h"
#include <algorithm>
#include <stdexcept>

namespace device::protocol {

namespace {

std::uint32_t Mix(std::uint32_t h, std::uint8_t byte)
{
    const std::uint32_t t = ((h >> 8) & 0xFFu) ^ byte;
    return (h + t) * 88645u + 32719u;
}

}  // namespace

std::uint32_t FirmwareChecksum(const std::uint8_t* header, const std::uint8_t* body, std::size_t length)
{
    std::uint32_t h = FirmwareChecksumSeed;
    for (std::size_t i = 0; i < FirmwareChecksumOffset; ++i)
        h = Mix(h, header[i]);
    for (std::size_t i = 0; i < length; ++i)
        h = Mix(h, body[i]);
    return h;
}

ImageFault CheckFirmwareImage(const std::uint8_t* data, std::size_t size, FirmwareImage* out)
{
    if (data == nullptr || size < FirmwareHeaderSize)
        return ImageFault::ShortHeader;
    if (data[0] != FirmwareMagic0 || data[1] != FirmwareMagic1)
        return ImageFault::BadMagic;
    const std::uint16_t length = ReadLe16(data, FirmwareLengthOffset);
    if (length == 0)
        return ImageFault::EmptyBody;
    if (size != FirmwareHeaderSize + length)
        return ImageFault::LengthMismatch;
    const std::uint8_t* body = data + FirmwareHeaderSize;
    if (FirmwareChecksum(data, body, length) != ReadLe32(data, FirmwareChecksumOffset))
        return ImageFault::BadChecksum;
    if (out) {
        std::copy_n(data, FirmwareHeaderSize, out->header.begin());
        out->body.assign(FirmwareBodyCapacity, 0);
        std::copy_n(body, length, out->body.begin());
        out->length = length;
    }
    return ImageFault::None;
}

void SignFirmwareHeader(std::uint8_t* header, const std::uint8_t* body, std::uint16_t length)
{
    header[FirmwareLengthOffset] = static_cast<std::uint8_t>(length);
    header[FirmwareLengthOffset + 1] = static_cast<std::uint8_t>(length >> 8);
    const std::uint32_t h = FirmwareChecksum(header, body, length);
    for (std::size_t i = 0; i < 4; ++i)
        header[FirmwareChecksumOffset + i] = static_cast<std::uint8_t>(h >> (8 * i));
}

std::vector<std::uint8_t> BuildFirmwareImageFile(const std::vector<std::uint8_t>& body)
{
    if (body.size() > FirmwareMaxLength)
        throw std::length_error("firmware body longer than 65535 bytes");
    std::vector<std::uint8_t> file(FirmwareHeaderSize + body.size(), 0);
    file[0] = FirmwareMagic0;
    file[1] = FirmwareMagic1;
    std::copy(body.begin(), body.end(), file.begin() + FirmwareHeaderSize);
    SignFirmwareHeader(file.data(), body.data(), static_cast<std::uint16_t>(body.size()));
    return file;
}

}  // namespace device::protocol
