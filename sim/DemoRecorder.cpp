#include "sim/DemoRecorder.h"
#include "sim/recorder/RecordingFactory.h"
#include <QDir>
#include <QStandardPaths>
#include <QThread>

namespace sim {

namespace {
constexpr int StatusNoDevice = 1;
}  // namespace

// Forwards to the real driver until the simulator is plugged in, then to the simulator.
class DemoRecorder::SwitchingXpress : public device::XpressApi {
public:
    SwitchingXpress(device::XpressApi* real, SimulatedXpress& simulated, const bool& useSimulator)
        : real_(real), simulated_(simulated), useSimulator_(useSimulator)
    {
    }
    int GetNumDevices(std::uint32_t* count) override
    {
        if (useSimulator_)
            return simulated_.GetNumDevices(count);
        if (real_)
            return real_->GetNumDevices(count);
        *count = 0;
        return 0;
    }
    int GetProductString(std::uint32_t index, std::string* text) override
    {
        return pick() ? pick()->GetProductString(index, text) : StatusNoDevice;
    }
    int Open(std::uint32_t index, Handle* handle) override
    {
        return pick() ? pick()->Open(index, handle) : StatusNoDevice;
    }
    int SetBaudRate(Handle handle, std::uint32_t baud) override
    {
        return pick() ? pick()->SetBaudRate(handle, baud) : StatusNoDevice;
    }
    int Close(Handle handle) override { return pick() ? pick()->Close(handle) : StatusNoDevice; }
    int FlushBuffers(Handle handle, bool transmit, bool receive) override
    {
        return pick() ? pick()->FlushBuffers(handle, transmit, receive) : StatusNoDevice;
    }
    int SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) override
    {
        return pick() ? pick()->SetTimeouts(readMs, writeMs) : 0;
    }
    int Write(Handle handle, const std::uint8_t* buffer, std::uint32_t count, std::uint32_t* written) override
    {
        *written = 0;
        return pick() ? pick()->Write(handle, buffer, count, written) : StatusNoDevice;
    }
    int Read(Handle handle, std::uint8_t* buffer, std::uint32_t count, std::uint32_t* got) override
    {
        *got = 0;
        return pick() ? pick()->Read(handle, buffer, count, got) : StatusNoDevice;
    }

private:
    device::XpressApi* pick() { return useSimulator_ ? &simulated_ : real_; }
    device::XpressApi* real_;
    SimulatedXpress& simulated_;
    const bool& useSimulator_;
};

DemoRecorder::DemoRecorder(device::XpressApi* realXpress, int recordings)
    : recorder_([this] { return clock_.isValid() ? clock_.elapsed() : 0; }),
      simulated_(recorder_, [](std::uint32_t ms) { QThread::msleep(ms); })
{
    clock_.start();
    recorder_.recordings() = DemoRecordings(recorder_.info(), recordings);
    simulated_.SetPlugged(false);
    switching_ = std::make_unique<SwitchingXpress>(realXpress, simulated_, plugged_);
}

DemoRecorder::~DemoRecorder() = default;

device::XpressApi& DemoRecorder::xpress()
{
    return *switching_;
}

void DemoRecorder::PlugIn(device::Link* link)
{
    plugged_ = true;
    simulated_.SetPlugged(true);
    if (link)
        link->DeviceArrived();
}

bool DemoRecorder::PlugInIfAbsent(device::Link& link)
{
    const device::LinkState& s = link.state();
    if (decided_ || s.ProbeAtStart)
        return false;
    decided_ = true;
    if (plugged_ || s.DevicePresence == device::DeviceAttached)
        return false;
    PlugIn(&link);
    return true;
}

QString DemoRecorder::DemoDocumentsFolder()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::tempPath();
    const QString folder = base + QStringLiteral("/talmon-ecg-manager-demo/");
    QDir().mkpath(folder);
    return folder;
}

}  // namespace sim
