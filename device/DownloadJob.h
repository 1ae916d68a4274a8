#pragma once
#include "device/DeviceEnvironment.h"
#include "device/DeviceJobBoard.h"
#include "device/DeviceJobs.h"
#include "device/Link.h"
#include <optional>

// The download job (code 25): raises the link to 921600 baud (falling back to
// 230400), asks the recorder for every recording in turn, checks each against
// its check frame, asks again for one that failed, and writes each verified
// recording as its recording file below the board's data folder. It publishes
// its progress in the board's download counters and rows, and ends with a
// DownloadResult saying what was stored and why it ended.
//
// JobSucceeded only when every reported recording is safely stored; anything
// less ends as JobFailed, so nothing is erased after it.

namespace device {

class DownloadJob {
public:
    DownloadJob(Link& link, DeviceJobBoard& board, DeviceEnvironment& env, DeviceJobs& jobs);

    // Runs the whole download inside the current device step.
    void Run();

private:
    struct Impl;
    Link& link_;
    DeviceJobBoard& board_;
    DeviceEnvironment& env_;
    DeviceJobs& jobs_;
};

// The condition under which the recorder may be erased after this download; nullopt when it must
// not be erased (a recording not stored, a partial recording left over, or the download not over).
std::optional<EraseCondition> EraseConditionAfter(const DownloadResult& result);

// Wait after the speed command and after the end command before the link is reopened: reopening
// purges the bridge's buffers (the HID bridge's FIFOs, the tty's queues), which would cut a frame
// that has not gone out yet, ms. The HID bridge passes bytes on in USB reports and gets longer.
constexpr std::uint32_t HidDrainMs = 200;
constexpr std::uint32_t SerialDrainMs = 50;
// The recorder returns to 230400 baud by itself after this much silence, ms.
constexpr std::uint32_t RecorderFallBackMs = 3500;

}  // namespace device
