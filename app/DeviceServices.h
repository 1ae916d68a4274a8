#pragma once
#include "app/MainDeviceControls.h"
#include "device/DeviceEnvironment.h"
#include "device/DeviceJobBoard.h"
#include "device/DeviceMonitor.h"
#include "device/DeviceStep.h"
#include "device/Link.h"
#include "device/USBThread.h"
#include "device/transport/BridgeSet.h"
#include "sim/DemoRecorder.h"

#include <QObject>
#include <memory>

// The recorder side of the program, created once by the entry and wired to
// the main window: the bridge drivers (with the simulated recorder in demo
// mode), the link, the job board, the device step, arrival and removal
// events, the main window's device handlers and the worker that paces them.
class DeviceServices {
public:
    // demo: the simulated recorder is plugged in when no real one is found.
    explicit DeviceServices(bool demo);
    ~DeviceServices();
    DeviceServices(const DeviceServices&) = delete;
    DeviceServices& operator=(const DeviceServices&) = delete;

    // Presence bytes to their start-up values (detached, probe on the first tick).
    void ResetForStartup() { link_->ResetForStartup(); }
    // Starts the arrival/removal monitor and the worker; its steps run on uiContext's thread.
    void Start(QObject* uiContext, MainWindowDeviceHooks hooks);
    // Stops the worker and waits for it; the link stays as it is.
    void Stop();
    // One device step now, on the calling (user-interface) thread: for a job that cannot wait for
    // the worker's next tick, such as stopping the live stream while the window closes.
    void RunStepNow() { step_->Run(); }

    MainDeviceControls* controls() { return controls_.get(); }
    device::Link& link() { return *link_; }
    device::DeviceJobBoard& board() { return board_; }
    device::DeviceEnvironment& env() { return env_; }
    device::USBThread* worker() { return worker_.get(); }
    bool demo() const { return demo_ != nullptr; }
    // The simulated recorder of demo mode; null otherwise.
    sim::DemoRecorder* demoRecorder() { return demo_.get(); }

private:
    std::unique_ptr<device::transport::BridgeSet> bridges_;
    std::unique_ptr<sim::DemoRecorder> demo_;
    device::QtDeviceEnvironment env_;
    std::unique_ptr<device::Link> link_;
    device::DeviceJobBoard board_;
    std::unique_ptr<device::DeviceStep> step_;
    std::unique_ptr<MainDeviceControls> controls_;
    std::unique_ptr<device::DeviceMonitor> monitor_;
    std::unique_ptr<device::USBThread> worker_;
};
