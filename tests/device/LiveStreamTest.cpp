// The live stream: the ring's arithmetic on known byte positions, and the
// stream jobs of the device step against the simulated recorder.
#include "SimRig.h"
#include "device/JobRequest.h"
#include "device/StreamRing.h"
#include <gtest/gtest.h>
#include <vector>

using namespace device;

namespace {

// Byte b of a stream whose sample k has the value k (high byte first).
std::uint8_t ByteAt(std::uint64_t b)
{
    const auto sample = static_cast<std::uint16_t>(b / 2);
    return b % 2 == 0 ? static_cast<std::uint8_t>(sample >> 8) : static_cast<std::uint8_t>(sample & 0xFF);
}

// Appends the stream's next n bytes as the device step does: blocks that never run past the ring's end.
void Feed(StreamRing& ring, std::uint64_t& next, std::uint32_t n)
{
    while (n > 0) {
        std::uint8_t block[StreamRing::MaxBlock];
        const std::uint32_t len = std::min(n, ring.WriteSpan());
        ASSERT_LE(len, StreamRing::MaxBlock);
        ASSERT_LE(ring.StreamWritePos + len, StreamRing::Size);
        for (std::uint32_t i = 0; i < len; ++i)
            block[i] = ByteAt(next++);
        ring.Append(block, len);
        n -= len;
    }
}

TEST(StreamRing, WholeSamplesAcrossTheWrapAndALappedReader)
{
    struct Case {
        const char* name;
        std::uint32_t first;      // bytes written first
        bool takeAfterFirst;      // the reader takes what it can before the second write
        std::uint32_t second;     // bytes written then
        std::size_t samples;      // samples the reader then gets
        std::uint32_t left;       // bytes waiting after that
        std::int16_t firstValue;  // the first of those samples
        std::uint32_t resyncs;
    };
    const Case cases[] = {
        {"6 bytes", 6, false, 0, 3, 0, 0, 0},
        {"7 bytes", 7, false, 0, 3, 1, 0, 0},
        // The writer has wrapped to 6 while the reader is at 1000: 30 bytes, not |6 - 1000|.
        {"wrap", 1000, true, 30, 15, 0, 500, 0},
        // The writer ran 1100 bytes ahead: the reader jumps to the newest data and never sees the
        // overwritten samples 0..549 again.
        {"lap", 1100, true, 6, 3, 0, 550, 1},
        // Exactly one ring ahead is full, not empty.
        {"full", 1024, false, 0, 512, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StreamRing ring;
        std::uint64_t next = 0;
        Feed(ring, next, c.first);
        std::vector<std::int16_t> before;
        if (c.takeAfterFirst)
            ring.TakeSamples(before);
        Feed(ring, next, c.second);
        std::vector<std::int16_t> got;
        EXPECT_EQ(ring.TakeSamples(got), c.samples);
        EXPECT_EQ(ring.Readable(), c.left);
        ASSERT_FALSE(got.empty());
        EXPECT_EQ(got.front(), c.firstValue);
        for (std::size_t i = 1; i < got.size(); ++i)
            ASSERT_EQ(got[i], got[i - 1] + 1) << "in order at " << i;
        EXPECT_EQ(ring.resyncs(), c.resyncs);
        EXPECT_EQ(ring.StreamReadPos % 2, 0u);
    }
}

// The worker ticking every 30 ms as it does while streaming, a reader emptying the ring after each tick.
struct StreamingRig : SimRig {
    std::vector<std::int16_t> received;
    StreamingRig()
    {
        loop.tickInterval = 30;
        loop.tick = [this] {
            step.Run();
            board.stream.TakeSamples(received);
        };
        loop.RunFor(310);  // start-up probe and arrival read
    }
    std::uint8_t Run(std::uint8_t code)
    {
        PostJob(board, code);
        loop.RunFor(1500);
        return board.JobState;
    }
    // Streaming, then unplugged: a recorder that streams on by its battery
    // keeps going while it is away.
    void StreamAndUnplug()
    {
        recorder.faults().streamsWhileUnplugged = true;
        ASSERT_EQ(Run(StreamStartJobCode), JobSucceeded);
        xpress.SetPlugged(false);
        link.DeviceRemoved();
        loop.RunFor(1000);
    }
    void PlugBackIn()
    {
        xpress.SetPlugged(true);
        link.DeviceArrived();
    }
};

TEST(StreamJobs, StreamDeliversExactlyWhatTheRecorderSentUntilStopped)
{
    StreamingRig rig;
    ASSERT_EQ(rig.Run(StreamStartJobCode), JobSucceeded);
    EXPECT_TRUE(rig.board.stream.Streaming);
    EXPECT_TRUE(rig.recorder.streaming());
    rig.loop.RunFor(4000);

    ASSERT_EQ(rig.Run(StreamStopJobCode), JobSucceeded);
    EXPECT_FALSE(rig.board.stream.Streaming);
    EXPECT_FALSE(rig.recorder.streaming()) << "the stop frame reached the recorder";
    EXPECT_EQ(rig.Count(protocol::CmdStreamStop), 1);

    const std::vector<std::int16_t>& sent = rig.recorder.streamedSamples();
    // About 4.8 s of streaming (the start job's wake takes 0.7 s of its 1.5); the last samples may have
    // been drained by the stop.
    EXPECT_NEAR(static_cast<double>(rig.received.size()), 4.8 * 256, 128);
    ASSERT_LE(rig.received.size(), sent.size());
    EXPECT_TRUE(std::equal(rig.received.begin(), rig.received.end(), sent.begin()));
    EXPECT_EQ(rig.board.stream.bytesLost(), 0u);
    EXPECT_NEAR(sent.front(), 2048, 150) << "recorder units around the baseline";

    // Nothing of the stream is left on the line to spoil the next command's answer.
    ASSERT_EQ(rig.Run(ReadInfoJobCode), JobSucceeded);
    EXPECT_TRUE(rig.board.infoBlock.signed_);
}

TEST(StreamJobs, OtherJobsFailAtOnceWhileStreaming)
{
    StreamingRig rig;
    ASSERT_EQ(rig.Run(StreamStartJobCode), JobSucceeded);

    const std::int64_t before = rig.loop.now;
    EXPECT_EQ(RequestJobAndWait(rig.board, rig.loop, ReadInfoJobCode, ButtonWaitStepMs), JobFailed);
    EXPECT_EQ(rig.board.failure, JobFailure::Streaming);
    EXPECT_EQ(rig.loop.now, before) << "no waiting";
    EXPECT_EQ(rig.board.RequestedJob, NoJob);

    // A job posted without the wait (the arrival's offset repair, say) is refused by the next tick.
    EXPECT_EQ(rig.Run(EraseJobCode), JobFailed);
    EXPECT_EQ(rig.board.failure, JobFailure::Streaming);
    EXPECT_EQ(rig.Count(protocol::CmdEraseRecords), 0);
    EXPECT_TRUE(rig.board.stream.Streaming);
}

TEST(StreamJobs, AnArrivalWhileStreamingWaitsForTheStreamsEnd)
{
    // Another device plugged in raises an arrival; reading the recorder's information then would take
    // stream bytes for its answer and eat samples.
    StreamingRig rig;
    ASSERT_EQ(rig.Run(StreamStartJobCode), JobSucceeded);
    const protocol::DEVICE_INFO_BLOCK before = rig.board.infoBlock;
    rig.link.DeviceArrived();
    rig.loop.RunFor(2000);
    EXPECT_TRUE(rig.board.infoBlock.signed_);
    EXPECT_EQ(rig.board.infoBlock.deviceId, before.deviceId);
    EXPECT_EQ(rig.Count(protocol::CmdReadInfo), 1) << "only the first arrival's read";
    const std::vector<std::int16_t>& sent = rig.recorder.streamedSamples();
    ASSERT_LE(rig.received.size(), sent.size());
    EXPECT_TRUE(std::equal(rig.received.begin(), rig.received.end(), sent.begin()));

    // Once the stream is over the arrival's read is made.
    ASSERT_EQ(rig.Run(StreamStopJobCode), JobSucceeded);
    rig.loop.RunFor(1500);
    EXPECT_EQ(rig.Count(protocol::CmdReadInfo), 2);
    EXPECT_TRUE(rig.board.infoBlock.signed_);
}

TEST(StreamJobs, StartFailsWithoutAnAnswerAndEndsWhenTheRecorderGoes)
{
    StreamingRig silent;
    silent.recorder.faults().noAnswer = true;
    EXPECT_EQ(silent.Run(StreamStartJobCode), JobFailed);
    EXPECT_EQ(silent.board.failure, JobFailure::NoAnswer);
    EXPECT_FALSE(silent.board.stream.Streaming);

    StreamingRig rig;
    ASSERT_EQ(rig.Run(StreamStartJobCode), JobSucceeded);
    rig.xpress.SetPlugged(false);
    rig.recorder.PowerDown();
    rig.link.DeviceRemoved();
    rig.loop.RunFor(1000);
    EXPECT_FALSE(rig.board.stream.Streaming);
}

// The start's answer comes just after its read gave up, and the samples right behind it: the job
// fails, and the recorder is told to stop rather than left streaming into every later command.
TEST(StreamJobs, ARecorderStreamingAfterAnUnansweredStartIsToldToStop)
{
    StreamingRig rig;
    rig.recorder.faults().answerDelayMs = protocol::AnswerTimeoutMs + 30;
    EXPECT_EQ(rig.Run(StreamStartJobCode), JobFailed);
    EXPECT_FALSE(rig.board.stream.Streaming);
    rig.recorder.faults().answerDelayMs = 0;
    rig.loop.RunFor(1000);
    EXPECT_GE(rig.Count(protocol::CmdStreamStop), 1);
    EXPECT_FALSE(rig.recorder.streaming());
    EXPECT_EQ(rig.Run(ReadInfoJobCode), JobSucceeded) << "the information read gets its answer, not samples";
}

TEST(StreamJobs, StopRequestedWhileTheStartWaitsIsServedByTheStart)
{
    // The window closes during the start job's wake pause: its stop request must not be lost.
    StreamingRig rig;
    PostJob(rig.board, StreamStartJobCode);
    rig.loop.At(rig.loop.now + 300, [&rig] { PostJob(rig.board, StreamStopJobCode); });
    rig.loop.RunFor(1500);
    EXPECT_EQ(rig.board.JobState, JobSucceeded);
    EXPECT_EQ(rig.board.RequestedJob, NoJob);
    EXPECT_FALSE(rig.board.stream.Streaming);
    EXPECT_FALSE(rig.recorder.streaming());
    EXPECT_EQ(rig.Count(protocol::CmdStreamStop), 1);
}

// A stop whose line does not fall quiet is sent once more, then reported; the stream stays on the board.
TEST(StreamJobs, AStopNotSeenToWorkIsSentAgainThenReported)
{
    for (int unheeded : {1, 2}) {
        SCOPED_TRACE(unheeded);
        StreamingRig rig;
        ASSERT_EQ(rig.Run(StreamStartJobCode), JobSucceeded);
        rig.recorder.faults().ignoredStreamStops = unheeded;
        const std::uint8_t end = rig.Run(StreamStopJobCode);
        EXPECT_EQ(rig.Count(protocol::CmdStreamStop), 2);
        EXPECT_EQ(end, unheeded == 1 ? JobSucceeded : JobFailed);
        EXPECT_EQ(rig.board.stream.Streaming, rig.recorder.streaming());
        if (unheeded == 2) {
            EXPECT_EQ(rig.board.failure, JobFailure::StreamNotStopped);
        }
    }
}

// Unplugged while streaming, the recorder streams on by its battery; back, it is told to stop first.
TEST(StreamJobs, ARecorderBackAfterAnUnplugWhileStreamingIsToldToStopFirst)
{
    StreamingRig rig;
    ASSERT_NO_FATAL_FAILURE(rig.StreamAndUnplug());
    ASSERT_FALSE(rig.board.stream.Streaming);
    const std::size_t before = rig.recorder.commandLog().size();
    rig.PlugBackIn();
    rig.loop.RunFor(3000);
    ASSERT_GT(rig.recorder.commandLog().size(), before);
    EXPECT_EQ(rig.recorder.commandLog()[before], protocol::CmdStreamStop);
    EXPECT_FALSE(rig.recorder.streaming());
    EXPECT_TRUE(rig.board.infoBlock.signed_) << "the arrival read got its answer, not samples";
}

// Back after an unplug and still streaming because its stops go unheeded: a
// job asked for meanwhile is not spoken into the stream (its answer would be
// samples); it ends as not stopped, and only stops reach the recorder until
// one works.
TEST(StreamJobs, NothingButTheStopIsSaidToARecorderBackAndStillStreaming)
{
    StreamingRig rig;
    ASSERT_NO_FATAL_FAILURE(rig.StreamAndUnplug());
    rig.recorder.faults().ignoredStreamStops = 2;
    const std::size_t before = rig.recorder.commandLog().size();
    rig.PlugBackIn();
    const std::uint32_t ticket = PostJob(rig.board, ReadInfoJobCode);
    rig.loop.RunFor(3000 + OwedStopFirstPauseMs);  // the second try waits for the first pause

    const std::vector<std::uint8_t>& log = rig.recorder.commandLog();
    ASSERT_GE(log.size(), before + 3);
    for (std::size_t i = before; i < before + 3; ++i)
        EXPECT_EQ(log[i], protocol::CmdStreamStop) << "command " << i - before << " after the return";
    EXPECT_FALSE(rig.recorder.streaming());
    const std::optional<JobEnd> end = EndOf(rig.board, ticket);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->state, JobFailed);
    EXPECT_EQ(end->failure, JobFailure::StreamNotStopped);
    EXPECT_TRUE(rig.board.infoBlock.signed_) << "the arrival read after the stop got its answer";
}

// Back after an unplug and heeding no stop at all: the owed stop (each try
// wakes the recorder and drains its line for up to two seconds) is tried
// again less and less often, so most ticks of the worker are free; a recorder
// that leaves and comes back is tried at once; one that heeds the stop at last
// is stopped.
TEST(StreamJobs, AnOwedStopThatIsNotHeededIsTriedLessAndLessOften)
{
    StreamingRig rig;
    ASSERT_NO_FATAL_FAILURE(rig.StreamAndUnplug());
    rig.recorder.faults().ignoredStreamStops = 1000000;
    int ticks = 0, busyTicks = 0;
    rig.loop.tick = [&] {
        const std::int64_t start = rig.loop.now;
        rig.step.Run();
        ++ticks;
        busyTicks += rig.loop.now > start;
    };
    const int stopsBefore = rig.Count(protocol::CmdStreamStop);
    rig.PlugBackIn();
    rig.loop.RunFor(60000);
    // Tried at every tick, that is two stop frames, each with its drain, every 2.7 s: 44 in the minute.
    EXPECT_LE(rig.Count(protocol::CmdStreamStop) - stopsBefore, 24);
    EXPECT_LE(busyTicks * 4, ticks) << busyTicks << " of " << ticks << " ticks were busy";
    EXPECT_TRUE(rig.recorder.streaming());

    // Just after a try, in the longest pause: unplugged and back, the next try comes at once.
    const int stops = rig.Count(protocol::CmdStreamStop);
    while (rig.Count(protocol::CmdStreamStop) == stops)
        rig.loop.RunFor(10);
    rig.loop.RunFor(3000);
    rig.xpress.SetPlugged(false);
    rig.link.DeviceRemoved();
    rig.loop.RunFor(500);
    const int stopsAway = rig.Count(protocol::CmdStreamStop);
    rig.PlugBackIn();
    rig.loop.RunFor(1000);
    EXPECT_GT(rig.Count(protocol::CmdStreamStop), stopsAway);

    rig.recorder.faults().ignoredStreamStops = 0;
    rig.loop.RunFor(OwedStopLongestPauseMs + 4000);
    EXPECT_FALSE(rig.recorder.streaming());
    EXPECT_TRUE(rig.board.infoBlock.signed_) << "the arrival read after the stop got its answer";
}

// The pause between unheeded owed stops spares idle ticks only: a job asked
// for during it gets a try at once, so a recorder that has stopped by now
// serves the job instead of failing it as still streaming untried.
TEST(StreamJobs, AJobAskedForDuringThePauseGetsAnOwedStopAtOnce)
{
    StreamingRig rig;
    ASSERT_NO_FATAL_FAILURE(rig.StreamAndUnplug());
    rig.recorder.faults().ignoredStreamStops = 1000000;
    rig.PlugBackIn();
    rig.loop.RunFor(20000);  // the pauses have grown to the longest
    const int stops = rig.Count(protocol::CmdStreamStop);
    while (rig.Count(protocol::CmdStreamStop) == stops)
        rig.loop.RunFor(10);
    rig.loop.RunFor(3000);  // that try is over: the next is almost a whole pause away

    rig.recorder.faults().ignoredStreamStops = 0;
    const std::uint32_t ticket = PostJob(rig.board, ReadInfoJobCode);
    rig.loop.RunFor(1500);
    const std::optional<JobEnd> end = EndOf(rig.board, ticket);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->state, JobSucceeded) << int(end->failure);
    EXPECT_FALSE(rig.recorder.streaming());
}

}  // namespace
