#include "device/JobRequest.h"

namespace device {

void PostJob(DeviceJobBoard& board, std::uint8_t code)
{
    board.JobState = JobPending;
    board.RequestedJob = code;
}

std::uint8_t RequestJobAndWait(DeviceJobBoard& board, DeviceEnvironment& env, std::uint8_t code,
                               std::uint32_t stepMs, bool waitWhileRunning)
{
    if (board.stepRunning)
        return JobFailed;
    // While the live stream runs only its own jobs can run; any other fails without a wait.
    if (board.stream.Streaming && code != StreamStartJobCode && code != StreamStopJobCode) {
        board.JobState = JobFailed;
        board.failure = JobFailure::Streaming;
        return JobFailed;
    }
    PostJob(board, code);
    auto waiting = [&] {
        return board.JobState == JobPending || (waitWhileRunning && board.JobState == JobRunning);
    };
    while (waiting()) {
        env.Pump();
        if (!waiting())
            break;
        PumpingSleep(env, stepMs);
    }
    return board.JobState;
}

}  // namespace device
