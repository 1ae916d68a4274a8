#include "device/Link.h"
#include "device/protocol/Commands.h"
#include "device/protocol/DeviceInfoBlock.h"
#include "device/transport/HidUartBridge.h"
#include "sim/recorder/SimulatedRecorder.h"

#include "device/transport/AbsentBridges.h"

#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <map>
#include <vector>

using namespace device;
using namespace device::transport;
using NoXpress = device::transport::AbsentXpress;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A raw HID device that behaves like the bridge chip: it keeps its UART
// configuration and enable state, answers the feature reads, checks the
// framing of every interrupt report and refuses customisation reports.
struct ChipState {
    std::vector<Bytes> featuresSent;
    std::vector<std::uint8_t> featuresRead;
    std::vector<Bytes> reportsWritten;
    std::deque<Bytes> reportsToRead;
    Bytes config = {0x50, 0, 0, 0x25, 0x80, 0, 0, 3, 0};  // 9600 8N1 after power-on
    bool uartEnabled = false;
    std::uint32_t baudRounding = 0;  // the chip stores a slightly different speed
    int failWriteAt = -1;            // index of the interrupt report that fails
    bool readError = false;
    int openCount = 0;
    int closeCount = 0;
};

class FakeChip : public RawHidDevice {
public:
    explicit FakeChip(ChipState& state) : s_(state) { ++s_.openCount; }
    ~FakeChip() override { ++s_.closeCount; }

    int write(const std::uint8_t* report, std::size_t length) override
    {
        EXPECT_GE(length, 2u);
        EXPECT_LE(length, 64u);
        EXPECT_EQ(report[0], length - 1) << "report ID must be the payload length";
        if (static_cast<int>(s_.reportsWritten.size()) == s_.failWriteAt)
            return -1;
        s_.reportsWritten.emplace_back(report, report + length);
        return static_cast<int>(length);
    }
    int readTimeout(std::uint8_t* report, std::size_t capacity, int timeoutMs) override
    {
        EXPECT_GE(timeoutMs, 0);
        if (s_.readError)
            return -1;
        if (s_.reportsToRead.empty())
            return 0;
        Bytes next = s_.reportsToRead.front();
        s_.reportsToRead.pop_front();
        EXPECT_LE(next.size(), capacity);
        std::copy(next.begin(), next.end(), report);
        return static_cast<int>(next.size());
    }
    int sendFeature(const std::uint8_t* report, std::size_t length) override
    {
        const std::uint8_t id = report[0];
        EXPECT_FALSE(id >= 0x60 && id <= 0x66) << "customisation report sent";
        s_.featuresSent.emplace_back(report, report + length);
        if (id == 0x41 && length == 2)
            s_.uartEnabled = report[1] == 1;
        if (id == 0x50 && length == 9) {
            EXPECT_FALSE(s_.uartEnabled) << "configured while the UART runs";
            s_.config.assign(report, report + length);
            s_.config[4] = static_cast<std::uint8_t>(s_.config[4] + s_.baudRounding);
        }
        return static_cast<int>(length);
    }
    int getFeature(std::uint8_t* report, std::size_t length) override
    {
        s_.featuresRead.push_back(report[0]);
        Bytes answer;
        switch (report[0]) {
        case 0x46: answer = {0x46, 0x0A, 0x01}; break;
        case 0x42: answer = {0x42, 0, 0, 0, 0, 0, 0}; break;
        case 0x50: answer = s_.config; break;
        default: return -1;
        }
        if (answer.size() > length)
            return -1;
        std::copy(answer.begin(), answer.end(), report);
        return static_cast<int>(answer.size());
    }

private:
    ChipState& s_;
};

class FakeRawHid : public RawHid {
public:
    std::map<std::string, ChipState> chips;
    std::vector<std::pair<std::uint16_t, std::uint16_t>> enumerated;

    std::vector<RawHidInfo> enumerate(std::uint16_t vendorId, std::uint16_t productId) override
    {
        enumerated.emplace_back(vendorId, productId);
        std::vector<RawHidInfo> list;
        for (const auto& [path, chip] : chips)
            list.push_back({path, "bridge", "0001"});
        return list;
    }
    std::unique_ptr<RawHidDevice> open(const std::string& path) override
    {
        auto it = chips.find(path);
        if (it == chips.end())
            return nullptr;
        return std::make_unique<FakeChip>(it->second);
    }
};

class HidUartBridgeTest : public ::testing::Test {
protected:
    FakeRawHid raw;
    HidUartBridge bridge{raw};
    HidHandle handle = nullptr;

    ChipState& openFirst()
    {
        raw.chips["/dev/hidraw1"];
        std::uint32_t count = 0;
        EXPECT_EQ(bridge.GetNumDevices(&count), 0);
        EXPECT_EQ(bridge.Open(&handle, 0), 0);
        return raw.chips["/dev/hidraw1"];
    }
};

TEST_F(HidUartBridgeTest, EnumeratesBridgeIdAndOpensByIndexWithHandlesNeverReused)
{
    raw.chips["/dev/hidraw1"];
    raw.chips["/dev/hidraw4"];
    std::uint32_t count = 0;
    ASSERT_EQ(bridge.GetNumDevices(&count), 0);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(raw.enumerated.back(), std::make_pair(std::uint16_t{0x10C4}, std::uint16_t{0xEA80}));
    std::string text;
    EXPECT_EQ(bridge.GetString(1, &text), 0);
    EXPECT_NE(text.find("/dev/hidraw4"), std::string::npos);
    EXPECT_NE(bridge.GetString(2, &text), 0);

    EXPECT_EQ(bridge.IsOpened(nullptr), HidUartInvalidHandle);
    EXPECT_EQ(bridge.Close(nullptr), HidUartInvalidHandle);
    HidHandle first = nullptr;
    ASSERT_EQ(bridge.Open(&first, 1), 0);
    EXPECT_EQ(bridge.IsOpened(first), 0);
    EXPECT_EQ(bridge.Close(first), 0);
    EXPECT_EQ(raw.chips["/dev/hidraw4"].closeCount, 1);
    // A stale handle misses, even after another open.
    HidHandle second = nullptr;
    ASSERT_EQ(bridge.Open(&second, 1), 0);
    EXPECT_NE(first, second);
    EXPECT_EQ(bridge.Close(first), HidUartInvalidHandle);
    std::uint32_t written = 0;
    const std::uint8_t byte = 1;
    EXPECT_EQ(bridge.Write(first, &byte, 1, &written), HidUartInvalidHandle);

    HidHandle none = nullptr;
    EXPECT_EQ(bridge.Open(&none, 5), HidUartDeviceNotFound);
    raw.chips.erase("/dev/hidraw1");  // unplugged after the enumeration
    EXPECT_EQ(bridge.Open(&none, 0), HidUartDeviceNotFound);
    EXPECT_EQ(none, nullptr);
}

TEST_F(HidUartBridgeTest, ConfigureSendsDisableConfigPurgeStatusEnableAndReadsBack)
{
    ChipState& chip = openFirst();
    ASSERT_EQ(bridge.SetUartConfig(handle, 921600, 3, 0, 0, 0), 0);
    EXPECT_EQ(chip.featuresSent, (std::vector<Bytes>{{0x41, 0x00},
                                                      {0x50, 0x00, 0x0E, 0x10, 0x00, 0x00, 0x00, 0x03, 0x00},
                                                      {0x43, 0x03},
                                                      {0x41, 0x01}}));
    EXPECT_EQ(chip.featuresRead, (std::vector<std::uint8_t>{0x42}));
    EXPECT_TRUE(chip.uartEnabled);

    std::uint32_t baud = 0;
    std::uint8_t d = 9, p = 9, s = 9, f = 9;
    ASSERT_EQ(bridge.GetUartConfig(handle, &baud, &d, &p, &s, &f), 0);
    EXPECT_EQ(baud, 921600u);
    EXPECT_EQ((Bytes{d, p, s, f}), (Bytes{3, 0, 0, 0}));

    std::uint8_t part = 0, version = 0;
    ASSERT_EQ(bridge.GetPartNumber(handle, &part, &version), 0);
    EXPECT_EQ(part, 0x0A);

    chip.featuresSent.clear();
    const struct {
        std::uint32_t baud;
        std::uint8_t d, p, s, f;
    } bad[] = {{299, 3, 0, 0, 0}, {1000001, 3, 0, 0, 0}, {9600, 4, 0, 0, 0},
               {9600, 3, 5, 0, 0}, {9600, 3, 0, 2, 0}, {9600, 3, 0, 0, 2}};
    for (const auto& c : bad)
        EXPECT_EQ(bridge.SetUartConfig(handle, c.baud, c.d, c.p, c.s, c.f), HidUartInvalidParameter) << c.baud;
    EXPECT_TRUE(chip.featuresSent.empty());
}

TEST_F(HidUartBridgeTest, WritesInReportsOfAtMost63Bytes)
{
    ChipState& chip = openFirst();
    Bytes data(130);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i);
    std::uint32_t written = 0;
    ASSERT_EQ(bridge.Write(handle, data.data(), 130, &written), 0);
    EXPECT_EQ(written, 130u);
    ASSERT_EQ(chip.reportsWritten.size(), 3u);
    EXPECT_EQ(chip.reportsWritten[0].size(), 64u);
    EXPECT_EQ(chip.reportsWritten[1][1], 63);
    EXPECT_EQ(chip.reportsWritten[2], (Bytes{4, 126, 127, 128, 129}));

    chip.reportsWritten.clear();
    chip.failWriteAt = 1;
    EXPECT_EQ(bridge.Write(handle, data.data(), 130, &written), HidUartWriteError);
    EXPECT_EQ(written, 63u);
}

TEST_F(HidUartBridgeTest, ReadsPayloadsKeepsSurplusAndReportsTimeOutAsShortCount)
{
    ChipState& chip = openFirst();
    chip.reportsToRead = {{3, 'a', 'b', 'c'}, {0x42, 9, 9}, {2, 'd', 'e', 0, 0}};
    std::uint8_t buffer[8] = {};
    std::uint32_t got = 0;
    ASSERT_EQ(bridge.Read(handle, buffer, 4, &got), 0);
    EXPECT_EQ(Bytes(buffer, buffer + got), (Bytes{'a', 'b', 'c', 'd'}));
    // The surplus 'e' comes first, then the read times out with a short count and success.
    chip.reportsToRead = {{1, 'f'}};
    ASSERT_EQ(bridge.Read(handle, buffer, 8, &got), 0);
    EXPECT_EQ(Bytes(buffer, buffer + got), (Bytes{'e', 'f'}));

    chip.readError = true;
    EXPECT_EQ(bridge.Read(handle, buffer, 8, &got), HidUartReadError);
}

TEST_F(HidUartBridgeTest, FlushPurgesChosenFifosAndDropsReceivedReports)
{
    ChipState& chip = openFirst();
    const struct {
        bool tx, rx;
        std::vector<Bytes> sent;
    } cases[] = {{true, true, {{0x43, 3}}}, {true, false, {{0x43, 1}}}, {false, true, {{0x43, 2}}}, {false, false, {}}};
    for (const auto& c : cases) {
        chip.featuresSent.clear();
        chip.reportsToRead = {{2, 'x', 'y'}};
        EXPECT_EQ(bridge.FlushBuffers(handle, c.tx, c.rx), 0);
        EXPECT_EQ(chip.featuresSent, c.sent);
        EXPECT_EQ(chip.reportsToRead.empty(), c.rx);
    }
    // Bytes kept from an earlier report are dropped by a receive flush as well.
    chip.reportsToRead = {{2, 'x', 'y'}};
    std::uint8_t byte = 0;
    std::uint32_t got = 0;
    ASSERT_EQ(bridge.Read(handle, &byte, 1, &got), 0);
    bridge.FlushBuffers(handle, true, true);
    ASSERT_EQ(bridge.Read(handle, &byte, 1, &got), 0);
    EXPECT_EQ(got, 0u);
}

TEST_F(HidUartBridgeTest, LinkOverBridgeConfiguresWritesFramesAndReadsAnswers)
{
    ChipState& chip = raw.chips["/dev/hidraw0"];
    NoXpress xpress;
    Link link(bridge, xpress);
    link.ResetForStartup();
    link.ServicePresence();
    ASSERT_EQ(link.state().DevicePresence, DeviceAttached);
    link.SetRateCode(8);
    ASSERT_TRUE(link.OpenLink());
    EXPECT_EQ(link.state().LinkStatus, 0);
    EXPECT_EQ(chip.config[1] << 24 | chip.config[2] << 16 | chip.config[3] << 8 | chip.config[4], 921600);

    Bytes frame(64, 0xC3);
    EXPECT_EQ(link.WriteBlock(frame.data(), 64, 1000), 64u);
    ASSERT_EQ(chip.reportsWritten.size(), 2u);
    EXPECT_EQ(chip.reportsWritten[1], (Bytes{1, 0xC3}));

    chip.reportsToRead = {{63}, {63}, {63}, {63}, {4}};
    for (Bytes& report : chip.reportsToRead)
        report.resize(report[0] + 1u, 0x77);
    Bytes page(256);
    EXPECT_EQ(link.ReadBlock(page.data(), 256, 1000), 256u);
    EXPECT_EQ(page.back(), 0x77);
    EXPECT_EQ(link.ReadBlock(page.data(), 64, 1000), 0u);  // silence: time-out, nothing
}

TEST_F(HidUartBridgeTest, LinkClosesBridgeThatStoresAnotherSpeed)
{
    ChipState& chip = raw.chips["/dev/hidraw0"];
    chip.baudRounding = 1;
    NoXpress xpress;
    Link link(bridge, xpress);
    link.ResetForStartup();
    link.ServicePresence();
    link.SetRateCode(3);
    link.OpenLink();
    EXPECT_EQ(link.state().LinkStatus, ConfigMismatch);
    EXPECT_EQ(chip.closeCount, 1);
    Bytes frame(64, 0);
    EXPECT_EQ(link.WriteBlock(frame.data(), 64, 1000), 0u);
    EXPECT_TRUE(chip.reportsWritten.empty());
}

}  // namespace

namespace {

// The bridge chip with the simulated recorder on its UART: report payloads go to the recorder at
// the chip's configured speed, and its answers come back in reports of up to 63 bytes.
class ChipWithRecorder : public RawHidDevice {
public:
    explicit ChipWithRecorder(sim::SimulatedRecorder& recorder) : recorder_(recorder) {}

    int write(const std::uint8_t* report, std::size_t length) override
    {
        EXPECT_EQ(report[0], length - 1);
        if (enabled_)
            recorder_.HostWrite(report + 1, length - 1, baud_);
        return static_cast<int>(length);
    }
    int readTimeout(std::uint8_t* report, std::size_t capacity, int) override
    {
        const std::size_t n = enabled_ ? recorder_.HostRead(report + 1, std::min<std::size_t>(63, capacity - 1), baud_) : 0;
        report[0] = static_cast<std::uint8_t>(n);
        return n == 0 ? 0 : static_cast<int>(n + 1);
    }
    int sendFeature(const std::uint8_t* report, std::size_t length) override
    {
        if (report[0] == 0x41)
            enabled_ = report[1] == 1;
        if (report[0] == 0x43 && (report[1] & 2))
            recorder_.DiscardOutput();
        if (report[0] == 0x50)
            config_.assign(report, report + length);
        baud_ = std::uint32_t(config_[1]) << 24 | std::uint32_t(config_[2]) << 16 | std::uint32_t(config_[3]) << 8 | config_[4];
        return static_cast<int>(length);
    }
    int getFeature(std::uint8_t* report, std::size_t length) override
    {
        Bytes answer;
        switch (report[0]) {
        case 0x46: answer = {0x46, 0x0A, 0x01}; break;
        case 0x42: answer = {0x42, 0, 0, 0, 0, 0, 0}; break;
        case 0x50: answer = config_; break;
        default: return -1;
        }
        std::copy(answer.begin(), answer.begin() + std::min(answer.size(), length), report);
        return static_cast<int>(std::min(answer.size(), length));
    }

private:
    sim::SimulatedRecorder& recorder_;
    Bytes config_ = {0x50, 0, 0, 0x25, 0x80, 0, 0, 3, 0};
    std::uint32_t baud_ = 9600;
    bool enabled_ = false;
};

class RecorderHid : public RawHid {
public:
    explicit RecorderHid(sim::SimulatedRecorder& recorder) : recorder_(recorder) {}
    std::vector<RawHidInfo> enumerate(std::uint16_t, std::uint16_t) override { return {{"/dev/hidraw9", "", ""}}; }
    std::unique_ptr<RawHidDevice> open(const std::string&) override
    {
        return std::make_unique<ChipWithRecorder>(recorder_);
    }

private:
    sim::SimulatedRecorder& recorder_;
};

TEST(HidUartRecorder, InformationReadThroughTheBridgeProtocol)
{
    using namespace device::protocol;
    sim::SimulatedRecorder recorder(nullptr);
    RecorderHid raw(recorder);
    HidUartBridge bridge(raw);
    NoXpress xpress;
    Link link(bridge, xpress);
    link.ResetForStartup();
    link.ServicePresence();
    ASSERT_EQ(link.state().DevicePresence, DeviceAttached);
    link.SetRateCode(RateCodeNormal);
    ASSERT_TRUE(link.OpenLink());
    ASSERT_EQ(link.state().LinkStatus, 0);

    const Frame wake = WakeBlock();
    EXPECT_EQ(link.WriteBlock(wake.data(), FrameSize, CommandWriteTimeoutMs), FrameSize);
    CommandFrame frame;
    frame.ReadInfo();
    EXPECT_EQ(link.WriteBlock(frame.data(), FrameSize, CommandWriteTimeoutMs), FrameSize);
    std::array<std::uint8_t, InfoBlockSize> block{};
    ASSERT_EQ(link.ReadBlock(block.data(), InfoBlockSize, ReadInfoTimeoutMs), InfoBlockSize);
    ASSERT_TRUE(HasInfoSignature(block.data(), block.size()));
    EXPECT_EQ(ParseDeviceInfo(block.data(), block.size()).deviceId, recorder.info().deviceId);

    // An unread answer is gone after the flush that precedes the next write.
    EXPECT_EQ(link.WriteBlock(frame.data(), FrameSize, CommandWriteTimeoutMs), FrameSize);
    EXPECT_EQ(link.ReadBlock(block.data(), 10, 0), 10u);
    EXPECT_EQ(link.WriteBlock(wake.data(), FrameSize, CommandWriteTimeoutMs), FrameSize);
    EXPECT_EQ(link.ReadBlock(block.data(), InfoBlockSize, 0), 0u);
}

}  // namespace
