#include "device/protocol/DeviceInfoBlock.h"
#include "device/protocol/RecordHeader.h"
#include "device/protocol/RecordingStream.h"
#include <gtest/gtest.h>
#include <numeric>

using namespace device::protocol;

namespace {

std::array<std::uint8_t, 256> SampleInfoBytes()
{
    std::array<std::uint8_t, 256> b{};
    b[0] = 'S';
    b[1] = 'H';
    b[2] = 'R';
    b[3] = 0x01;  // firmware 0x0123
    b[4] = 0x23;
    b[9] = 0x00;  // bytes stored 1,536,000 = 0x00177000
    b[10] = 0x17;
    b[11] = 0x70;
    b[12] = 0x00;
    b[19] = 0x00;  // ID 0012AB34
    b[20] = 0x12;
    b[21] = 0xAB;
    b[22] = 0x34;
    b[23] = 0x00;  // factor A 250
    b[24] = 0xFA;
    b[28] = 1;
    b[29] = 0;
    b[30] = 0x00;  // factor B 30
    b[31] = 0x1E;
    b[38] = 120;
    b[39] = 50;
    b[40] = 3;
    b[41] = 2;
    b[42] = 0x77;
    b[54] = 0x05;  // DC offset 1488
    b[55] = 0xD0;
    b[56] = 0xDE;  // MID DEADBEEF
    b[57] = 0xAD;
    b[58] = 0xBE;
    b[59] = 0xEF;
    return b;
}

TEST(PacketInfoBlock, ConvertsBigEndianFields)
{
    const auto bytes = SampleInfoBytes();
    const DEVICE_INFO_BLOCK b = ParseDeviceInfo(bytes.data(), bytes.size());
    EXPECT_TRUE(b.signed_);
    EXPECT_EQ(b.firmwareVersion, 0x0123);
    EXPECT_EQ(b.bytesStored, 1536000u);
    EXPECT_EQ(b.deviceId, 0x0012AB34u);
    EXPECT_EQ(b.factorA, 250);
    EXPECT_EQ(b.factorB, 30);
    EXPECT_EQ(b.keyBeep, 1);
    EXPECT_EQ(b.heartbeatBeep, 0);
    EXPECT_EQ(b.tachycardia, 120);
    EXPECT_EQ(b.bradycardia, 50);
    EXPECT_EQ(b.pause, 3);
    EXPECT_EQ(b.sensitivity, 2);
    EXPECT_EQ(b.extraSetting, 0x77);
    EXPECT_EQ(b.dcOffset, 1488);
    EXPECT_EQ(b.mid, 0xDEADBEEFu);
    EXPECT_EQ(RecordCount(b), 102u);
    EXPECT_TRUE(NeedsOffsetRepair(b));
    // The download's conversion leaves the DC offset alone.
    EXPECT_EQ(ParseDeviceInfo(bytes.data(), bytes.size(), false).dcOffset, 0);
    // The recorder's side writes the same bytes back.
    EXPECT_EQ(EncodeDeviceInfo(b), bytes);
}

TEST(PacketInfoBlock, BlockWithoutSignatureCountsAsNoAnswer)
{
    auto bytes = SampleInfoBytes();
    bytes[2] = 'X';
    const DEVICE_INFO_BLOCK b = ParseDeviceInfo(bytes.data(), bytes.size());
    EXPECT_FALSE(b.signed_);
    EXPECT_FALSE(NeedsOffsetRepair(b));  // no repair without a signed block
    const std::array<std::uint8_t, 256> zero{};
    EXPECT_FALSE(ParseDeviceInfo(zero.data(), zero.size()).signed_);
    // A short read fills only what came.
    EXPECT_FALSE(ParseDeviceInfo(bytes.data(), 2).signed_);
    EXPECT_EQ(ParseDeviceInfo(SampleInfoBytes().data(), 3).bytesStored, 0u);
}

TEST(PacketInfoBlock, RecordCountAndRepairRange)
{
    EXPECT_EQ(RecordCount(1536000, 250, 30), 102u);
    EXPECT_EQ(RecordCount(1536000, 0, 30), 0u);
    EXPECT_EQ(RecordCount(1536000, 250, 0), 0u);
    EXPECT_EQ(RecordCount(0xFFFFFFFF, 0xFFFF, 0xFFFF), 0u);  // no 32-bit overflow of the divisor
    EXPECT_EQ(RecordCount(15360 * 300, 256, 30), 300u);       // full count; the download cuts it
    DEVICE_INFO_BLOCK b;
    b.signed_ = true;
    for (auto [offset, repair] : {std::pair{1488, true}, {1489, false}, {2048, false}, {2606, false},
                                   {2607, true}, {-5, true}}) {
        b.dcOffset = static_cast<std::int16_t>(offset);
        EXPECT_EQ(NeedsOffsetRepair(b), repair) << offset;
    }
}

TEST(PacketRecordHeader, WireToStoredSwapsOnlyTheListedFields)
{
    RecordHeaderBytes wire{};
    std::iota(wire.begin(), wire.end(), 0);  // every byte distinct
    const RecordHeaderBytes stored = ConvertRecordHeader(wire);
    for (std::size_t off16 : {4u, 6u, 8u, 26u, 31u, 33u, 35u, 37u}) {
        EXPECT_EQ(stored[off16], wire[off16 + 1]) << off16;
        EXPECT_EQ(stored[off16 + 1], wire[off16]) << off16;
    }
    for (std::size_t off32 : {16u, 40u, 58u}) {
        EXPECT_EQ(stored[off32], wire[off32 + 3]) << off32;
        EXPECT_EQ(stored[off32 + 3], wire[off32]) << off32;
    }
    for (std::size_t untouched : {0u, 1u, 2u, 3u, 10u, 20u, 25u, 30u, 39u, 44u, 57u, 62u, 255u})
        EXPECT_EQ(stored[untouched], wire[untouched]) << untouched;
    EXPECT_EQ(RecordHeaderToWire(stored), wire);
}

TEST(PacketRecordHeader, FieldsReadTheSameFromBothForms)
{
    RecordHeaderFields f;
    f.deviceNumber = 0x0012AB34;
    f.bcdYear = 0x13;
    f.bcdMonth = 0x05;
    f.bcdDay = 0x21;
    f.sampleRate = 250;
    f.physMin = -11011;
    f.physMax = 11005;
    f.digMin = -2048;
    f.digMax = 2047;
    f.sampleBytes = 75000;
    RecordHeaderBytes wire{};
    WriteWireHeader(wire, f);
    EXPECT_EQ(wire[26], 0x00);
    EXPECT_EQ(wire[27], 0xFA);
    EXPECT_EQ(wire[40], 0x00);
    EXPECT_EQ(wire[41], 0x01);
    EXPECT_EQ(wire[42], 0x24);
    EXPECT_EQ(wire[43], 0xF8);
    const RecordHeaderFields w = ReadWireHeader(wire);
    const RecordHeaderFields s = ReadStoredHeader(ConvertRecordHeader(wire));
    for (const RecordHeaderFields& r : {w, s}) {
        EXPECT_EQ(r.deviceNumber, f.deviceNumber);
        EXPECT_EQ(r.sampleRate, 250);
        EXPECT_EQ(r.physMin, -11011);
        EXPECT_EQ(r.digMax, 2047);
        EXPECT_EQ(r.sampleBytes, 75000u);
        EXPECT_EQ(FromBcd(r.bcdDay), 21);
    }
    EXPECT_EQ(ToBcd(13), 0x13);
    EXPECT_EQ(ToBcd(2013), 0x13);
}

TEST(PacketStream, ChecksumWrapsModulo65536)
{
    // 70000 = 274 * 255 + 130.
    std::vector<std::uint8_t> bytes(274, 0xFF);
    bytes.push_back(130);
    EXPECT_EQ(StreamChecksum(bytes.data(), bytes.size()), 4464);
    StreamSum running;
    running.Add(bytes.data(), 100);
    running.Add(bytes.data() + 100, bytes.size() - 100);
    EXPECT_EQ(running.value(), 4464);
}

TEST(PacketStream, SeriesAreaOverlapsPagesAndConvertsValues)
{
    std::array<std::vector<std::uint16_t>, RecorderSeries> series;
    for (std::size_t s = 0; s < RecorderSeries; ++s)
        for (std::uint16_t i = 0; i < 60; ++i)
            series[s].push_back(static_cast<std::uint16_t>(s * 1000 + i));
    AnnotationBlock block = BuildAnnotationBlock(series);
    // Something in the uninterpreted tail of page 6 lands in series 7.
    block[6 * 256 + 200] = 0x12;
    block[6 * 256 + 201] = 0x34;
    const SeriesArea area = SeriesAreaFromAnnotation(block);
    auto value = [&](std::size_t s, std::size_t i) {
        return static_cast<std::uint16_t>(area[(s * 100 + i) * 2] | (area[(s * 100 + i) * 2 + 1] << 8));
    };
    EXPECT_EQ(value(0, 0), 0);
    EXPECT_EQ(value(3, 59), 3059);
    EXPECT_EQ(value(3, 60), 0xFFFF);  // empty entry
    EXPECT_EQ(value(6, 99), 0xFFFF);
    EXPECT_EQ(value(7, 0), 0x1234);
    EXPECT_EQ(value(7, 28), 0);  // beyond page 6
}

TEST(PacketStream, BuildAndParseRoundTrip)
{
    RecordHeaderBytes wire{};
    RecordHeaderFields f;
    f.sampleRate = 256;
    WriteWireHeader(wire, f);
    wire[47] = 72;
    const std::vector<std::int16_t> samples = {0, 1, -1, 2047, -2048, 0x1234};
    const AnnotationBlock annotation = BuildAnnotationBlock({});
    const auto stream = BuildRecordingStream(wire, samples, annotation);
    ASSERT_EQ(stream.size(), 256 + 12 + 2816 + 64u);
    ParsedRecording r = ParseRecordingStream(stream.data(), stream.size());
    EXPECT_TRUE(r.error.empty());
    EXPECT_TRUE(r.checksumOk);
    EXPECT_EQ(ReadStoredHeader(r.storedHeader).sampleBytes, 12u);
    EXPECT_EQ(r.storedHeader[47], 72);
    ASSERT_EQ(r.samplesLe.size(), 12u);
    EXPECT_EQ(r.samplesLe[2], 0x01);
    EXPECT_EQ(r.samplesLe[5], 0xFF);  // -1
    EXPECT_EQ(r.samplesLe[10], 0x34);
    EXPECT_EQ(r.samplesLe[11], 0x12);

    const auto corrupt = BuildRecordingStream(wire, samples, annotation, true);
    r = ParseRecordingStream(corrupt.data(), corrupt.size());
    EXPECT_FALSE(r.checksumOk);
    EXPECT_NE(r.computedSum, r.receivedSum);

    r = ParseRecordingStream(stream.data(), 300);
    EXPECT_FALSE(r.checksumOk);
    EXPECT_NE(r.error.find("annotation block"), std::string::npos) << r.error;
}

TEST(PacketInfoBlock, FirmwareVersionText)
{
    struct Case {
        std::uint16_t version;
        const char* text;
    };
    for (Case c : {Case{12000, "1.20.00"}, Case{65535, "6.55.35"}, Case{999, "0.09.99"}, Case{0, "0.00.00"}})
        EXPECT_EQ(FirmwareVersionText(c.version), c.text) << c.version;
}

}  // namespace
