#include "sim/DemoRecorder.h"
#include "device/DeviceEnvironment.h"
#include "device/DeviceJobBoard.h"
#include "device/DeviceStep.h"
#include "device/transport/AbsentBridges.h"
#include <QDir>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace device;

namespace {

TEST(DemoRecorder, PlugsInAsAnArrivalOnlyWhenNoRecorderIsThere)
{
    transport::AbsentHidUart hid;
    transport::AbsentXpress noSerial;
    sim::DemoRecorder demo(&noSerial, 3);
    QtDeviceEnvironment env;
    Link link(hid, demo.xpress());
    DeviceJobBoard board;
    DeviceStep step(link, board, env);
    link.ResetForStartup();

    EXPECT_FALSE(demo.PlugInIfAbsent(link));  // the start-up probe has not run yet
    step.Run();
    EXPECT_EQ(link.state().DevicePresence, DeviceDetached);
    EXPECT_TRUE(demo.PlugInIfAbsent(link));
    EXPECT_FALSE(demo.PlugInIfAbsent(link));  // once
    step.Run();  // services the arrival and reads the simulator's block
    EXPECT_EQ(link.state().DevicePresence, DeviceAttached);
    EXPECT_EQ(link.state().arrivalStage, 2);
    EXPECT_TRUE(board.infoBlock.signed_);
    EXPECT_EQ(protocol::RecordCount(board.infoBlock), 3u);
}

TEST(DemoRecorder, RealRecorderKeepsTheDemoOut)
{
    sim::SimulatedRecorder realRecorder(nullptr);
    sim::SimulatedXpress realSerial(realRecorder, nullptr);
    transport::AbsentHidUart hid;
    sim::DemoRecorder demo(&realSerial);
    QtDeviceEnvironment env;
    Link link(hid, demo.xpress());
    DeviceJobBoard board;
    DeviceStep step(link, board, env);
    link.ResetForStartup();
    link.state().arrivalStage = 0;
    step.Run();
    EXPECT_EQ(link.state().DevicePresence, DeviceAttached);
    EXPECT_FALSE(demo.PlugInIfAbsent(link));
    EXPECT_FALSE(demo.pluggedIn());
    // Unplugging the real recorder later does not bring the demo in.
    realSerial.SetPlugged(false);
    link.DeviceRemoved();
    step.Run();
    EXPECT_EQ(link.state().DevicePresence, DeviceDetached);
    EXPECT_FALSE(demo.PlugInIfAbsent(link));
    EXPECT_FALSE(demo.pluggedIn());
}

TEST(DemoRecorder, OwnDocumentsFolderApartFromTheUsers)
{
    QStandardPaths::setTestModeEnabled(true);
    const QString folder = sim::DemoRecorder::DemoDocumentsFolder();
    QStandardPaths::setTestModeEnabled(false);
    EXPECT_TRUE(folder.endsWith('/'));
    EXPECT_TRUE(QDir(folder).exists());
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    EXPECT_FALSE(folder.startsWith(documents + "/talmon")) << folder.toStdString();
    EXPECT_NE(QDir::cleanPath(folder), QDir::cleanPath(documents));
}

}  // namespace
