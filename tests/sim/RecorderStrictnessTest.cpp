// The simulated recorder is as strict as a recorder: a client that skips the
// wake block, sends a malformed frame or reads faster than the line are found out.
#include "device/protocol/Commands.h"
#include "sim/recorder/DownloadScenarios.h"
#include <gtest/gtest.h>
#include <algorithm>

using namespace device::protocol;

namespace {

struct Bench {
    std::int64_t now = 0;
    sim::SimulatedRecorder recorder{[this] { return now; }};
    void Send(const Frame& f) { recorder.HostWrite(f.data(), f.size(), 230400); }
    void Wake() { Send(WakeBlock()); }
    std::vector<std::uint8_t> received;
    std::size_t Read(std::size_t max = 4096, std::uint32_t hostBaud = 230400)
    {
        received.assign(max, 0xAA);
        received.resize(recorder.HostRead(received.data(), max, hostBaud));
        return received.size();
    }
};

TEST(RecorderStrictness, NothingIsAnsweredBeforeTheWakeBlockNorAfterUnplugging)
{
    Bench b;
    CommandFrame f;
    f.ReadInfo();
    b.Send(f.bytes());
    b.now += 100;
    EXPECT_EQ(b.Read(), 0u);
    b.Wake();
    b.Send(f.bytes());
    b.now += 100;
    EXPECT_EQ(b.Read(), 256u);
    b.recorder.PowerDown();
    b.Send(f.bytes());
    b.now += 100;
    EXPECT_EQ(b.Read(), 0u);
}

TEST(RecorderStrictness, MalformedFramesAreIgnored)
{
    struct Case {
        const char* name;
        std::size_t at;
        std::uint8_t value;
    };
    for (const Case c : {Case{"byte count", 0, 4}, Case{"byte 2", 2, 1}, Case{"direction letter", 3, 'R'}}) {
        Bench b;
        sim::FillPlainRecordings(b.recorder, 2);
        b.Wake();
        CommandFrame erase;
        erase.EraseRecords();
        Frame bad = erase.bytes();
        bad[c.at] = c.value;
        b.Send(bad);
        b.now += 100;
        EXPECT_EQ(b.Read(), 0u) << c.name;
        EXPECT_EQ(b.recorder.recordings().size(), 2u) << c.name;
        EXPECT_EQ(b.recorder.ignoredFrames(), 1) << c.name;
        b.Send(erase.bytes());  // the well-formed one is taken
        b.now += 100;
        EXPECT_EQ(b.Read(), 64u) << c.name;
        EXPECT_TRUE(b.recorder.recordings().empty()) << c.name;
    }
}

TEST(RecorderStrictness, BytesReachTheHostAtTheLineRate)
{
    Bench b;
    b.Wake();
    CommandFrame f;
    f.ReadInfo();
    b.Send(f.bytes());
    // 256 bytes at 230400 baud, 10 bits each, take 11.1 ms.
    EXPECT_EQ(b.Read(), 0u);
    b.now += 5;
    const std::size_t first = b.Read();
    EXPECT_GE(first, 110u);
    EXPECT_LE(first, 116u);
    EXPECT_EQ(b.recorder.MsUntilReady(256 - first), 7);
    b.now += 7;
    EXPECT_EQ(first + b.Read(), 256u);
}

// A bridge's flush empties its own buffer: bytes the recorder has still to send arrive after it.
TEST(RecorderStrictness, AFlushDropsOnlyWhatHasReachedTheBridge)
{
    Bench b;
    b.Wake();
    CommandFrame f;
    f.ReadInfo();
    b.Send(f.bytes());
    b.now += 5;  // 115 of the 256 bytes are over the line at 230400 baud
    b.recorder.DiscardOutput();
    EXPECT_EQ(b.Read(), 0u);
    b.now += 10;
    EXPECT_EQ(b.Read(), 256u - 115u) << "the rest of the answer still comes";
}

// Bytes sent at one speed and taken at another are garbage to the host, and they are gone: they never
// turn up later, when the speeds agree again.
TEST(RecorderStrictness, BytesSentAtAnotherSpeedThanTheHostsArriveGarbled)
{
    struct Case {
        const char* name;
        std::uint32_t sendBaud;  // the recorder's transmitter, 0 = the link speed (230400)
        std::uint32_t hostBaud;  // the host's end as the bytes arrive
    };
    for (const Case c : {Case{"host at a faster speed", 0, 921600}, Case{"transmitter stuck", 115200, 230400}}) {
        Bench b;
        b.recorder.faults().sendBaud = c.sendBaud;
        b.Wake();
        CommandFrame f;
        f.ReadInfo();
        b.Send(f.bytes());
        b.now += 100;
        ASSERT_EQ(b.Read(4096, c.hostBaud), 256u) << c.name;
        EXPECT_EQ(std::count(b.received.begin(), b.received.end(), 0), 256) << c.name;
        EXPECT_EQ(b.recorder.garbledBytes(), 256u) << c.name;
        b.recorder.faults().sendBaud = 0;
        EXPECT_EQ(b.Read(4096, 230400), 0u) << c.name;
        b.Send(f.bytes());  // at agreeing speeds the answer is whole again
        b.now += 100;
        ASSERT_EQ(b.Read(), 256u) << c.name;
        EXPECT_TRUE(ParseDeviceInfo(b.received.data(), b.received.size()).signed_) << c.name;
    }
}

}  // namespace
