#include "device/JobRequest.h"

namespace device {

std::uint32_t PostJob(DeviceJobBoard& board, std::uint8_t code)
{
    // A second request for the information while one waits shares its answer.
    if (code == ReadInfoJobCode && board.RequestedJob == code && board.JobState == JobPending && board.requestTicket)
        return board.requestTicket;
    board.requestTicket = ++board.lastTicket;
    board.postedJob = code;
    board.JobState = JobPending;
    board.RequestedJob = code;
    return board.requestTicket;
}

std::optional<JobEnd> EndOf(const DeviceJobBoard& board, std::uint32_t ticket)
{
    for (const JobEnd& end : board.ends)
        if (end.ticket == ticket && ticket != 0)
            return end;
    const bool onBoard = board.requestTicket == ticket &&
                         (board.RequestedJob != NoJob || board.JobState == JobPending || board.JobState == JobRunning);
    if (onBoard)
        return std::nullopt;
    return JobEnd{ticket, JobFailed, JobFailure::NoAnswer};
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
    const std::uint32_t ticket = PostJob(board, code);
    auto waiting = [&] {
        if (EndOf(board, ticket))
            return false;
        return waitWhileRunning || board.JobState != JobRunning;
    };
    while (waiting()) {
        env.Pump();
        if (!waiting())
            break;
        PumpingSleep(env, stepMs);
    }
    const std::optional<JobEnd> end = EndOf(board, ticket);
    return end ? end->state : board.JobState;
}

}  // namespace device
