// The simulated recorder speaking its protocol through the real Link.
#include "tests/device/SimRig.h"
#include "device/protocol/Commands.h"
#include "device/protocol/Exchange.h"
#include "device/protocol/RecordingStream.h"
#include "sim/recorder/RecordingFactory.h"
#include <gtest/gtest.h>

using namespace device;
using namespace device::protocol;

namespace {

struct Wire : SimRig {
    protocol::CommandFrame frame;

    Wire()
    {
        recorder.recordings() = sim::DemoRecordings(recorder.info(), 3);
        loop.RunFor(310);  // start-up probe and arrival read
    }
    LinkPort& port() { return step.jobs().port(); }
    void Send() { port().WriteBlock(frame.data(), FrameSize, CommandWriteTimeoutMs); }
    // Reads one recording stream the way the download does: header, sample pairs, pages, check frame.
    std::vector<std::uint8_t> ReadStream()
    {
        std::vector<std::uint8_t> bytes(RecordHeaderSize);
        if (port().ReadBlock(bytes.data(), RecordHeaderSize, 1000) != RecordHeaderSize)
            return {};
        RecordHeaderBytes h{};
        std::copy(bytes.begin(), bytes.end(), h.begin());
        const std::uint32_t sampleBytes = ReadWireHeader(h).sampleBytes;
        bytes.resize(RecordHeaderSize + sampleBytes + AnnotationBlockSize + CheckFrameSize);
        std::size_t at = RecordHeaderSize;
        while (at < bytes.size()) {
            const auto want = static_cast<std::uint32_t>(std::min<std::size_t>(256, bytes.size() - at));
            const std::uint32_t got = port().ReadBlock(bytes.data() + at, want, 1000);
            if (got == 0)
                return std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
            at += got;
        }
        return bytes;
    }
};

TEST(RecorderSim, StreamsFirstNextAndAgainWithMatchingChecksums)
{
    Wire w;
    std::vector<std::uint8_t> seen[3];
    w.frame.RequestRecord(RecordFirst);
    w.Send();
    seen[0] = w.ReadStream();
    w.frame.RequestRecord(RecordNext);
    w.Send();
    seen[1] = w.ReadStream();
    w.frame.RequestRecord(RecordAgain);
    w.Send();
    seen[2] = w.ReadStream();
    for (const auto& s : seen) {
        const ParsedRecording r = ParseRecordingStream(s.data(), s.size());
        ASSERT_TRUE(r.error.empty()) << r.error;
        EXPECT_TRUE(r.checksumOk);
        const RecordHeaderFields f = ReadStoredHeader(r.storedHeader);
        EXPECT_EQ(f.sampleRate, 256);
        EXPECT_EQ(f.sampleBytes, 30u * 256 * 2);
        EXPECT_EQ(f.deviceNumber, 0x0012AB34u);
        EXPECT_EQ(r.storedHeader[rec::Tachycardia], 100);
    }
    EXPECT_NE(seen[0], seen[1]);
    EXPECT_EQ(seen[1], seen[2]);  // "again" repeats the last one
    // The slow recording carries the recorder's bradycardia finding.
    const ParsedRecording slow = ParseRecordingStream(seen[1].data(), seen[1].size());
    EXPECT_LT(slow.storedHeader[rec::HeartRate], 60);
    EXPECT_EQ(slow.storedHeader[rec::BradyFinding], 1);
    // Beat series: R-to-R values in ms, empty entries 0xFFFF.
    const std::uint16_t secondRr = static_cast<std::uint16_t>(slow.series[2] | (slow.series[3] << 8));
    EXPECT_GT(secondRr, 1000);
}

TEST(RecorderSim, FaultsChecksumStallAndShortReads)
{
    Wire w;
    w.recorder.faults().checksumErrors = 1;
    w.frame.RequestRecord(RecordFirst);
    w.Send();
    auto s = w.ReadStream();
    EXPECT_FALSE(ParseRecordingStream(s.data(), s.size()).checksumOk);
    w.frame.RequestRecord(RecordAgain);
    w.Send();
    s = w.ReadStream();
    EXPECT_TRUE(ParseRecordingStream(s.data(), s.size()).checksumOk);

    w.recorder.faults().stallAfterBytes = 1000;
    w.frame.RequestRecord(RecordAgain);
    w.Send();
    EXPECT_EQ(w.ReadStream().size(), 1000u);

    w.recorder.faults().shortReadChunk = 7;
    std::uint8_t block[256];
    w.frame.ReadInfo();
    w.Send();
    // The driver hands out 7 bytes per call; the link's read gathers the whole block anyway.
    EXPECT_EQ(w.port().ReadBlock(block, 256, 2000), 256u);
    EXPECT_TRUE(HasInfoSignature(block, 256));
}

TEST(RecorderSim, FastLinkRefusedAndFallBackAfterSilence)
{
    Wire w;
    std::uint8_t block[256];
    // Accepted: the recorder moves to 921600 and answers there only.
    w.frame.SetLinkSpeed(RateCodeFast);
    w.Send();
    EXPECT_EQ(w.recorder.rateCode(), 8);
    w.frame.ReadInfo();
    w.Send();
    EXPECT_EQ(w.port().ReadBlock(block, 256, 2000), 0u);  // the host is still at 230400
    w.link.SetRateCode(RateCodeFast);
    w.link.OpenLink();
    w.Send();
    EXPECT_EQ(w.port().ReadBlock(block, 256, 2000), 256u);
    // Silence makes it fall back by itself.
    w.loop.now += 3500;
    w.link.SetRateCode(RateCodeNormal);
    w.link.OpenLink();
    w.Send();
    EXPECT_EQ(w.port().ReadBlock(block, 256, 2000), 256u);
    EXPECT_EQ(w.recorder.rateCode(), 2);

    w.recorder.faults().refuseFastLink = true;
    w.frame.SetLinkSpeed(RateCodeFast);
    w.Send();
    EXPECT_EQ(w.recorder.rateCode(), 2);
    // End of downloading brings it back to 230400 at once.
    w.recorder.faults().refuseFastLink = false;
    w.Send();
    EXPECT_EQ(w.recorder.rateCode(), 8);
    w.link.SetRateCode(RateCodeFast);
    w.link.OpenLink();
    w.frame.RequestRecord(RecordEnd);
    w.Send();
    EXPECT_EQ(w.recorder.rateCode(), 2);
}

TEST(RecorderSim, FirmwareBootLoaderWritesPagesVerifiesAndResets)
{
    Wire w;
    Frame answer{};
    auto exchange = [&] { return Exchange(w.port(), w.frame.bytes(), answer, FirmwareTimeoutMs) == FrameSize; };
    w.frame.Firmware(FwBootMode);
    EXPECT_TRUE(exchange());
    EXPECT_TRUE(w.recorder.bootMode());
    // The boot loader hears only firmware commands.
    w.frame.ReadInfo();
    EXPECT_FALSE(exchange());
    std::uint8_t image[1024];
    for (int i = 0; i < 1024; ++i)
        image[i] = static_cast<std::uint8_t>(i * 7);
    for (std::uint8_t page = 0; page < 2; ++page) {
        w.frame.FirmwarePage(page);
        EXPECT_TRUE(exchange());
        w.frame.Firmware(FwPreparePage);
        EXPECT_TRUE(exchange());
        for (std::uint8_t b = 0; b < 16; ++b) {
            w.frame.FirmwareBlock(b, image + page * 512 + b * 32);
            EXPECT_TRUE(exchange());
        }
    }
    EXPECT_TRUE(std::equal(image, image + 1024, w.recorder.flashImage().begin()));
    w.frame.Firmware(FwVerify);
    EXPECT_TRUE(exchange());
    EXPECT_EQ(answer[4], 1);
    // The highest page a page number can name still lands inside the flash; the hole before it
    // makes the image incomplete.
    w.frame.FirmwarePage(255);
    EXPECT_TRUE(exchange());
    w.frame.Firmware(FwPreparePage);
    EXPECT_TRUE(exchange());
    w.frame.FirmwareBlock(15, image);
    EXPECT_TRUE(exchange());
    ASSERT_EQ(w.recorder.flashImage().size(), 256u * 512u);
    EXPECT_TRUE(std::equal(image, image + 32, w.recorder.flashImage().begin() + 255 * 512 + 15 * 32));
    w.frame.Firmware(FwVerify);
    EXPECT_TRUE(exchange());
    EXPECT_EQ(answer[4], 0);
    w.frame.Firmware(FwReset);
    exchange();
    EXPECT_FALSE(w.recorder.bootMode());
    w.frame.Firmware(FwPresence);
    EXPECT_TRUE(exchange());

    w.recorder.faults().failVerify = true;
    w.frame.Firmware(FwBootMode);
    exchange();
    w.frame.Firmware(FwVerify);
    EXPECT_TRUE(exchange());
    EXPECT_EQ(answer[4], 0);
}

TEST(RecorderSim, RefusedBootModeAndUnplugging)
{
    Wire w;
    Frame answer{};
    w.recorder.faults().refuseBootMode = true;
    w.frame.Firmware(FwBootMode);
    EXPECT_EQ(Exchange(w.port(), w.frame.bytes(), answer, FirmwareTimeoutMs), FrameSize);
    EXPECT_FALSE(w.recorder.bootMode());
    // The presence query after the boot-mode command goes unanswered: the firmware job aborts there.
    w.frame.Firmware(FwPresence);
    EXPECT_EQ(Exchange(w.port(), w.frame.bytes(), answer, FirmwareTimeoutMs), 0u);
    w.frame.Firmware(FwVerify);  // no boot loader, no answer
    EXPECT_EQ(Exchange(w.port(), w.frame.bytes(), answer, FirmwareTimeoutMs), 0u);
    // The application still runs: an ordinary command is answered, and presence again after it.
    w.frame.EraseRecords();
    EXPECT_TRUE(CommandAccepted(w.port(), w.frame.bytes(), answer));
    w.frame.Firmware(FwPresence);
    EXPECT_EQ(Exchange(w.port(), w.frame.bytes(), answer, FirmwareTimeoutMs), FrameSize);

    w.xpress.SetPlugged(false);
    std::uint32_t count = 9;
    w.xpress.GetNumDevices(&count);
    EXPECT_EQ(count, 0u);
    w.frame.ReadInfo();
    EXPECT_EQ(w.port().WriteBlock(w.frame.data(), FrameSize, 1000), 0u);
    EXPECT_FALSE(w.link.OpenLink());
}

TEST(RecorderSim, RecordingsCarryTheRecordersOwnFindings)
{
    struct Case {
        sim::Rhythm rhythm;
        std::size_t finding;
        std::uint8_t value;
    };
    const DEVICE_INFO_BLOCK recorder = sim::DefaultRecorderInfo();
    for (Case c : {Case{sim::Rhythm::Bradycardia, rec::BradyFinding, 1}, Case{sim::Rhythm::Tachycardia, rec::TachyFinding, 1},
                   Case{sim::Rhythm::Pause, rec::PauseFinding, 1}, Case{sim::Rhythm::Weak, rec::SignalQuality, 0x10},
                   Case{sim::Rhythm::Normal, rec::RhythmFinding, 0}}) {
        sim::RecordingPlan plan;
        plan.rhythm = c.rhythm;
        const sim::SimRecording r = sim::MakeRecording(plan, recorder);
        EXPECT_EQ(r.wireHeader[c.finding], c.value) << static_cast<int>(c.rhythm);
        EXPECT_EQ(r.samples.size(), 30u * 256);
        EXPECT_EQ(r.wireHeader[rec::PauseThreshold], 2);
    }
}

}  // namespace
