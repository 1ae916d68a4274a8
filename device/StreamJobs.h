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

class StreamJobs {
public:
    StreamJobs(Link& link, DeviceJobBoard& board, DeviceJobs& jobs);

    // Job 21: opens and wakes the recorder, sends the start frame and sets Streaming once the
    // recorder has accepted it. Succeeds at once when the stream is already running.
    void StartJob();
    // Job 22: sends the stop frame, drains what was still on the line, clears Streaming and the ring.
    // Succeeds whether or not a stream was running (a stop must always be possible).
    void StopJob();
    // One tick's reading while Streaming: what the link has now, in blocks of at most 64 bytes that
    // never run past the ring's end, without waiting; at most one ring's worth per tick.
    void ReadAvailable();
    // The link is gone: the stream is over.
    void Abandon();

private:
    void end(std::uint8_t state, JobFailure why);

    Link& link_;
    DeviceJobBoard& board_;
    DeviceJobs& jobs_;
};

}  // namespace device
