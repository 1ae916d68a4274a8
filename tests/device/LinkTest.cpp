#include "device/Link.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

using namespace device;

namespace {

struct ReadStep {
    int status;
    std::uint32_t bytes;
};

// Records every driver call as text, so tests can check order and arguments.
class FakeHid : public HidUartApi {
public:
    int numStatus = 0;
    std::vector<bool> usable;  // GetString succeeds for these indices
    int openStatus = 0;
    int configStatus = 0;
    std::uint32_t readBackBaudOffset = 0;  // non-zero: the bridge reports another speed
    std::deque<ReadStep> reads;
    int writeStatus = 0;
    std::vector<std::string> log;
    HidHandle open_ = nullptr;
    std::uint32_t baud_ = 0;
    std::uint8_t frame_[4] = {};
    int handleStore_ = 0;

    int GetNumDevices(std::uint32_t* count) override
    {
        *count = static_cast<std::uint32_t>(usable.size());
        return numStatus;
    }
    int GetString(std::uint32_t index, std::string* text) override
    {
        *text = "bridge";
        return usable.at(index) ? 0 : 1;
    }
    int IsOpened(HidHandle handle) override { return handle != nullptr && handle == open_ ? 0 : 1; }
    int Open(HidHandle* handle, std::uint32_t index) override
    {
        log.push_back("open " + std::to_string(index));
        if (openStatus != 0)
            return openStatus;
        open_ = &handleStore_;
        *handle = open_;
        return 0;
    }
    int Close(HidHandle handle) override
    {
        log.push_back(handle == nullptr ? "close null" : "close");
        if (handle == nullptr || handle != open_)
            return HidInvalidHandle;
        open_ = nullptr;
        return 0;
    }
    int FlushBuffers(HidHandle, bool tx, bool rx) override
    {
        log.push_back("flush " + std::to_string(tx) + std::to_string(rx));
        return 0;
    }
    int GetPartNumber(HidHandle, std::uint8_t* part, std::uint8_t* version) override
    {
        *part = 0x0A;
        *version = 1;
        log.push_back("part");
        return 0;
    }
    int SetUartConfig(HidHandle, std::uint32_t baud, std::uint8_t d, std::uint8_t p, std::uint8_t s,
                      std::uint8_t f) override
    {
        log.push_back("config " + std::to_string(baud) + " " + std::to_string(d) + std::to_string(p) +
                      std::to_string(s) + std::to_string(f));
        baud_ = baud;
        frame_[0] = d, frame_[1] = p, frame_[2] = s, frame_[3] = f;
        return configStatus;
    }
    int GetUartConfig(HidHandle, std::uint32_t* baud, std::uint8_t* d, std::uint8_t* p, std::uint8_t* s,
                      std::uint8_t* f) override
    {
        *baud = baud_ + readBackBaudOffset;
        *d = frame_[0], *p = frame_[1], *s = frame_[2], *f = frame_[3];
        return 0;
    }
    int SetTimeouts(HidHandle, std::uint32_t r, std::uint32_t w) override
    {
        log.push_back("timeouts " + std::to_string(r) + " " + std::to_string(w));
        return 0;
    }
    int Read(HidHandle, std::uint8_t* buffer, std::uint32_t count, std::uint32_t* got) override
    {
        log.push_back("read " + std::to_string(count));
        if (reads.empty()) {
            *got = 0;
            return 0;
        }
        const ReadStep step = reads.front();
        reads.pop_front();
        *got = std::min(step.bytes, count);
        for (std::uint32_t i = 0; i < *got; ++i)
            buffer[i] = 0x5A;
        return step.status;
    }
    int Write(HidHandle, const std::uint8_t*, std::uint32_t count, std::uint32_t* written) override
    {
        log.push_back("write " + std::to_string(count));
        *written = writeStatus == 0 ? count : 0;
        return writeStatus;
    }
};

class FakeXpress : public XpressApi {
public:
    int numStatus = 0;
    std::vector<bool> usable;
    int openStatus = 0;
    std::deque<ReadStep> reads;
    std::vector<std::string> log;
    Handle nextHandle = 7;

    int GetNumDevices(std::uint32_t* count) override
    {
        *count = static_cast<std::uint32_t>(usable.size());
        return numStatus;
    }
    int GetProductString(std::uint32_t index, std::string* text) override
    {
        *text = "bridge";
        return usable.at(index) ? 0 : 1;
    }
    int Open(std::uint32_t index, Handle* handle) override
    {
        log.push_back("open " + std::to_string(index));
        if (openStatus != 0)
            return openStatus;
        *handle = nextHandle++;
        return 0;
    }
    int SetBaudRate(Handle handle, std::uint32_t baud) override
    {
        log.push_back("baud " + std::to_string(handle) + " " + std::to_string(baud));
        return 0;
    }
    int Close(Handle handle) override
    {
        log.push_back("close " + std::to_string(handle));
        return 0;
    }
    int FlushBuffers(Handle, bool tx, bool rx) override
    {
        log.push_back("flush " + std::to_string(tx) + std::to_string(rx));
        return 0;
    }
    int SetTimeouts(std::uint32_t r, std::uint32_t w) override
    {
        log.push_back("timeouts " + std::to_string(r) + " " + std::to_string(w));
        return 0;
    }
    int Write(Handle, const std::uint8_t*, std::uint32_t count, std::uint32_t* written) override
    {
        log.push_back("write " + std::to_string(count));
        *written = count;
        return 0;
    }
    int Read(Handle, std::uint8_t* buffer, std::uint32_t count, std::uint32_t* got) override
    {
        if (reads.empty()) {
            *got = 0;
            return 0;
        }
        const ReadStep step = reads.front();
        reads.pop_front();
        *got = std::min(step.bytes, count);
        for (std::uint32_t i = 0; i < *got; ++i)
            buffer[i] = 0xA5;
        return step.status;
    }
};

class LinkTest : public ::testing::Test {
protected:
    FakeHid hid;
    FakeXpress xpress;
    Link link{hid, xpress};

    void startWith(std::vector<bool> hidDevices, std::vector<bool> xpressDevices)
    {
        hid.usable = std::move(hidDevices);
        xpress.usable = std::move(xpressDevices);
        link.ResetForStartup();
        link.ServicePresence();
    }
};

TEST(LinkRate, RateCodeTable)
{
    const struct {
        std::int32_t code;
        std::uint32_t baud;
    } cases[] = {{1, 0}, {2, 230400}, {3, 345600}, {4, 460800}, {5, 576000},
                 {6, 691200}, {7, 806400}, {8, 921600}, {9, 0}, {-1, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(BaudForRateCode(c.code), c.baud) << "code " << c.code;
}

TEST_F(LinkTest, RateCodeOutsideRangeKeepsPreviousBaudOnBothTransports)
{
    startWith({true}, {});
    link.SetRateCode(8);
    EXPECT_TRUE(link.OpenLink());
    EXPECT_EQ(link.state().baudRate, 921600u);
    link.SetRateCode(9);
    EXPECT_TRUE(link.OpenLink());
    EXPECT_EQ(link.state().baudRate, 921600u);
    EXPECT_EQ(hid.log.back(), "timeouts 1000 1000");
    EXPECT_EQ(link.state().LinkStatus, 0);
    EXPECT_EQ(std::count(hid.log.begin(), hid.log.end(), "config 921600 3000"), 2);

    link.state().LinkTransport = UsbXpress;
    xpress.usable = {true};
    link.SetRateCode(3);
    ASSERT_TRUE(link.OpenLink());
    EXPECT_EQ(xpress.log.back(), "baud 7 345600");
    link.SetRateCode(0);
    ASSERT_TRUE(link.OpenLink());
    EXPECT_EQ(xpress.log.back(), "baud 8 345600");
}

TEST_F(LinkTest, StartupProbeFindsPresentRecorderWithoutEvent)
{
    startWith({false, true, true}, {});
    const LinkState& s = link.state();
    EXPECT_EQ(s.DevicePresence, DeviceAttached);
    EXPECT_EQ(s.LinkTransport, HidBridge);
    EXPECT_NE(s.hidHandle, nullptr);
    EXPECT_EQ(s.LinkStatus, 0);
    EXPECT_EQ(s.ProbeAtStart, 0);
    EXPECT_EQ(s.PresenceEventPending, 0);
    EXPECT_EQ(s.arrivalStage, 1);
    // The handle is closed first; only the first usable index is opened.
    EXPECT_EQ(hid.log, (std::vector<std::string>{"close null", "open 1"}));
}

// A bridge that is there but not ours to open is told apart from one that is missing, on both
// families, until the recorder goes away.
TEST_F(LinkTest, BridgeRefusedForLackOfPermissionIsReported)
{
    hid.openStatus = BridgeAccessDenied;
    startWith({true}, {});
    EXPECT_TRUE(link.state().accessDenied);
    EXPECT_EQ(link.state().DevicePresence, DeviceDetached);
    link.DeviceRemoved();
    link.ServicePresence();
    EXPECT_FALSE(link.state().accessDenied);

    hid.openStatus = 0;
    xpress.openStatus = BridgeAccessDenied;
    startWith({}, {true});
    EXPECT_EQ(link.state().DevicePresence, DeviceAttached);
    EXPECT_FALSE(link.OpenLink());
    EXPECT_TRUE(link.state().accessDenied);
    xpress.openStatus = 0;
    EXPECT_TRUE(link.OpenLink());
    EXPECT_FALSE(link.state().accessDenied);
}

TEST_F(LinkTest, NoRecorderAtStartStaysDetachedAndTransfersFailAtOnce)
{
    startWith({}, {});
    EXPECT_EQ(link.state().DevicePresence, DeviceDetached);
    EXPECT_EQ(link.state().LinkStatus, HidInvalidHandle);
    hid.log.clear();
    link.SetRateCode(2);
    EXPECT_TRUE(link.OpenLink());  // the HID path reports success regardless
    std::uint8_t frame[64] = {};
    EXPECT_EQ(link.WriteBlock(frame, 64, 1000), 0u);
    EXPECT_EQ(link.ReadBlock(frame, 64, 1000), 0u);
    // Status 2 short-circuits the transfers: no driver call at all.
    EXPECT_EQ(hid.log, (std::vector<std::string>{"close null"}));
}

TEST_F(LinkTest, SerialBridgeFoundAfterHidBridgeWinsTheTransport)
{
    startWith({true}, {false, true});
    EXPECT_EQ(link.state().DevicePresence, DeviceAttached);
    EXPECT_EQ(link.state().LinkTransport, UsbXpress);
    EXPECT_NE(link.state().hidHandle, nullptr);  // the HID bridge was still opened
    EXPECT_EQ(link.state().xpressHandle, -1);    // the scan never opens the serial bridge
}

TEST_F(LinkTest, SecondQuickEventIsDroppedWhilePending)
{
    startWith({}, {});
    link.DeviceArrived();
    link.DeviceArrived();
    link.DeviceRemoved();
    EXPECT_EQ(link.state().DevicePresence, DeviceAttached);
    EXPECT_EQ(link.state().PresenceEventPending, 1);
    hid.usable = {true};
    link.ServicePresence();
    EXPECT_EQ(link.state().PresenceEventPending, 0);
    EXPECT_EQ(link.state().LinkStatus, 0);
    EXPECT_EQ(std::count(hid.log.begin(), hid.log.end(), "open 0"), 1);

    link.DeviceRemoved();
    link.DeviceRemoved();  // dropped: the removal is still pending
    link.ServicePresence();
    EXPECT_EQ(link.state().DevicePresence, DeviceDetached);
    EXPECT_EQ(link.state().hidHandle, nullptr);
    EXPECT_EQ(link.state().LinkStatus, 0);  // status of the successful close
}

// A cable pulled out and put back before the next service: whichever event came last, the bridges
// are closed and a scan decides, so a recorder that is back is neither shown as gone nor reached
// through a stale handle, and one that stayed away is not shown as there.
TEST_F(LinkTest, ARemovalAndAnArrivalInOneGapCloseAndScanAfresh)
{
    startWith({true}, {});
    ASSERT_EQ(link.state().DevicePresence, DeviceAttached);
    link.state().arrivalStage = 0;
    link.DeviceRemoved();
    link.DeviceArrived();
    link.ServicePresence();
    EXPECT_EQ(link.state().DevicePresence, DeviceAttached);
    EXPECT_NE(link.state().hidHandle, nullptr);
    EXPECT_EQ(std::count(hid.log.begin(), hid.log.end(), "open 0"), 2) << "opened again";
    EXPECT_EQ(link.state().arrivalStage, 1) << "read afresh";

    hid.usable = {};
    link.DeviceArrived();
    link.DeviceRemoved();
    link.ServicePresence();
    EXPECT_EQ(link.state().DevicePresence, DeviceDetached);
    EXPECT_EQ(link.state().hidHandle, nullptr);
}

TEST_F(LinkTest, AnyArrivalMarksAttachedEvenWithoutBridge)
{
    startWith({}, {});
    link.DeviceArrived();
    link.ServicePresence();
    EXPECT_EQ(link.state().DevicePresence, DeviceAttached);
    std::uint8_t frame[64] = {};
    EXPECT_EQ(link.WriteBlock(frame, 64, 1000), 0u);
}

TEST_F(LinkTest, ReadBackMismatchGivesStatusFourClosesAndKeepsHandleUntilRemoval)
{
    startWith({true}, {});
    hid.readBackBaudOffset = 1;
    link.SetRateCode(2);
    EXPECT_TRUE(link.OpenLink());
    EXPECT_EQ(link.state().LinkStatus, ConfigMismatch);
    EXPECT_EQ(hid.log.back(), "close");
    EXPECT_NE(link.state().hidHandle, nullptr);

    // A new arrival does not re-open: the kept handle makes the scan skip.
    hid.log.clear();
    link.DeviceArrived();
    link.ServicePresence();
    EXPECT_EQ(std::count(hid.log.begin(), hid.log.end(), "open 0"), 0);

    // Removal clears the handle, the next arrival opens and configures again.
    hid.readBackBaudOffset = 0;
    link.DeviceRemoved();
    link.ServicePresence();
    EXPECT_EQ(link.state().hidHandle, nullptr);
    link.DeviceArrived();
    link.ServicePresence();
    EXPECT_EQ(link.state().LinkStatus, 0);
    link.OpenLink();
    EXPECT_EQ(link.state().LinkStatus, 0);
}

TEST_F(LinkTest, ConfigureFailureSkipsLaterStepsAndCloses)
{
    startWith({true}, {});
    hid.configStatus = 0x14;
    hid.log.clear();
    link.OpenLink();
    EXPECT_EQ(link.state().LinkStatus, 0x14);
    EXPECT_EQ(hid.log, (std::vector<std::string>{"part", "config 230400 3000", "close"}));
}

TEST_F(LinkTest, WriteFlushesThenSetsTimeoutsThenWrites)
{
    startWith({true}, {});
    link.OpenLink();
    hid.log.clear();
    std::uint8_t frame[64] = {};
    EXPECT_EQ(link.WriteBlock(frame, 64, 300), 64u);
    EXPECT_EQ(hid.log, (std::vector<std::string>{"flush 11", "timeouts 0 300", "write 64"}));
    hid.writeStatus = 0x11;
    EXPECT_EQ(link.WriteBlock(frame, 64, 300), 0u);
}

// Only bytes from calls that reported success count; a call that brings nothing ends the read.
TEST_F(LinkTest, ReadCountsOnlySuccessfulPartialCalls)
{
    const struct {
        std::vector<ReadStep> steps;
        std::uint32_t expected;
    } cases[] = {
        {{{0, 256}}, 256},
        {{{0, 100}, {0, 0}}, 100},
        {{{0, 100}, {0x12, 50}}, 100},
        {{{0x12, 100}}, 0},
        {{{0, 100}, {0, 100}, {0, 56}}, 256},
        {{}, 0},
    };
    for (bool serial : {false, true}) {
        for (const auto& c : cases) {
            FakeHid h;
            FakeXpress x;
            Link l(h, x);
            h.usable = {!serial};
            x.usable = {serial};
            l.ResetForStartup();
            l.ServicePresence();
            ASSERT_TRUE(l.OpenLink());
            std::deque<ReadStep>& script = serial ? x.reads : h.reads;
            script.assign(c.steps.begin(), c.steps.end());
            std::vector<std::uint8_t> buffer(256, 0);
            EXPECT_EQ(l.ReadBlock(buffer.data(), 256, 1000), c.expected)
                << (serial ? "serial " : "hid ") << c.steps.size() << " steps";
        }
    }
    startWith({true}, {});
    hid.log.clear();
    hid.reads = {{0, 100}, {0, 0}};
    std::uint8_t buffer[256];
    link.ReadBlock(buffer, 256, 500);
    EXPECT_EQ(hid.log, (std::vector<std::string>{"timeouts 500 0", "read 256", "read 156"}));
}

TEST_F(LinkTest, SerialOpenReopensEveryTimeAndFailsWithoutDevice)
{
    startWith({}, {true});
    EXPECT_EQ(link.state().LinkTransport, UsbXpress);
    ASSERT_TRUE(link.OpenLink());
    EXPECT_EQ(link.state().xpressHandle, 7);
    EXPECT_EQ(link.state().xpressDeviceCount, 1);
    ASSERT_TRUE(link.OpenLink());
    EXPECT_EQ(link.state().xpressHandle, 8);
    EXPECT_EQ(xpress.log, (std::vector<std::string>{"open 0", "baud 7 230400", "close 7", "open 0",
                                                    "baud 8 230400"}));

    std::uint8_t frame[64] = {};
    xpress.log.clear();
    EXPECT_EQ(link.WriteBlock(frame, 64, 1000), 64u);
    EXPECT_EQ(xpress.log, (std::vector<std::string>{"flush 11", "timeouts 0 1000", "write 64"}));

    xpress.openStatus = 1;
    EXPECT_FALSE(link.OpenLink());
    EXPECT_EQ(link.state().xpressHandle, -1);
    EXPECT_EQ(link.WriteBlock(frame, 64, 1000), 0u);
    EXPECT_EQ(link.ReadBlock(frame, 64, 1000), 0u);

    xpress.openStatus = 0;
    xpress.usable = {false};
    EXPECT_FALSE(link.OpenLink());
    EXPECT_EQ(link.state().xpressDeviceCount, 0);
}

TEST_F(LinkTest, SerialRemovalClosesHandle)
{
    startWith({}, {true});
    ASSERT_TRUE(link.OpenLink());
    link.DeviceRemoved();
    link.ServicePresence();
    EXPECT_EQ(link.state().xpressHandle, -1);
    EXPECT_EQ(xpress.log.back(), "close 7");
    EXPECT_EQ(link.state().DevicePresence, DeviceDetached);
}

}  // namespace
