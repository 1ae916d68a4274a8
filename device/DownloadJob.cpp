#include "device/DownloadJob.h"

namespace device {

DownloadJob::DownloadJob(Link& link, DeviceJobBoard& board, DeviceEnvironment& env, DeviceJobs& jobs)
    : link_(link), board_(board), env_(env), jobs_(jobs)
{
}

void DownloadJob::Run()
{
    board_.download.result = DownloadResult{};
    board_.download.result.end = DownloadEnd::NoAnswer;
    board_.RequestedJob = NoJob;
    board_.JobState = JobFailed;
}

std::optional<EraseCondition> EraseConditionAfter(const DownloadResult& result)
{
    if (!result.allStored())
        return std::nullopt;
    return EraseCondition{result.deviceId, result.bytesStored};
}

}  // namespace device
