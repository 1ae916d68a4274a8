#pragma once
#include "device/BridgeApi.h"
#include "device/DeviceEnvironment.h"
#include "device/DeviceJobBoard.h"
#include "device/DeviceStep.h"
#include "device/Link.h"
#include "device/transport/AbsentBridges.h"
#include "device/transport/BridgeSet.h"
#include "sim/DemoRecorder.h"
#include <QString>
#include <QStringList>
#include <memory>

// The recorder link of a device command: the bridges named by --link (or the
// built-in simulated recorder for "demo"), the link, a board and the device
// step, with the presence probe done and no arrival read (so nothing is
// written to the recorder behind the command's back).

namespace cli {

struct DeviceLink {
    std::unique_ptr<device::transport::BridgeSet> bridges;
    std::unique_ptr<sim::DemoRecorder> demo;
    device::transport::AbsentHidUart noHid;
    device::QtDeviceEnvironment env;
    std::unique_ptr<device::Link> link;
    device::DeviceJobBoard board;
    std::unique_ptr<device::DeviceStep> step;

    // Posts the job and runs one device step (the first also probes for the recorder).
    std::uint8_t RunJob(std::uint8_t code);
};

// Takes args[i] when it names the link: "--link NAME" (advancing i) or "--link=NAME".
bool TakeLinkOption(const QStringList& args, int& i, QString& linkName);

// Null for an unknown link name.
std::unique_ptr<DeviceLink> OpenDeviceLink(const QString& linkName);

}  // namespace cli
