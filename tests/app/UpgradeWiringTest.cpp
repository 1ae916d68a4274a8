// The main window's hidden Upgrade command in demo mode: the in-process
// stand-in service offers its image, and the demo recorder takes it through
// the real worker and device step.
#include "WindowFixture.h"
#include "app/DeviceServices.h"
#include "app/InstanceGuard.h"
#include "app/MainForm.h"
#include "app/Startup.h"
#include "app/UploadController.h"
#include "dialogs/MDUpgrade.h"
#include "dialogs/MessageBox.h"
#include "lang/TextTable.h"
#include "sim/web/WebService.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class UpgradeWiring : public WindowFixture {};

TEST_F(UpgradeWiring, TheHiddenUpgradeButtonFlashesTheDemoRecorder)
{
    DeviceServices device(true);
    device.ResetForStartup();
    const std::unique_ptr<TECGMain> window = open(&device);
    TECGMain& w = *window;
    ASSERT_TRUE(w.uploadController()->startDemoService());
    ASSERT_TRUE(QTest::qWaitFor([&] { return device.board().infoBlock.deviceId != 0; }, 8000));

    QTimer press;
    press.setInterval(20);
    QObject::connect(&press, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<TUpgrade*>(QApplication::activeModalWidget())) {
            press.stop();
            dialog->Upgrade->click();
        }
    });
    press.start();
    w.findChild<QPushButton*>("UpgradeBtn")->click();  // returns when the dialog has closed

    EXPECT_EQ(shown, (QStringList{"Do you want to upgrade firmware ?", "Firmware upgrade completed."}));
    EXPECT_FALSE(QFile::exists(state.paths.settingsFolder + "tmp.rom"));
    const QByteArray body = sim::WebService::DefaultFirmwareImage().mid(128);
    const auto& flashed = device.demoRecorder()->recorder().flashImage();
    ASSERT_GE(flashed.size(), std::size_t(body.size()));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(flashed.data()), body.size()), body);
    w.close();
}

}  // namespace
