#include "device/protocol/RecordHeader.h"
#include "device/protocol/ByteOrder.h"

namespace device::protocol {

namespace {

constexpr std::size_t Fields16[] = {rec::Value4, rec::Value6, rec::Value8, rec::SampleRate, rec::PhysMin,
                                    rec::PhysMax, rec::DigMin, rec::DigMax};
constexpr std::size_t Fields32[] = {rec::DeviceNumber, rec::SampleBytes, rec::Value58};

RecordHeaderFields ReadCommon(const RecordHeaderBytes& h)
{
    RecordHeaderFields f;
    f.bcdYear = h[rec::Year];
    f.bcdMonth = h[rec::Month];
    f.bcdDay = h[rec::Day];
    f.bcdHour = h[rec::Hour];
    f.bcdMinute = h[rec::Minute];
    f.bcdSecond = h[rec::Second];
    return f;
}

}  // namespace

RecordHeaderBytes ConvertRecordHeader(const RecordHeaderBytes& wire)
{
    RecordHeaderBytes out = wire;
    for (std::size_t offset : Fields16)
        Swap16(out.data(), offset);
    for (std::size_t offset : Fields32)
        Swap32(out.data(), offset);
    return out;
}

RecordHeaderFields ReadWireHeader(const RecordHeaderBytes& h)
{
    RecordHeaderFields f = ReadCommon(h);
    const std::uint8_t* p = h.data();
    f.deviceNumber = ReadBe32(p, rec::DeviceNumber);
    f.sampleRate = ReadBe16(p, rec::SampleRate);
    f.physMin = static_cast<std::int16_t>(ReadBe16(p, rec::PhysMin));
    f.physMax = static_cast<std::int16_t>(ReadBe16(p, rec::PhysMax));
    f.digMin = static_cast<std::int16_t>(ReadBe16(p, rec::DigMin));
    f.digMax = static_cast<std::int16_t>(ReadBe16(p, rec::DigMax));
    f.sampleBytes = ReadBe32(p, rec::SampleBytes);
    return f;
}

RecordHeaderFields ReadStoredHeader(const RecordHeaderBytes& h)
{
    // The stored form differs from the wire form only by the swapped byte order.
    return ReadWireHeader(RecordHeaderToWire(h));
}

void WriteWireHeader(RecordHeaderBytes& h, const RecordHeaderFields& f)
{
    std::uint8_t* p = h.data();
    WriteBe32(p, rec::DeviceNumber, f.deviceNumber);
    h[rec::Year] = f.bcdYear;
    h[rec::Month] = f.bcdMonth;
    h[rec::Day] = f.bcdDay;
    h[rec::Hour] = f.bcdHour;
    h[rec::Minute] = f.bcdMinute;
    h[rec::Second] = f.bcdSecond;
    WriteBe16(p, rec::SampleRate, f.sampleRate);
    WriteBe16(p, rec::PhysMin, static_cast<std::uint16_t>(f.physMin));
    WriteBe16(p, rec::PhysMax, static_cast<std::uint16_t>(f.physMax));
    WriteBe16(p, rec::DigMin, static_cast<std::uint16_t>(f.digMin));
    WriteBe16(p, rec::DigMax, static_cast<std::uint16_t>(f.digMax));
    WriteBe32(p, rec::SampleBytes, f.sampleBytes);
}

std::uint8_t ToBcd(int value)
{
    value %= 100;
    if (value < 0)
        value += 100;
    return static_cast<std::uint8_t>(((value / 10) << 4) | (value % 10));
}

int FromBcd(std::uint8_t bcd)
{
    return (bcd >> 4) * 10 + (bcd & 0x0F);
}

}  // namespace device::protocol
