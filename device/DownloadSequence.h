#pragma once
#include "device/DeviceEnvironment.h"
#include "device/DeviceJobBoard.h"

namespace device {

// How the download window's Download button ends.
enum class DownloadClose : std::uint8_t {
    Downloaded,   // everything home, no erase asked for
    Erased,       // everything home and the recorder erased
    EraseFailed,  // everything home, the erase was asked for and did not happen (eraseRefusal says why)
    NotComplete,  // the download did not bring everything home (its result says why); nothing erased
};

// The download window's sequence below the window: the download, then, when erase is asked for, the
// erase with the condition this very download gave. An erase is never requested without one.
DownloadClose DownloadThenErase(DeviceJobBoard& board, DeviceEnvironment& env, bool erase);

}  // namespace device
