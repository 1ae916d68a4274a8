#pragma once
#include "TestApp.h"
#include "app/DeviceServices.h"
#include "app/InstanceGuard.h"
#include "app/MainForm.h"
#include "app/Startup.h"
#include "dialogs/MessageBox.h"
#include "lang/TextTable.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

// Runs the event loop until done() holds or ms have passed; the result of done() at the end.
inline bool WaitUntil(const std::function<bool()>& done, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// The main window's tests: a fresh home folder after start-up, English texts, and every message
// box answered OK at once, its text kept in `shown`.
class WindowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        TextTable::current().SelectLanguage(1033);
        state = RunStartup(home.filePath("Documents"), TextTable::current(), guard).state;
        TMessageBoxForm::setModalRunner([this](TMessageBoxForm& box) {
            shown.append(box.findChild<QLabel*>("Msg")->text());
            box.clickButton(MsgButton::OK);
        });
    }
    void TearDown() override { TMessageBoxForm::setModalRunner({}); }

    // The window as start-up shows it (without the welcome), with the given device services or none.
    std::unique_ptr<TECGMain> open(DeviceServices* device = nullptr)
    {
        MainWindowOptions options;
        options.showWelcome = false;
        auto window = std::make_unique<TECGMain>(state, options);
        window->attachDevice(device);
        window->FormCreate();
        window->show();
        return window;
    }

    QTemporaryDir home;
    InstanceGuard guard;
    StartupState state;
    QStringList shown;
};
