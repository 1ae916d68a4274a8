#include "device/DeviceMonitor.h"

#include <QSocketNotifier>

#include <libudev.h>

namespace device {

PresenceChange ClassifyDeviceEvent(std::string_view subsystem, std::string_view action)
{
    if (subsystem != "hidraw" && subsystem != "tty")
        return PresenceChange::None;
    if (action == "add")
        return PresenceChange::Arrived;
    if (action == "remove")
        return PresenceChange::Removed;
    return PresenceChange::None;
}

DeviceMonitor::DeviceMonitor(Link& link, QObject* parent) : QObject(parent), link_(link) {}

DeviceMonitor::~DeviceMonitor() { stop(); }

bool DeviceMonitor::start()
{
    if (notifier_)
        return true;
    udev_ = udev_new();
    if (udev_ != nullptr)
        // Events from udev itself (not the kernel's) come after the rules ran, so the
        // device node already carries the user's access when the next scan opens it.
        monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (monitor_ == nullptr || udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor_, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor_) < 0) {
        stop();
        return false;
    }
    const int fd = udev_monitor_get_fd(monitor_);
    if (fd < 0) {
        stop();
        return false;
    }
    notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &DeviceMonitor::readEvents);
    return true;
}

void DeviceMonitor::stop()
{
    delete notifier_;
    notifier_ = nullptr;
    if (monitor_)
        udev_monitor_unref(monitor_);
    monitor_ = nullptr;
    if (udev_)
        udev_unref(udev_);
    udev_ = nullptr;
}

void DeviceMonitor::readEvents()
{
    // The socket is non-blocking: take every queued event, then wait for the next wake-up.
    while (udev_device* device = udev_monitor_receive_device(monitor_)) {
        const char* subsystem = udev_device_get_subsystem(device);
        const char* action = udev_device_get_action(device);
        if (subsystem && action)
            handleEvent(subsystem, action);
        udev_device_unref(device);
    }
}

void DeviceMonitor::handleEvent(std::string_view subsystem, std::string_view action)
{
    switch (ClassifyDeviceEvent(subsystem, action)) {
    case PresenceChange::Arrived: link_.DeviceArrived(); break;
    case PresenceChange::Removed: link_.DeviceRemoved(); break;
    case PresenceChange::None: break;
    }
}

}  // namespace device
