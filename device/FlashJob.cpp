#include "device/FlashJob.h"
#include "device/protocol/ByteOrder.h"
#include "device/protocol/Exchange.h"
#include "device/protocol/LiveStream.h"
#include <algorithm>

namespace device {

using namespace protocol;

namespace {

// An image the job can write as it stands: not empty, its body holding its length, and its
// checksum still matching (the requester checked the file; this catches an image changed since).
bool Writable(const FirmwareImage& image)
{
    return image.length != 0 && image.body.size() >= image.length &&
           FirmwareChecksum(image.header.data(), image.body.data(), image.length) ==
               ReadLe32(image.header.data(), FirmwareChecksumOffset);
}

}  // namespace

FlashJob::FlashJob(DeviceJobBoard& board, DeviceEnvironment& env, DeviceJobs& jobs)
    : board_(board), env_(env), jobs_(jobs)
{
}

void FlashJob::published()
{
    if (board_.flashProgress)
        board_.flashProgress();
}

void FlashJob::end(std::uint8_t state, JobFailure why)
{
    // A recorder pulled out during the job failed it, whichever step noticed; one whose bridge this
    // user may not open never heard the job at all, which is no refusal of its boot loader.
    const LinkState& link = jobs_.port().link().state();
    if (state != JobSucceeded && link.DevicePresence == DeviceDetached) {
        state = JobFailed;
        why = JobFailure::NotAttached;
    } else if (state != JobSucceeded && link.accessDenied) {
        state = JobFailed;
        why = JobFailure::NoPermission;
    }
    board_.RequestedJob = NoJob;
    board_.JobState = state;
    board_.failure = why;
}

bool FlashJob::exchange(Frame* answer)
{
    Frame scratch{};
    return Exchange(jobs_.port(), jobs_.frame().bytes(), answer ? *answer : scratch, FirmwareTimeoutMs) == FrameSize;
}

void FlashJob::Run()
{
    // The image is used once: a later request must bring its own.
    const std::optional<FirmwareImage> image = std::move(board_.firmwareImage);
    board_.firmwareImage.reset();
    board_.flash = FlashCounters{};
    board_.flash.bytesTotal = image ? image->length : 0;
    published();
    if (!image || !Writable(*image)) {
        end(JobFailed, JobFailure::NoImage);
        return;
    }

    jobs_.OpenAndWake();
    // A recorder still streaming its live signal (a run that ended without its stop) would bury the
    // boot loader's answers in samples, and the job would misread them once the recorder had already
    // given up its program. The first firmware command goes out only on a quiet line.
    if (!jobs_.DrainLine(StreamQuietMs, StreamQuietMs * 4) && !jobs_.StopStream()) {
        end(JobFailed, JobFailure::NoAnswer);
        return;
    }
    CommandFrame& frame = jobs_.frame();
    frame.Firmware(FwPresence);
    exchange();
    frame.Firmware(FwBootMode);
    exchange();
    frame.Firmware(FwPresence);
    if (!exchange()) {
        end(JobAborted, JobFailure::BootRefused);
        return;
    }

    board_.flash.writing = true;
    published();
    if (!writePages(*image))
        return;

    env_.Pump();
    PumpingSleep(env_, FlashSettleMs);
    frame.Firmware(FwVerify);
    Frame answer{};
    if (!exchange(&answer) || answer[4] != 1) {
        end(JobFailed, JobFailure::VerifyFailed);
        return;
    }

    frame.Firmware(FwReset);
    exchange();
    PumpingSleep(env_, FlashRestartMs);
    jobs_.Wake();
    frame.Firmware(FwPresence);
    if (!exchange()) {
        end(JobFailed, JobFailure::NoAnswerAfterReset);
        return;
    }
    // The boot loader answers the presence query too: only the application's
    // signed information block shows that the new program runs. Its firmware
    // version is on the board for the windows to tell. A second copy of the
    // presence answer still on its way would spoil the block: it is read away.
    jobs_.DrainLine(StaleAnswerQuietMs, StaleAnswerDrainLimitMs);
    if (!jobs_.ReadInfoBlock()) {
        end(JobFailed, JobFailure::StillInBootLoader);
        return;
    }
    end(JobSucceeded, JobFailure::None);
}

bool FlashJob::writePages(const FirmwareImage& image)
{
    CommandFrame& frame = jobs_.frame();
    const std::size_t length = image.length;
    std::size_t position = 0;
    while (position < length) {
        env_.Pump();
        // A page the boot loader did not take would receive its blocks at the previous page's place.
        frame.FirmwarePage(static_cast<std::uint8_t>(position / FirmwarePageSize));
        if (!exchange()) {
            end(JobFailed, JobFailure::PageRefused);
            return false;
        }
        frame.Firmware(FwPreparePage);
        if (!exchange()) {
            end(JobFailed, JobFailure::PageRefused);
            return false;
        }
        for (std::uint8_t block = 0; block < FirmwareBlocksPerPage && position < length; ++block) {
            // The last block is filled up from the image buffer past the length (zero).
            std::uint8_t bytes[FirmwareBlockSize]{};
            const std::size_t available = image.body.size() > position ? image.body.size() - position : 0;
            std::copy_n(image.body.begin() + static_cast<std::ptrdiff_t>(position),
                        std::min(available, FirmwareBlockSize), bytes);
            frame.FirmwareBlock(block, bytes);
            // Verifying after a refused block would risk a "good" for an image that is not all there.
            if (!exchange()) {
                end(JobFailed, JobFailure::BlockRefused);
                return false;
            }
            env_.Pump();
            // The last block counts only the bytes of the image it carries, so the total ends at the
            // image length and the gauge at 100 %.
            board_.flash.bytesDone += static_cast<double>(std::min(FirmwareBlockSize, length - position));
            published();
            env_.Pump();
            position += FirmwareBlockSize;
        }
    }
    return true;
}

}  // namespace device
