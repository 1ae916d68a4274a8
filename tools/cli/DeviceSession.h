#pragma once
#include "device/DeviceEnvironment.h"
#include "device/DeviceJobBoard.h"
#include "device/DeviceStep.h"
#include "device/Link.h"
#include "device/transport/AbsentBridges.h"
#include "device/transport/BridgeSet.h"
#include "sim/DemoRecorder.h"
#include <QString>
#include <memory>

// The recorder as the device commands reach it: the bridges named by --link
// (or the built-in demo recorder), the link, the job board and the device
// step. No arrival read runs, so nothing reaches the recorder that the
// command did not ask for.

namespace cli {

struct DeviceSession {
    std::unique_ptr<device::transport::BridgeSet> bridges;
    std::unique_ptr<sim::DemoRecorder> demo;
    device::transport::AbsentHidUart noHid;
    device::QtDeviceEnvironment env;
    std::unique_ptr<device::Link> link;
    device::DeviceJobBoard board;
    std::unique_ptr<device::DeviceStep> step;

    // Requests the job and runs one device step (the first one also probes for the recorder);
    // returns the end state.
    std::uint8_t RunJob(std::uint8_t code);
};

// The session for a --link value (usb, hid, serial, serial:PATH, demo); nullptr for an unknown one.
std::unique_ptr<DeviceSession> OpenDeviceSession(const QString& linkName);

// What to tell the user when the information read failed.
QString InfoReadFailureText(device::JobFailure failure);

}  // namespace cli
