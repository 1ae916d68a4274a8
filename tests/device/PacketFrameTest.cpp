#include "device/protocol/Commands.h"
#include "device/protocol/Exchange.h"
#include "device/protocol/SettingsPacket.h"
#include <gtest/gtest.h>
#include <deque>
#include <vector>

using namespace device::protocol;

namespace {

std::vector<std::uint8_t> Head(const Frame& f, std::size_t n)
{
    return {f.begin(), f.begin() + static_cast<std::ptrdiff_t>(n)};
}

TEST(PacketFrame, CommandHeadsAndParameters)
{
    CommandFrame f;
    f.ReadInfo();
    EXPECT_EQ(Head(f.bytes(), 4), (std::vector<std::uint8_t>{3, 0x20, 0, 'R'}));
    f.EraseRecords();
    EXPECT_EQ(Head(f.bytes(), 4), (std::vector<std::uint8_t>{3, 0x11, 0, 'W'}));
    f.SetLinkSpeed(8);
    EXPECT_EQ(Head(f.bytes(), 5), (std::vector<std::uint8_t>{4, 0x41, 0, 'R', 8}));
    f.RequestRecord(RecordFirst);
    EXPECT_EQ(Head(f.bytes(), 5), (std::vector<std::uint8_t>{4, 0x19, 0, 'R', '8'}));
    f.Firmware(FwVerify);
    EXPECT_EQ(Head(f.bytes(), 5), (std::vector<std::uint8_t>{4, 0xFD, 0, 'W', 5}));
    f.FirmwarePage(127);
    EXPECT_EQ(Head(f.bytes(), 6), (std::vector<std::uint8_t>{5, 0xFD, 0, 'W', 2, 127}));
    std::uint8_t image[32];
    for (int i = 0; i < 32; ++i)
        image[i] = static_cast<std::uint8_t>(0xA0 + i);
    f.FirmwareBlock(15, image);
    EXPECT_EQ(Head(f.bytes(), 6), (std::vector<std::uint8_t>{37, 0xFD, 0, 'W', 4, 15}));
    EXPECT_EQ(f.bytes()[6], 0xA0);
    EXPECT_EQ(f.bytes()[37], 0xBF);
}

TEST(PacketFrame, LeftoversOfEarlierCommandsStay)
{
    CommandFrame f;
    std::uint8_t image[32];
    for (int i = 0; i < 32; ++i)
        image[i] = static_cast<std::uint8_t>(i + 1);
    f.FirmwareBlock(3, image);
    f.ReadInfo();
    // Only the counted bytes change; the block's bytes are still there.
    EXPECT_EQ(f.bytes()[4], 4);
    EXPECT_EQ(f.bytes()[5], 3);
    EXPECT_EQ(f.bytes()[6], 1);
    EXPECT_EQ(f.bytes()[37], 32);
}

TEST(PacketFrame, WakeBlockCountsUp)
{
    const Frame w = WakeBlock();
    for (std::size_t i = 0; i < w.size(); ++i)
        EXPECT_EQ(w[i], i);
}

DeviceSettings SampleSettings()
{
    DeviceSettings s;
    s.tachycardia = 120;
    s.bradycardia = 55;
    s.pause = 3;
    s.sensitivity = 1;
    s.extraSetting = 0x5C;
    s.year = 2013;
    s.month = 5;
    s.day = 21;
    s.hour = 14;
    s.minute = 25;
    s.second = 30;
    s.deviceIdText = "0012AB34";
    s.dcOffset = 2048;
    s.keyBeep = true;
    s.heartbeatBeep = false;
    return s;
}

TEST(PacketFrame, SettingsPacketBytes)
{
    CommandFrame f;
    f.WriteSettings(SampleSettings());
    EXPECT_EQ(Head(f.bytes(), 23), (std::vector<std::uint8_t>{22, 0x21, 0, 'W', 120, 55, 3, 1, 0x5C, 13, 5, 21, 14, 25,
                                                               30, 0x00, 0x12, 0xAB, 0x34, 0x00, 0x08, 1, 0}));
}

TEST(PacketFrame, SettingsYearAndIdEdges)
{
    struct Case {
        int year;
        std::uint8_t wire;
    };
    for (Case c : {Case{2000, 0}, Case{2013, 13}, Case{2099, 99}, Case{2255, 255}}) {
        DeviceSettings s = SampleSettings();
        s.year = c.year;
        std::uint8_t packet[SettingsPacketSize];
        EncodeSettingsPacket(s, packet);
        EXPECT_EQ(packet[5], c.wire) << c.year;
    }
    EXPECT_EQ(ParseDeviceIdText("0012ab34"), 0x0012AB34u);
    EXPECT_EQ(ParseDeviceIdText("12AB34"), std::nullopt);
    EXPECT_EQ(ParseDeviceIdText("0012AB3G"), std::nullopt);
    EXPECT_EQ(DeviceIdText(0xAB), "000000AB");
    EXPECT_EQ(DeviceIdText(0xFEDCBA98), "FEDCBA98");
}

TEST(PacketFrame, SettingsPacketRoundTripsThroughTheRecordersReading)
{
    const DeviceSettings s = SampleSettings();
    std::uint8_t packet[SettingsPacketSize];
    EncodeSettingsPacket(s, packet);
    EXPECT_EQ(DecodeSettingsPacket(packet), s);
}

// A port that plays back scripted answers and records the writes.
class ScriptedPort : public BlockPort {
public:
    std::deque<std::vector<std::uint8_t>> answers;
    std::vector<std::vector<std::uint8_t>> writes;
    std::vector<std::uint32_t> readTimeouts;

    std::uint32_t WriteBlock(const std::uint8_t* b, std::uint32_t n, std::uint32_t) override
    {
        writes.emplace_back(b, b + n);
        return n;
    }
    std::uint32_t ReadBlock(std::uint8_t* b, std::uint32_t n, std::uint32_t timeoutMs) override
    {
        readTimeouts.push_back(timeoutMs);
        if (answers.empty())
            return 0;
        auto a = answers.front();
        answers.pop_front();
        const auto k = std::min<std::size_t>(a.size(), n);
        std::copy_n(a.begin(), k, b);
        return static_cast<std::uint32_t>(k);
    }
};

std::vector<std::uint8_t> Answer(std::uint8_t code, std::size_t length = 64, std::uint8_t flag = 0)
{
    std::vector<std::uint8_t> a(length, 0);
    if (length > 3)
        a[3] = code;
    if (length > 4)
        a[4] = flag;
    return a;
}

TEST(PacketExchange, StaleAnswerThenTheRightOne)
{
    ScriptedPort port;
    port.answers = {Answer(0x11), Answer(0xFD, 64, 1)};
    CommandFrame f;
    f.Firmware(FwVerify);
    Frame answer{};
    EXPECT_EQ(Exchange(port, f.bytes(), answer, FirmwareTimeoutMs), 64u);
    EXPECT_EQ(answer[4], 1);
    EXPECT_EQ(port.writes.size(), 1u);  // written once, read twice
    EXPECT_EQ(port.readTimeouts, (std::vector<std::uint32_t>{500, 500}));
}

TEST(PacketExchange, ShortOrWrongAnswersAreRejectedAfterThreeReads)
{
    ScriptedPort port;
    // Right code but only 63 bytes, then two stale answers.
    port.answers = {Answer(0xFD, 63), Answer(0x20), Answer(0x21), Answer(0xFD)};
    CommandFrame f;
    f.Firmware(FwPresence);
    Frame answer{};
    answer.fill(0xEE);
    EXPECT_EQ(Exchange(port, f.bytes(), answer, 500), 0u);
    EXPECT_EQ(port.readTimeouts.size(), 3u);
    EXPECT_EQ(port.answers.size(), 1u);  // the fourth (right) answer is never read
}

TEST(PacketExchange, CommandAcceptedNeedsWholeEchoedAnswer)
{
    CommandFrame f;
    f.EraseRecords();
    Frame answer{};
    ScriptedPort good;
    good.answers = {Answer(0x11)};
    EXPECT_TRUE(CommandAccepted(good, f.bytes(), answer));
    ScriptedPort shortAnswer;
    shortAnswer.answers = {Answer(0x11, 10)};
    EXPECT_FALSE(CommandAccepted(shortAnswer, f.bytes(), answer));
    ScriptedPort silent;
    EXPECT_FALSE(CommandAccepted(silent, f.bytes(), answer));
}

}  // namespace
