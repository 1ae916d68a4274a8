// Renders the main window and a message box to PNG files for the documentation:
//   TALMON_SCREENSHOT_DIR=docs build/bin/test_app --gtest_filter='Screenshot*'
// Without TALMON_SCREENSHOT_DIR the test is skipped.
#include "SimulatedRecording.h"
#include "TestApp.h"
#include "app/InstanceGuard.h"
#include "app/MainForm.h"
#include "app/Startup.h"
#include "device/DeviceEnvironment.h"
#include "device/DeviceJobBoard.h"
#include "dialogs/MDAbout.h"
#include "dialogs/MDSetting.h"
#include "dialogs/MDWelcome.h"
#include "dialogs/MessageBox.h"
#include "lang/TextTable.h"
#include "sim/recorder/SimulatedRecorder.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

// The window as the desktop shows it: outside the rounded region is transparent.
QImage Grab(QWidget& w)
{
    QImage image = w.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    if (!w.mask().isEmpty()) {
        QImage shaped(image.size(), QImage::Format_ARGB32);
        shaped.fill(Qt::transparent);
        QPainter p(&shaped);
        p.setClipRegion(w.mask());
        p.drawImage(0, 0, image);
        return shaped;
    }
    return image;
}

TEST(Screenshot, MainWindowAndMessageBox)
{
    const QString out = qEnvironmentVariable("TALMON_SCREENSHOT_DIR");
    if (out.isEmpty())
        GTEST_SKIP() << "set TALMON_SCREENSHOT_DIR to write the screenshots";
    TestApp();
    QTemporaryDir home;
    // TALMON_SCREENSHOT_LANGUAGE=1028 renders the windows in another language,
    // into files named after it (main-window-1028.png ...).
    const QString language = qEnvironmentVariable("TALMON_SCREENSHOT_LANGUAGE");
    const QString suffix = language.isEmpty() ? QString() : "-" + language;
    const auto file = [&](const char* name) { return QDir(out).filePath(name + suffix + ".png"); };
    if (!language.isEmpty()) {
        QDir().mkpath(home.filePath("Documents/talmon"));
        QFile setinfo(home.filePath("Documents/talmon/setinfo.ini"));
        ASSERT_TRUE(setinfo.open(QIODevice::WriteOnly));
        setinfo.write(language.toUtf8());
    }
    InstanceGuard guard;
    const StartupResult r = RunStartup(home.filePath("Documents"), TextTable::current(), guard);
    ASSERT_EQ(r.outcome, StartupOutcome::Ready);
    // One recording, opened, so that its captions show in the language.
    StoreSimulatedRecording(r.state.paths.dataFolder);
    MainWindowOptions options;
    options.showWelcome = false;
    TECGMain w(r.state, options);
    w.FormCreate();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    ASSERT_TRUE(ClickFirstRecording(*w.DataList));
    ASSERT_TRUE(Grab(w).save(file("main-window")));

    TMessageBoxForm::setModalRunner([&](TMessageBoxForm& box) {
        box.show();
        EXPECT_TRUE(Grab(box).save(file("message-box")));
        box.clickButton(MsgButton::Cancel);
    });
    w.messageBox()->ShowMessageBox(TextOf(164),
                                   MsgKind::Information, r.state.languageId, {MsgButton::OK, MsgButton::Cancel});
    TMessageBoxForm::setModalRunner({});

    TWelcome welcome;
    welcome.show();
    ASSERT_TRUE(Grab(welcome).save(file("welcome")));
    TAbout about;
    about.show();
    ASSERT_TRUE(Grab(about).save(file("about")));
    // The settings window as the demo recorder fills it.
    device::DeviceJobBoard board;
    device::QtDeviceEnvironment env;
    TSetting settings(sim::DefaultRecorderInfo(), board, env);
    settings.show();
    ASSERT_TRUE(Grab(settings).save(file("settings-dialog")));
    w.close();
}

}  // namespace
