#pragma once
#include "device/DeviceEnvironment.h"
#include "device/DeviceJobBoard.h"

#include <optional>

namespace device {

// Wait steps of the requesters, ms: the main window's buttons and the download and upgrade
// dialogs poll every 50 ms, the settings dialog and the erase request every 300 ms.
constexpr std::uint32_t ButtonWaitStepMs = 50;
constexpr std::uint32_t SlowWaitStepMs = 300;

// Posts a job on the board (JobPending, then the code) without waiting; returns its ticket.
std::uint32_t PostJob(DeviceJobBoard& board, std::uint8_t code);

// The end of the request with `ticket`, once it has ended; nothing while it
// waits or runs. A request that left the board without an end (withdrawn)
// reads as failed.
std::optional<JobEnd> EndOf(const DeviceJobBoard& board, std::uint32_t ticket);

// Posts a job and waits, pumping messages, until its state is no longer JobPending (nor JobRunning
// when waitWhileRunning). Waits of stepMs are cut into 50 ms slices so the window stays responsive.
// Returns the end state; JobFailed at once, with nothing posted, when called from inside a device
// step, where the job could never start, and while the live stream runs (for any job but its own two).
std::uint8_t RequestJobAndWait(DeviceJobBoard& board, DeviceEnvironment& env, std::uint8_t code,
                               std::uint32_t stepMs, bool waitWhileRunning = false);

}  // namespace device
