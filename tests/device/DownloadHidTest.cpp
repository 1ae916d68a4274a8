// The download through the HID bridge whose transmit FIFO empties onto the line
// only as time passes: reconfiguring the bridge purges that FIFO, so a frame the
// job sends right before it reopens the link must have had time to go out.
#include "SimRig.h"
#include "device/DownloadJob.h"
#include "device/JobRequest.h"
#include "device/transport/HidUartBridge.h"
#include "device/transport/RawHid.h"
#include "sim/recorder/DownloadScenarios.h"
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace device;

namespace {

// The bridge chip: written bytes wait in its transmit FIFO until a millisecond has passed; a purge of
// the transmit FIFO (feature report 0x43, bit 1) drops what is still waiting.
class SlowChip : public transport::RawHidDevice {
public:
    SlowChip(sim::SimulatedRecorder& recorder, FakeLoop& loop) : recorder_(recorder), loop_(loop) {}

    int write(const std::uint8_t* report, std::size_t length) override
    {
        drain();
        if (enabled_) {
            fifo_.insert(fifo_.end(), report + 1, report + length);
            fifoSince_ = loop_.now;
            fifoBaud_ = baud_;
        }
        return static_cast<int>(length);
    }
    int readTimeout(std::uint8_t* report, std::size_t capacity, int timeoutMs) override
    {
        drain();
        std::size_t n = enabled_ ? recorder_.HostRead(report + 1, std::min<std::size_t>(63, capacity - 1), baud_) : 0;
        if (n == 0 && timeoutMs > 0) {
            loop_.now += timeoutMs;
            drain();
            n = enabled_ ? recorder_.HostRead(report + 1, std::min<std::size_t>(63, capacity - 1), baud_) : 0;
        }
        report[0] = static_cast<std::uint8_t>(n);
        return n == 0 ? 0 : static_cast<int>(n + 1);
    }
    int sendFeature(const std::uint8_t* report, std::size_t length) override
    {
        drain();
        if (report[0] == 0x41)
            enabled_ = report[1] == 1;
        if (report[0] == 0x43) {
            if (report[1] & 1)
                fifo_.clear();
            if (report[1] & 2)
                recorder_.DiscardOutput();
        }
        if (report[0] == 0x50) {
            config_.assign(report, report + length);
            baud_ = std::uint32_t(config_[1]) << 24 | std::uint32_t(config_[2]) << 16 | std::uint32_t(config_[3]) << 8 |
                    config_[4];
        }
        return static_cast<int>(length);
    }
    int getFeature(std::uint8_t* report, std::size_t length) override
    {
        std::vector<std::uint8_t> answer;
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
    void drain()
    {
        if (!fifo_.empty() && loop_.now >= fifoSince_ + 1) {
            recorder_.HostWrite(fifo_.data(), fifo_.size(), fifoBaud_);
            fifo_.clear();
        }
        recorder_.NoteHostBaud(baud_);
    }
    sim::SimulatedRecorder& recorder_;
    FakeLoop& loop_;
    std::vector<std::uint8_t> fifo_;
    std::int64_t fifoSince_ = 0;
    std::uint32_t fifoBaud_ = 0;
    std::vector<std::uint8_t> config_ = {0x50, 0, 0, 0x25, 0x80, 0, 0, 3, 0};
    std::uint32_t baud_ = 9600;
    bool enabled_ = false;
};

class SlowChipHid : public transport::RawHid {
public:
    SlowChipHid(sim::SimulatedRecorder& recorder, FakeLoop& loop) : recorder_(recorder), loop_(loop) {}
    std::vector<transport::RawHidInfo> enumerate(std::uint16_t, std::uint16_t) override
    {
        return {{"/dev/hidraw9", "", ""}};
    }
    std::unique_ptr<transport::RawHidDevice> open(const std::string&) override
    {
        return std::make_unique<SlowChip>(recorder_, loop_);
    }

private:
    sim::SimulatedRecorder& recorder_;
    FakeLoop& loop_;
};

TEST(DownloadHid, SpeedAndEndCommandsLeaveTheBridgeBeforeItIsReconfigured)
{
    FakeLoop loop;
    sim::SimulatedRecorder recorder{[&loop] { return loop.now; }};
    sim::FillPlainRecordings(recorder, 3);
    SlowChipHid raw(recorder, loop);
    transport::HidUartBridge bridge(raw);
    transport::AbsentXpress xpress;
    Link link(bridge, xpress);
    DeviceJobBoard board;
    DeviceStep step(link, board, loop);
    QTemporaryDir dir;
    board.dataFolder = dir.path();
    link.ResetForStartup();
    loop.tick = [&] { step.Run(); };
    loop.RunFor(310);
    ASSERT_EQ(RequestJobAndWait(board, loop, ReadInfoJobCode, ButtonWaitStepMs), JobSucceeded);
    ASSERT_EQ(RequestJobAndWait(board, loop, DownloadJobCode, ButtonWaitStepMs, true), JobSucceeded);
    EXPECT_FALSE(board.download.result.lowSpeedFallback) << "the speed command reached the recorder";
    EXPECT_EQ(recorder.rateCode(), 2) << "the end command reached the recorder";
    EXPECT_EQ(board.download.result.storedCount(), 3);
}

}  // namespace
