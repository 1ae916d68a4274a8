#pragma once
#include "device/DeviceEnvironment.h"
#include "device/DeviceJobBoard.h"
#include "device/DeviceJobs.h"

// The firmware job (code 253): writes the board's firmware image into the
// recorder through its boot loader, in 512-byte pages of sixteen 32-byte
// blocks, asks the boot loader to verify, resets the recorder and checks that
// it answers again. Runs inside one device step and publishes its progress in
// the board's flash counters.
//
// A recorder can be left without firmware by a bad flash, so every step either
// completes or ends the job: JobSucceeded only after a good verify and an
// answer after the reset; JobAborted when the boot loader never took over
// (nothing written); JobFailed otherwise, with the step in the board's failure.
// A refused page, block or verify sends no reset: the recorder stays in its
// boot loader, where the next attempt can flash it again.

namespace device {

class FlashJob {
public:
    FlashJob(DeviceJobBoard& board, DeviceEnvironment& env, DeviceJobs& jobs);

    void Run();

private:
    // One firmware sub-command through Exchange; true when it was accepted.
    bool exchange(protocol::Frame* answer = nullptr);
    bool writePages(const protocol::FirmwareImage& image);
    void end(std::uint8_t state, JobFailure why);
    void published();

    DeviceJobBoard& board_;
    DeviceEnvironment& env_;
    DeviceJobs& jobs_;
};

// Pause before the verify, and after the reset before the recorder is woken again, ms.
constexpr std::uint32_t FlashSettleMs = 200;
constexpr std::uint32_t FlashRestartMs = 2000;

}  // namespace device
