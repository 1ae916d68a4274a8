#pragma once
#include "device/Link.h"

#include <QObject>

#include <memory>
#include <string_view>

class QSocketNotifier;
struct udev;
struct udev_monitor;

// Arrival and removal of bridge devices, from the udev monitor, fed into the
// link's presence bytes just as device-change events: any hidraw or tty
// device that comes or goes counts; the next device step finds out whether
// it is a recorder. Lives on the thread that runs the device step.

namespace device {

enum class PresenceChange { None, Arrived, Removed };

// What a udev event of this subsystem and action means for the presence bytes.
PresenceChange ClassifyDeviceEvent(std::string_view subsystem, std::string_view action);

class DeviceMonitor : public QObject {
    Q_OBJECT
public:
    // link must outlive the monitor.
    explicit DeviceMonitor(Link& link, QObject* parent = nullptr);
    ~DeviceMonitor() override;

    // Starts listening; false when the udev monitor cannot be set up (events are then never seen).
    bool start();
    bool isRunning() const { return notifier_ != nullptr; }

    // Applies one event to the link; the udev slot and tests come through here.
    void handleEvent(std::string_view subsystem, std::string_view action);

private:
    void readEvents();
    void stop();

    Link& link_;
    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace device
