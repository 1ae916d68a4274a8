#include "device/DeviceStep.h"

#include "device/JobRequest.h"

#include <utility>

namespace device {

DeviceStep::DeviceStep(Link& link, DeviceJobBoard& board, DeviceEnvironment& env)
    : link_(link), board_(board), env_(env), jobs_(link, board, env), download_(link, board, env, jobs_),
      flash_(board, env, jobs_), stream_(link, board, env, jobs_)
{
    handlers_[StreamStartJobCode] = [this] { stream_.StartJob(); };
    handlers_[StreamStopJobCode] = [this] { stream_.StopJob(); };
    handlers_[DownloadJobCode] = [this] { download_.Run(); };
    handlers_[ReadInfoJobCode] = [this] { jobs_.ReadInfoJob(); };
    handlers_[WriteSettingsJobCode] = [this] { jobs_.WriteSettingsJob(); };
    handlers_[EraseJobCode] = [this] { jobs_.EraseJob(); };
    handlers_[FlashJobCode] = [this] { flash_.Run(); };
}

void DeviceStep::SetJobHandler(std::uint8_t code, std::function<void()> job)
{
    handlers_[code] = std::move(job);
}

void DeviceStep::Run()
{
    // Jobs pump messages; the worker's next tick must not start a second job inside this one.
    if (board_.stepRunning)
        return;
    board_.stepRunning = true;
    link_.ServicePresence();
    LinkState& s = link_.state();
    if (std::exchange(s.replugged, false)) {
        // Pulled out and put back since the last tick: what held for the recorder before (a stream
        // running, a repair owed) holds as after any removal.
        repairOwed_.reset();
        stream_.Abandon();
    }
    // A recorder that left while streaming may be streaming still: it is told to stop before anything
    // else is said to it, and its arrival read waits until its line is quiet.
    const bool stopOwed = !s.PresenceEventPending && s.DevicePresence == DeviceAttached && !stream_.SendOwedStop();
    // While the recorder streams, an arrival (another device plugged in) waits for the stream's end:
    // the information read would take samples for its answer.
    if (!s.PresenceEventPending && s.DevicePresence == DeviceAttached && s.arrivalStage == 1 &&
        !board_.stream.Streaming && !stopOwed)
        arrivalRead();
    if (s.DevicePresence == DeviceDetached) {
        // Every request fails at once while no recorder is there, and is withdrawn.
        const bool requested = board_.RequestedJob != NoJob;
        board_.JobState = JobFailed;
        board_.RequestedJob = NoJob;
        board_.failure = s.accessDenied ? JobFailure::NoPermission : JobFailure::NotAttached;
        if (requested)
            board_.RecordEnd(JobEnd{board_.requestTicket, JobFailed, board_.failure});
        board_.recorderInBootLoader = false;
        repairOwed_.reset();
        stream_.Abandon();
    } else if (s.DevicePresence == DeviceAttached && stopOwed) {
        // Still streaming: a job's frames would be lost in the stream and samples read as its answer.
        // The stop is sent again in the next tick; the request ends now rather than wait on a recorder
        // that may never stop.
        if (board_.RequestedJob != NoJob) {
            board_.RequestedJob = NoJob;
            board_.JobState = JobFailed;
            board_.failure = JobFailure::StreamNotStopped;
            board_.RecordEnd(JobEnd{board_.requestTicket, JobFailed, board_.failure});
        }
    } else if (s.DevicePresence == DeviceAttached) {
        postOwedRepair();
        runRequestedJob();
        if (board_.stream.Streaming)
            stream_.ReadAvailable();
    }
    board_.stepRunning = false;
}

void DeviceStep::arrivalRead()
{
    jobs_.OpenAndWake();
    const bool signedBlock = jobs_.ReadInfoBlockOrFindBootLoader();
    link_.state().arrivalStage = 2;
    // A recorder reporting a DC offset out of range gets the default written back in this same tick,
    // unseen by the user.
    if (signedBlock && protocol::NeedsOffsetRepair(board_.infoBlock)) {
        repairOwed_ = OffsetRepairSettings(board_.infoBlock, env_.LocalNow());
        repairRecorderId_ = board_.infoBlock.deviceId;
    }
}

bool DeviceStep::boardFree() const
{
    return board_.RequestedJob == NoJob && board_.JobState != JobPending && board_.JobState != JobRunning;
}

// The repair is the step's own request: it never replaces one a window made.
// With the board taken it waits, and goes ahead in a later tick while the
// same recorder is there.
void DeviceStep::postOwedRepair()
{
    if (!repairOwed_ || !boardFree() || board_.stream.Streaming)
        return;
    if (board_.infoBlock.signed_ && board_.infoBlock.deviceId != repairRecorderId_) {
        repairOwed_.reset();
        return;
    }
    board_.settings = *repairOwed_;
    board_.settingsRecorderId = repairRecorderId_;
    board_.settingsAreOffsetRepair = true;
    repairOwed_.reset();
    PostJob(board_, WriteSettingsJobCode);
}

void DeviceStep::runRequestedJob()
{
    if (board_.RequestedJob == NoJob || env_.NowMs() < board_.recorderBackAtMs)
        return;
    const std::uint32_t ticket = board_.requestTicket;
    runJob(board_.RequestedJob);
    if (board_.JobState == JobPending || board_.JobState == JobRunning)
        return;
    board_.RecordEnd(JobEnd{ticket, board_.JobState, board_.failure});
    // A request posted while the job ran (its transfers pump messages) stays
    // on the board, unless the job served it too.
    bool served = false;
    for (const JobEnd& end : board_.ends)
        served = served || end.ticket == board_.requestTicket;
    if (board_.requestTicket != ticket && !served) {
        board_.RequestedJob = board_.postedJob;
        board_.JobState = JobPending;
    }
}

void DeviceStep::runJob(std::uint8_t code)
{
    // The recorder talks of nothing else while it streams: any other job would wait in vain.
    if (board_.stream.Streaming && code != StreamStartJobCode && code != StreamStopJobCode) {
        board_.RequestedJob = NoJob;
        board_.JobState = JobFailed;
        board_.failure = JobFailure::Streaming;
        return;
    }
    auto it = handlers_.find(code);
    if (it == handlers_.end() || !it->second) {
        board_.RequestedJob = NoJob;
        board_.JobState = JobFailed;
        board_.failure = JobFailure::UnknownJob;
        return;
    }
    it->second();
}

}  // namespace device
