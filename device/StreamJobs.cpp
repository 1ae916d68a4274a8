#include "device/StreamJobs.h"
#include "device/protocol/Exchange.h"
#include "device/protocol/LiveStream.h"

#include <algorithm>

namespace device {

using namespace protocol;

StreamJobs::StreamJobs(Link& link, DeviceJobBoard& board, DeviceEnvironment& env, DeviceJobs& jobs)
    : link_(link), board_(board), env_(env), jobs_(jobs)
{
}

void StreamJobs::end(std::uint8_t state, JobFailure why)
{
    board_.RequestedJob = NoJob;
    board_.JobState = state;
    board_.failure = why;
}

void StreamJobs::StartJob()
{
    if (board_.stream.Streaming) {
        end(JobSucceeded, JobFailure::None);
        return;
    }
    jobs_.OpenAndWake();
    board_.stream.Reset();
    jobs_.frame().StreamStart();
    if (!jobs_.CommandAnswered()) {
        // A recorder whose answer was lost may be streaming: only on a line that stays quiet is it
        // asked whether its boot loader is there instead. On a busy line it did hear the start and
        // is owed a stop, or its samples would answer every later command.
        if (!link_.state().accessDenied) {
            if (jobs_.DrainLine(StreamQuietMs, StreamQuietMs * 4))
                jobs_.FindBootLoader();
            else
                stopOwed_ = true;
        }
        end(JobFailed, jobs_.NoAnswerFailure());
        return;
    }
    board_.stream.Streaming = true;
    // A stop requested while this job waited for the recorder (the window closing, say) is served now.
    if (board_.RequestedJob == StreamStopJobCode) {
        const std::uint32_t stopTicket = board_.requestTicket;
        StopJob();
        board_.RecordEnd(JobEnd{stopTicket, board_.JobState, board_.failure});
        return;
    }
    end(JobSucceeded, JobFailure::None);
}

void StreamJobs::ReadAvailable()
{
    StreamRing& ring = board_.stream;
    std::uint32_t taken = 0;
    while (taken < StreamRing::Size) {
        std::uint8_t block[StreamRing::MaxBlock];
        const std::uint32_t span = ring.WriteSpan();
        // A read time-out of 0: only what has already arrived, so the tick never waits for the line.
        const std::uint32_t got = link_.ReadBlock(block, span, 0);
        if (got == 0)
            break;
        ring.Append(block, got);
        taken += got;
        if (got < span)
            break;
    }
}

bool StreamJobs::sendStop()
{
    // A line that does not fall quiet after the stop frame may mean the frame was lost: once more.
    return jobs_.StopStream() || jobs_.StopStream();
}

void StreamJobs::StopJob()
{
    const bool stopped = sendStop();
    board_.stream.Reset();
    if (!stopped) {
        // The recorder may still be streaming: the stream stays on the board, so no other job talks
        // into it, and Stop can be tried again.
        end(JobFailed, JobFailure::StreamNotStopped);
        return;
    }
    board_.stream.Streaming = false;
    end(JobSucceeded, JobFailure::None);
}

void StreamJobs::Abandon()
{
    // The recorder runs on its own battery: gone from the link, it may still be streaming.
    if (board_.stream.Streaming)
        stopOwed_ = true;
    board_.stream.Streaming = false;
    // Back, it may well have stopped by itself: the first try is made at once again.
    owedStopPauseMs_ = 0;
    nextOwedStopMs_ = 0;
}

bool StreamJobs::SendOwedStop()
{
    if (!stopOwed_)
        return true;
    // The pause spares idle ticks; a job asked for is worth a try at once, so a
    // recorder that has stopped meanwhile serves it rather than failing it untried.
    if (env_.NowMs() < nextOwedStopMs_ && board_.RequestedJob == NoJob)
        return false;
    jobs_.OpenAndWake();
    if (sendStop()) {
        stopOwed_ = false;
        owedStopPauseMs_ = 0;
        nextOwedStopMs_ = 0;
        return true;
    }
    // A recorder that heeds no stop would otherwise keep every tick busy with tries.
    owedStopPauseMs_ = owedStopPauseMs_ == 0 ? OwedStopFirstPauseMs
                                             : std::min(owedStopPauseMs_ * 2, OwedStopLongestPauseMs);
    nextOwedStopMs_ = env_.NowMs() + owedStopPauseMs_;
    return false;
}

}  // namespace device
