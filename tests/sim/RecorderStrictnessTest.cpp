// The simulated recorder is as strict as a recorder: a client that skips the
// wake block, sends a malformed frame or reads faster than the line are found out.
#include "device/protocol/Commands.h"
#include "sim/recorder/DownloadScenarios.h"
#include <algorithm>
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

// A settings packet the recorder could not hold is refused (the answer does not name the
// command), logged, and nothing of it is kept.
TEST(RecorderStrictness, SettingsItCannotHoldAreRefusedAndLogged)
{
    struct Case {
        const char* name;
        std::size_t packetByte;  // from the tachycardia threshold on
        std::size_t count;       // bytes set to value from there
        std::uint8_t value;
        const char* reason;      // null: taken
    };
    const Case cases[] = {
        {"sound", 0, 1, 100, nullptr},
        {"month 13", 6, 1, 13, "month out of range"},
        {"month 0", 6, 1, 0, "month out of range"},
        {"day 0", 7, 1, 0, "day out of range"},
        {"hour 24", 8, 1, 24, "time out of range"},
        {"second 60", 10, 1, 60, "time out of range"},
        {"sensitivity 3", 3, 1, 3, "sensitivity out of range"},
        {"key beep 2", 17, 1, 2, "beep switch out of range"},
        {"heartbeat beep 255", 18, 1, 255, "beep switch out of range"},
        {"tachycardia equal to bradycardia", 0, 1, 60, "tachycardia not above bradycardia"},
        {"device ID 0", 11, 4, 0, "device ID 0"},
    };
    for (const Case& c : cases) {
        Bench b;
        std::vector<std::string> log;
        b.recorder.SetFrameLog([&](const std::string& line) { log.push_back(line); });
        const DEVICE_INFO_BLOCK before = b.recorder.CurrentInfo();
        DeviceSettings s;
        s.tachycardia = 100;
        s.bradycardia = 60;
        s.pause = 2;
        s.sensitivity = 1;
        s.year = 2013;
        s.month = 5;
        s.day = 21;
        s.hour = 10;
        s.deviceIdText = "0012AB34";
        s.dcOffset = 1000;
        CommandFrame f;
        f.WriteSettings(s);
        Frame frame = f.bytes();
        std::fill_n(frame.begin() + SettingsPacketOffset + c.packetByte, c.count, c.value);
        b.Wake();
        b.Send(frame);
        b.now += 100;
        std::vector<std::uint8_t> answer(FrameSize);
        ASSERT_EQ(b.recorder.HostRead(answer.data(), FrameSize, 230400), FrameSize) << c.name;
        EXPECT_EQ(answer[3] == CmdWriteSettings, c.reason == nullptr) << c.name;
        if (!c.reason) {
            EXPECT_EQ(b.recorder.settingsWrites(), 1) << c.name;
            EXPECT_EQ(b.recorder.CurrentInfo().dcOffset, 1000) << c.name;
            continue;
        }
        EXPECT_EQ(b.recorder.settingsWrites(), 0) << c.name;
        EXPECT_EQ(b.recorder.CurrentInfo().dcOffset, before.dcOffset) << c.name;
        EXPECT_EQ(b.recorder.refusedSettings(), std::vector<std::string>{c.reason}) << c.name;
        EXPECT_TRUE(std::any_of(log.begin(), log.end(),
                                [&](const std::string& l) { return l.find(c.reason) != std::string::npos; }))
            << c.name;
    }
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

namespace {

// A recorder sending a recording does not listen: a command sent meanwhile is lost, one sent after
// the last byte is heard.
TEST(RecorderStrictness, ACommandSentWhileARecordingGoesOutIsLost)
{
    Bench b;
    sim::FillPlainRecordings(b.recorder, 2);
    b.Wake();
    CommandFrame request;
    request.RequestRecord(RecordFirst);
    b.Send(request.bytes());
    const std::int64_t sending = b.recorder.MsUntilReady(b.recorder.PendingOutput());
    ASSERT_GT(sending, 100);  // a 2-second recording at 230400 baud
    b.now += sending / 2;
    CommandFrame erase;
    erase.EraseRecords();
    b.Send(erase.bytes());
    EXPECT_EQ(b.recorder.framesLostWhileBusy(), 1);
    EXPECT_EQ(b.recorder.recordings().size(), 2u) << "the erase was never heard";
    b.now += sending;
    b.Read(1 << 20);
    b.Send(erase.bytes());
    EXPECT_TRUE(b.recorder.recordings().empty());
}

// Faults of a wayward recorder: every answer twice, or late.
TEST(RecorderStrictness, AnswersCanComeTwiceOrLate)
{
    struct Case {
        const char* name;
        bool twice;
        std::int64_t delayMs;
        std::size_t bytes;  // what has arrived 30 ms and 2 s after the command
        std::size_t later;
    } cases[] = {{"on time", false, 0, 256, 0}, {"twice", true, 0, 512, 0}, {"1 s late", false, 1000, 0, 256}};
    for (const Case& c : cases) {
        Bench b;
        b.recorder.faults().answerTwice = c.twice;
        b.recorder.faults().answerDelayMs = c.delayMs;
        b.Wake();
        CommandFrame f;
        f.ReadInfo();
        b.Send(f.bytes());
        b.now += 30;
        EXPECT_EQ(b.Read(), c.bytes) << c.name;
        b.now += 2000;
        EXPECT_EQ(b.Read(), c.later) << c.name;
    }
}

}  // namespace

// A recorder left in its boot loader by a failed upgrade answers only the firmware commands, and
// stays so when the cable is pulled and put back: only a flash that succeeds brings its program back.
TEST(RecorderStrictness, ABootLoaderLeftInChargeSurvivesUnplugging)
{
    Bench b;
    b.recorder.EnterBootLoader();
    CommandFrame info;
    info.ReadInfo();
    CommandFrame presence;
    presence.Firmware(FwPresence);
    for (int plugging = 0; plugging < 2; ++plugging) {
        b.Wake();
        b.Send(info.bytes());
        b.now += 100;
        EXPECT_EQ(b.Read(), 0u) << "information read, plugging " << plugging;
        b.Send(presence.bytes());
        b.now += 100;
        ASSERT_EQ(b.Read(), FrameSize) << "presence query, plugging " << plugging;
        EXPECT_EQ(b.received[3], CmdFirmware);
        b.recorder.PowerDown();
        b.now += 60000;
    }
    EXPECT_TRUE(b.recorder.bootMode());
    EXPECT_TRUE(b.recorder.FlashedBytes().empty()) << "the boot loader took over with nothing written";
}
