#pragma once
#include "device/DeviceEnvironment.h"
#include "device/DeviceJobBoard.h"
#include "device/DeviceJobs.h"
#include "device/Link.h"

// The live stream's two jobs and the reading in between. Unlike the other
// jobs the stream outlives its tick: the start job leaves Streaming set, and
// every later tick appends what the link has to the board's ring until the
// stop job ends it.

namespace device {

// The pause after an owed stop the recorder did not heed, before it is tried again: one idle tick at
// first, doubled after every further unheeded try up to the longest. Each try wakes the recorder and
// drains its line for up to two seconds, which the worker's ticks and the jobs wait for.
constexpr std::int64_t OwedStopFirstPauseMs = 300;
constexpr std::int64_t OwedStopLongestPauseMs = 4800;

class StreamJobs {
public:
    StreamJobs(Link& link, DeviceJobBoard& board, DeviceEnvironment& env, DeviceJobs& jobs);

    // Job 21: opens and wakes the recorder, sends the start frame and sets Streaming once the
    // recorder has accepted it. Succeeds at once when the stream is already running.
    void StartJob();
    // Job 22: sends the stop frame, drains what was still on the line, clears Streaming and the ring.
    // Succeeds whether or not a stream was running (a stop must always be possible) once the line
    // falls quiet; a line still busy after a second stop frame fails it with StreamNotStopped and
    // leaves Streaming set.
    void StopJob();
    // One tick's reading while Streaming: what the link has now, in blocks of at most 64 bytes that
    // never run past the ring's end, without waiting; at most one ring's worth per tick.
    void ReadAvailable();
    // The link is gone: the stream is over for the board; the recorder is owed a stop.
    void Abandon();
    // A recorder that left while streaming is sent the stop when it is back, before anything else.
    // True when nothing is owed (any more); false while its line does not fall quiet, and during the
    // pause before the next try (the first try after an arrival, and a try while a job is asked for,
    // are made at once).
    bool SendOwedStop();

private:
    void end(std::uint8_t state, JobFailure why);
    // The stop frame, sent again once when the line does not fall quiet. True once it has.
    bool sendStop();

    Link& link_;
    DeviceJobBoard& board_;
    DeviceEnvironment& env_;
    DeviceJobs& jobs_;
    bool stopOwed_ = false;
    // The pause that follows the next unheeded owed stop (0: none yet), and the time of the next try.
    std::int64_t owedStopPauseMs_ = 0;
    std::int64_t nextOwedStopMs_ = 0;
};

}  // namespace device
