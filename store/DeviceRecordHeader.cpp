#include "store/DeviceRecordHeader.h"

#include <algorithm>

DEVICE_RECORD_HEADER DEVICE_RECORD_HEADER::fromBytes(const QByteArray& bytes)
{
    DEVICE_RECORD_HEADER h;
    const auto n = std::min<qsizetype>(bytes.size(), Size);
    std::copy_n(reinterpret_cast<const uint8_t*>(bytes.constData()), n, h.Bytes.begin());
    return h;
}

QByteArray DEVICE_RECORD_HEADER::toBytes() const
{
    return QByteArray(reinterpret_cast<const char*>(Bytes.data()), Size);
}

uint16_t DEVICE_RECORD_HEADER::u16(int offset) const
{
    return static_cast<uint16_t>(Bytes[offset] | (Bytes[offset + 1] << 8));
}

uint32_t DEVICE_RECORD_HEADER::u32(int offset) const
{
    return static_cast<uint32_t>(Bytes[offset]) | (static_cast<uint32_t>(Bytes[offset + 1]) << 8) |
           (static_cast<uint32_t>(Bytes[offset + 2]) << 16) | (static_cast<uint32_t>(Bytes[offset + 3]) << 24);
}

void DEVICE_RECORD_HEADER::setU16(int offset, uint16_t v)
{
    Bytes[offset] = static_cast<uint8_t>(v);
    Bytes[offset + 1] = static_cast<uint8_t>(v >> 8);
}

void DEVICE_RECORD_HEADER::setU32(int offset, uint32_t v)
{
    for (int i = 0; i < 4; ++i) Bytes[offset + i] = static_cast<uint8_t>(v >> (8 * i));
}
