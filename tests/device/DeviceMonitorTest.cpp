#include "device/DeviceMonitor.h"

#include "device/transport/AbsentBridges.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <optional>

using namespace device;

namespace {

TEST(DeviceMonitor, EventsOfBridgeClassesMapToArrivalAndRemoval)
{
    const struct {
        const char* subsystem;
        const char* action;
        PresenceChange change;
    } cases[] = {
        {"hidraw", "add", PresenceChange::Arrived}, {"tty", "add", PresenceChange::Arrived},
        {"hidraw", "remove", PresenceChange::Removed}, {"tty", "remove", PresenceChange::Removed},
        {"hidraw", "change", PresenceChange::None}, {"tty", "bind", PresenceChange::None},
        {"usb", "add", PresenceChange::None}, {"input", "remove", PresenceChange::None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClassifyDeviceEvent(c.subsystem, c.action), c.change) << c.subsystem << " " << c.action;
}

TEST(DeviceMonitor, EventsSetPresenceBytesAndDropWhilePending)
{
    transport::AbsentHidUart hid;
    transport::AbsentXpress xpress;
    Link link(hid, xpress);
    link.ResetForStartup();
    link.ServicePresence();
    link.state().arrivalStage = 2;
    DeviceMonitor monitor(link);

    monitor.handleEvent("usb", "add");
    EXPECT_EQ(link.state().PresenceEventPending, 0);
    monitor.handleEvent("hidraw", "add");
    monitor.handleEvent("tty", "remove");  // dropped: the arrival waits for the next tick
    EXPECT_EQ(link.state().DevicePresence, DeviceAttached);
    EXPECT_EQ(link.state().arrivalStage, 1);
    EXPECT_EQ(link.state().PresenceEventPending, 1);

    link.ServicePresence();
    EXPECT_EQ(link.state().PresenceEventPending, 0);
    monitor.handleEvent("tty", "remove");
    EXPECT_EQ(link.state().DevicePresence, DeviceDetached);
}

TEST(DeviceMonitor, StartsOnUdevWhereAvailable)
{
    // The socket notifier needs the application's event dispatcher.
    int argc = 1;
    char name[] = "test_device";
    char* argv[] = {name, nullptr};
    std::optional<QCoreApplication> app;
    if (!QCoreApplication::instance())
        app.emplace(argc, argv);
    transport::AbsentHidUart hid;
    transport::AbsentXpress xpress;
    Link link(hid, xpress);
    DeviceMonitor monitor(link);
    if (!monitor.start())
        GTEST_SKIP() << "no udev monitor here";
    EXPECT_TRUE(monitor.isRunning());
    EXPECT_TRUE(monitor.start());
}

}  // namespace
