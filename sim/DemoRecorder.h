#pragma once
#include "device/BridgeApi.h"
#include "device/Link.h"
#include "sim/recorder/SimulatedRecorder.h"
#include "sim/recorder/SimulatedXpress.h"
#include <QElapsedTimer>
#include <QString>
#include <memory>

// Demo mode: an in-process simulated recorder with a few recordings that
// stands in for the serial bridge while no real recorder is attached, so a new
// user can try Settings, Download, viewing and printing at once. The demo keeps
// its own documents folder; the user's real library is never touched.
//
// Use: build it with the program's serial bridge driver, hand xpress() to the
// Link in place of that driver, and call PlugInIfAbsent(link) once the start-up
// probe has run (after the worker's first tick).

namespace sim {

class DemoRecorder {
public:
    // realXpress: the program's own serial bridge driver (may be null); it keeps serving while the
    // simulator is not plugged in. recordings: how many the simulated recorder holds.
    explicit DemoRecorder(device::XpressApi* realXpress = nullptr, int recordings = 5);
    ~DemoRecorder();
    DemoRecorder(const DemoRecorder&) = delete;
    DemoRecorder& operator=(const DemoRecorder&) = delete;

    // The serial bridge driver the Link must use in demo mode.
    device::XpressApi& xpress();
    SimulatedRecorder& recorder() { return recorder_; }

    // Call after every device tick (or once after the first): at the first call after the start-up
    // probe has run, plugs the simulator in as an arrival event when no recorder is attached. True
    // when it did; a real recorder found by the probe keeps the demo out for the whole run.
    bool PlugInIfAbsent(device::Link& link);
    // Plugs the simulator in unconditionally; raises the arrival event when link is given.
    void PlugIn(device::Link* link = nullptr);
    bool pluggedIn() const { return plugged_; }

    // The demo's stand-in for the user's documents folder: its settings folder is this + "talmon/",
    // its data folder lies below that. Ends with "/". Created when missing.
    static QString DemoDocumentsFolder();

private:
    class SwitchingXpress;
    QElapsedTimer clock_;
    SimulatedRecorder recorder_;
    SimulatedXpress simulated_;
    std::unique_ptr<SwitchingXpress> switching_;
    bool plugged_ = false;
    bool decided_ = false;  // the one chance after the start-up probe has been taken
};

}  // namespace sim
