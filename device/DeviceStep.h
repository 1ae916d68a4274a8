#pragma once
#include "device/DeviceEnvironment.h"
#include "device/DeviceJobBoard.h"
#include "device/DeviceJobs.h"
#include "device/DownloadJob.h"
#include "device/FlashJob.h"
#include "device/Link.h"
#include "device/StreamJobs.h"
#include <functional>
#include <map>
#include <optional>

// One tick of the device worker, run on the user-interface thread: presence
// service, the automatic information read after an arrival (with its offset
// repair), then at most one requested job from start to end, and while the
// live stream runs, what the recorder has sent since the last tick.

namespace device {

class DeviceStep {
public:
    DeviceStep(Link& link, DeviceJobBoard& board, DeviceEnvironment& env);

    // One tick. A call made while a tick is running (from a nested message pump) returns at once.
    void Run();

    // Installs the job for a code (the download and firmware jobs live elsewhere). A requested code
    // without a job ends as JobFailed, so its requester never waits forever.
    void SetJobHandler(std::uint8_t code, std::function<void()> job);

    DeviceJobs& jobs() { return jobs_; }
    Link& link() { return link_; }
    DeviceJobBoard& board() { return board_; }

private:
    void arrivalRead();
    bool boardFree() const;
    void postOwedRepair();
    void runRequestedJob();
    void runJob(std::uint8_t code);

    Link& link_;
    DeviceJobBoard& board_;
    DeviceEnvironment& env_;
    DeviceJobs jobs_;
    DownloadJob download_;
    FlashJob flash_;
    StreamJobs stream_;
    std::map<std::uint8_t, std::function<void()>> handlers_;
    // The offset repair an arrival found due, waiting for a free board.
    std::optional<protocol::DeviceSettings> repairOwed_;
    std::uint32_t repairRecorderId_ = 0;
};

}  // namespace device
