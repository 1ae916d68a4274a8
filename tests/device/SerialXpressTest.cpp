#include "device/Link.h"
#include "device/protocol/Commands.h"
#include "device/protocol/DeviceInfoBlock.h"
#include "device/transport/BridgeSet.h"
#include "device/transport/SerialXpress.h"
#include "device/transport/TtySpeed.h"
#include "sim/recorder/PtyRecorderServer.h"
#include "sim/recorder/SimulatedRecorder.h"

#include "device/transport/AbsentBridges.h"

#include <chrono>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <optional>
#include <thread>
#include <vector>

using namespace device;
using namespace device::transport;
using NoHid = device::transport::AbsentHidUart;

namespace {

using Bytes = std::vector<std::uint8_t>;

// The recorder's end of a pseudo-terminal: the transport opens the slave path.
class PtyPeer {
public:
    PtyPeer()
    {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0)
            path_ = ptsname(master_);
    }
    ~PtyPeer() { hangUp(); }
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    const std::string& path() const { return path_; }
    void send(const Bytes& bytes) { ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
    // Everything the transport sent, waiting at most until count bytes have come.
    Bytes receive(std::size_t count)
    {
        Bytes got;
        while (got.size() < count) {
            pollfd waiter {master_, POLLIN, 0};
            if (poll(&waiter, 1, 5000) <= 0)
                break;
            std::uint8_t chunk[512];
            const ssize_t n = ::read(master_, chunk, std::min(sizeof chunk, count - got.size()));
            if (n <= 0)
                break;
            got.insert(got.end(), chunk, chunk + n);
        }
        return got;
    }
    void hangUp()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    std::string path_;
};

Bytes everyByteValue()
{
    Bytes bytes(256);
    for (int i = 0; i < 256; ++i)
        bytes[i] = static_cast<std::uint8_t>(i);
    return bytes;
}

class SerialXpressTest : public ::testing::Test {
protected:
    PtyPeer peer;
    SerialXpress serial{peer.path()};
    XpressApi::Handle handle = -1;

    void SetUp() override
    {
        ASSERT_FALSE(peer.path().empty());
        std::uint32_t count = 0;
        ASSERT_EQ(serial.GetNumDevices(&count), 0);
        ASSERT_EQ(count, 1u);
        ASSERT_EQ(serial.Open(0, &handle), 0);
        serial.SetTimeouts(5000, 5000);
    }
};

TEST(SerialXpressPorts, NamedPortIsPresentWhileItsPathExists)
{
    SerialXpress missing(std::string("/dev/no-such-tty"));
    std::uint32_t count = 7;
    ASSERT_EQ(missing.GetNumDevices(&count), 0);
    EXPECT_EQ(count, 0u);
    std::string text;
    EXPECT_NE(missing.GetProductString(0, &text), 0);
    XpressApi::Handle handle = 0;
    EXPECT_EQ(missing.Open(0, &handle), SerialDeviceNotFound);
    EXPECT_EQ(handle, -1);
    EXPECT_TRUE(IsSerialBridgeId(0x10C4, 0xEA60));
    EXPECT_TRUE(IsSerialBridgeId(0x10C4, 0xEA70));
    EXPECT_FALSE(IsSerialBridgeId(0x10C4, 0xEA80));
}

TEST_F(SerialXpressTest, RawModePassesEveryByteValueBothWays)
{
    const Bytes all = everyByteValue();
    std::uint32_t written = 0;
    ASSERT_EQ(serial.Write(handle, all.data(), 256, &written), 0);
    EXPECT_EQ(written, 256u);
    EXPECT_EQ(peer.receive(256), all);

    peer.send(all);
    Bytes got(256);
    std::uint32_t count = 0;
    ASSERT_EQ(serial.Read(handle, got.data(), 256, &count), 0);
    ASSERT_EQ(count, 256u);
    EXPECT_EQ(got, all);
}

TEST_F(SerialXpressTest, ReadTimesOutWithShortCountAndHangUpIsAnError)
{
    serial.SetTimeouts(20, 0);
    peer.send(Bytes(100, 0x42));
    Bytes got(256);
    std::uint32_t count = 0;
    EXPECT_EQ(serial.Read(handle, got.data(), 256, &count), 0);
    EXPECT_EQ(count, 100u);
    EXPECT_EQ(serial.Read(handle, got.data(), 256, &count), 0);
    EXPECT_EQ(count, 0u);

    peer.hangUp();
    EXPECT_EQ(serial.Read(handle, got.data(), 256, &count), SerialReadError);
}

TEST_F(SerialXpressTest, ReceiveFlushDropsUnreadBytes)
{
    peer.send(Bytes(50, 0x11));
    std::uint8_t first = 0;
    std::uint32_t count = 0;
    ASSERT_EQ(serial.Read(handle, &first, 1, &count), 0);  // the bytes have arrived
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(serial.FlushBuffers(handle, true, true), 0);
    serial.SetTimeouts(20, 0);
    Bytes rest(64);
    ASSERT_EQ(serial.Read(handle, rest.data(), 64, &count), 0);
    EXPECT_EQ(count, 0u);
}

TEST_F(SerialXpressTest, AcceptsEveryLinkSpeedAndRejectsClosedHandles)
{
    for (std::int32_t code = 2; code <= 8; ++code) {
        EXPECT_EQ(serial.SetBaudRate(handle, BaudForRateCode(code)), 0) << code;
        EXPECT_EQ(GetTtySpeed(handle), BaudForRateCode(code));
    }
    EXPECT_EQ(serial.Close(handle), 0);
    std::uint32_t count = 0;
    std::uint8_t byte = 0;
    EXPECT_EQ(serial.Close(handle), SerialInvalidHandle);
    EXPECT_EQ(serial.Write(handle, &byte, 1, &count), SerialInvalidHandle);
    EXPECT_EQ(serial.Read(handle, &byte, 1, &count), SerialInvalidHandle);
    EXPECT_EQ(serial.SetBaudRate(handle, 230400), SerialInvalidHandle);
}

TEST(SerialLink, LinkOverPseudoTerminalWritesFramesAndReadsWithPartialCounts)
{
    PtyPeer peer;
    SerialXpress serial(peer.path());
    NoHid hid;
    Link link(hid, serial);
    link.ResetForStartup();
    link.ServicePresence();
    ASSERT_EQ(link.state().DevicePresence, DeviceAttached);
    ASSERT_EQ(link.state().LinkTransport, UsbXpress);
    link.SetRateCode(5);
    ASSERT_TRUE(link.OpenLink());
    EXPECT_EQ(link.state().baudRate, 576000u);

    Bytes frame(64, 0);
    frame[0] = 0x5A;
    frame[63] = 0x0D;
    EXPECT_EQ(link.WriteBlock(frame.data(), 64, 1000), 64u);
    EXPECT_EQ(peer.receive(64), frame);

    const Bytes page = everyByteValue();
    peer.send(Bytes(page.begin(), page.begin() + 100));
    peer.send(Bytes(page.begin() + 100, page.end()));
    Bytes got(256);
    EXPECT_EQ(link.ReadBlock(got.data(), 256, 1000), 256u);
    EXPECT_EQ(got, page);

    peer.send(Bytes(100, 0x33));
    EXPECT_EQ(link.ReadBlock(got.data(), 256, 20), 100u);

    // The flush before a write drops an answer nobody read.
    peer.send(Bytes(10, 0x44));
    EXPECT_EQ(link.ReadBlock(got.data(), 1, 1000), 1u);
    EXPECT_EQ(link.WriteBlock(frame.data(), 64, 1000), 64u);
    EXPECT_EQ(link.ReadBlock(got.data(), 9, 20), 0u);

    // Unplugged: the next open finds nothing once the path is gone; a hang-up reads nothing.
    peer.hangUp();
    EXPECT_EQ(link.ReadBlock(got.data(), 64, 20), 0u);
}

}  // namespace

namespace {

TEST(BridgeSet, LinkNamesChooseTheDrivers)
{
    PtyPeer peer;
    auto named = device::transport::BridgeSet::Create("serial:" + peer.path());
    ASSERT_TRUE(named);
    std::uint32_t count = 0;
    named->xpress().GetNumDevices(&count);
    EXPECT_EQ(count, 1u);
    named->hid().GetNumDevices(&count);
    EXPECT_EQ(count, 0u);

    for (const char* name : {"", "usb", "hid", "serial"})
        EXPECT_TRUE(device::transport::BridgeSet::Create(name)) << name;
    for (const char* name : {"demo", "serial:", "bogus"})
        EXPECT_FALSE(device::transport::BridgeSet::Create(name)) << name;
}

}  // namespace

namespace {

// The information read and the switch to the fast link, through the kernel's tty layer against the
// simulated recorder, which hears only bytes sent at its own line speed.
TEST(SerialRecorder, InformationReadAndFastLinkThroughPseudoTerminal)
{
    using namespace device::protocol;
    sim::SimulatedRecorder recorder(nullptr);  // no clock: the recorder never falls back on its own
    const std::uint32_t deviceId = recorder.info().deviceId;
    sim::PtyRecorderServer server(recorder);
    std::string error;
    ASSERT_TRUE(server.Open(&error)) << error;
    std::atomic<bool> stop{false};
    std::thread serving([&] { server.Serve(stop); });

    SerialXpress serial(server.path());
    NoHid hid;
    Link link(hid, serial);
    link.ResetForStartup();
    link.ServicePresence();
    ASSERT_EQ(link.state().DevicePresence, DeviceAttached);

    const auto readInfo = [&link]() -> std::optional<DEVICE_INFO_BLOCK> {
        const Frame wake = WakeBlock();
        link.WriteBlock(wake.data(), FrameSize, CommandWriteTimeoutMs);
        // The pause after the wake block: the next write's flush would drop it before the recorder heard it.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        CommandFrame frame;
        frame.ReadInfo();
        if (link.WriteBlock(frame.data(), FrameSize, CommandWriteTimeoutMs) != FrameSize)
            return std::nullopt;
        std::array<std::uint8_t, InfoBlockSize> raw{};
        if (link.ReadBlock(raw.data(), InfoBlockSize, 500) != InfoBlockSize ||
            !HasInfoSignature(raw.data(), raw.size()))
            return std::nullopt;
        return ParseDeviceInfo(raw.data(), raw.size());
    };

    link.SetRateCode(RateCodeNormal);
    ASSERT_TRUE(link.OpenLink());
    auto info = readInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->deviceId, deviceId);

    CommandFrame speed;
    speed.SetLinkSpeed(RateCodeFast);
    EXPECT_EQ(link.WriteBlock(speed.data(), FrameSize, CommandWriteTimeoutMs), FrameSize);
    // The command must reach the recorder before the host's end changes speed; the recorder sends
    // nothing back, so this read only waits.
    std::uint8_t none = 0;
    EXPECT_EQ(link.ReadBlock(&none, 1, 1000), 0u);
    link.SetRateCode(RateCodeFast);
    ASSERT_TRUE(link.OpenLink());
    info = readInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->deviceId, deviceId);

    // Back at the slow speed the recorder hears nothing.
    link.SetRateCode(RateCodeNormal);
    ASSERT_TRUE(link.OpenLink());
    EXPECT_FALSE(readInfo());

    stop = true;
    serving.join();
    EXPECT_EQ(recorder.rateCode(), RateCodeFast);
}

}  // namespace
