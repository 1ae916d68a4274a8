#pragma once
#include <cstdint>

// Big-endian and little-endian field access on raw byte buffers. The recorder
// sends its numbers big-endian; files and the settings packet's DC offset are
// little-endian. The caller guarantees that offset + width lies inside the buffer.

namespace device::protocol {

inline std::uint16_t ReadBe16(const std::uint8_t* p, std::size_t offset)
{
    return static_cast<std::uint16_t>((p[offset] << 8) | p[offset + 1]);
}

inline std::uint32_t ReadBe32(const std::uint8_t* p, std::size_t offset)
{
    return (static_cast<std::uint32_t>(p[offset]) << 24) | (static_cast<std::uint32_t>(p[offset + 1]) << 16) |
           (static_cast<std::uint32_t>(p[offset + 2]) << 8) | static_cast<std::uint32_t>(p[offset + 3]);
}

inline std::uint16_t ReadLe16(const std::uint8_t* p, std::size_t offset)
{
    return static_cast<std::uint16_t>(p[offset] | (p[offset + 1] << 8));
}

inline std::uint32_t ReadLe32(const std::uint8_t* p, std::size_t offset)
{
    return static_cast<std::uint32_t>(p[offset]) | (static_cast<std::uint32_t>(p[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(p[offset + 2]) << 16) | (static_cast<std::uint32_t>(p[offset + 3]) << 24);
}

inline void WriteBe16(std::uint8_t* p, std::size_t offset, std::uint16_t value)
{
    p[offset] = static_cast<std::uint8_t>(value >> 8);
    p[offset + 1] = static_cast<std::uint8_t>(value);
}

inline void WriteBe32(std::uint8_t* p, std::size_t offset, std::uint32_t value)
{
    p[offset] = static_cast<std::uint8_t>(value >> 24);
    p[offset + 1] = static_cast<std::uint8_t>(value >> 16);
    p[offset + 2] = static_cast<std::uint8_t>(value >> 8);
    p[offset + 3] = static_cast<std::uint8_t>(value);
}

// Reverses the bytes of a 16-bit field in place (wire order <-> file order).
inline void Swap16(std::uint8_t* p, std::size_t offset)
{
    const std::uint8_t t = p[offset];
    p[offset] = p[offset + 1];
    p[offset + 1] = t;
}

// Reverses the bytes of a 32-bit field in place.
inline void Swap32(std::uint8_t* p, std::size_t offset)
{
    std::uint8_t t = p[offset];
    p[offset] = p[offset + 3];
    p[offset + 3] = t;
    t = p[offset + 1];
    p[offset + 1] = p[offset + 2];
    p[offset + 2] = t;
}

}  // namespace device::protocol
