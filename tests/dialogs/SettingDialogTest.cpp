// The settings window against the recorder simulator: the device step runs the
// job the window asks for, on a fake clock; its message box answers itself.
#include "tests/device/SimRig.h"
#include "tests/support/TestApp.h"
#include "device/JobRequest.h"
#include "dialogs/MDSetting.h"
#include "dialogs/MessageBox.h"
#include "lang/TextTable.h"

#include <QApplication>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimeEdit>
#include <gtest/gtest.h>

namespace {

class SettingDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        TextTable::current().SelectLanguage(TextTable::kEnglish);
        TMessageBoxForm::setModalRunner([this](TMessageBoxForm& box) {
            messages.push_back(box.Msg->text());
            box.clickButton(MsgButton::OK);
        });
        rig.loop.RunFor(310);  // the arrival read fills the board
    }
    void TearDown() override { TMessageBoxForm::setModalRunner({}); }

    // OK, then the device step's tick, then the window's look at the board.
    void PressOkAndRunTheJob(TSetting& dialog)
    {
        dialog.OK->click();
        if (!dialog.waiting())
            return;
        rig.step.Run();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.waiting(), 5000);
    }

    SimRig rig;
    std::vector<QString> messages;
};

TEST_F(SettingDialog, FilledFromTheRecorderAndSavedWithTheComputersClock)
{
    TSetting dialog(rig.board.infoBlock, rig.board, rig.loop);
    EXPECT_EQ(dialog.DeviceIDLabel->text(), "Device ID : 0012AB34");
    EXPECT_EQ(dialog.FirmwareVer->text(), "Firmware Version : 1.20.00");
    EXPECT_EQ(dialog.Tachycardia->text(), "100");
    EXPECT_TRUE(dialog.RSensitivityM->isChecked());
    EXPECT_TRUE(dialog._1RadioBtn->isChecked());
    EXPECT_FALSE(dialog.Tachycardia->isVisibleTo(&dialog));

    dialog.KeyVolOff->click();
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    PressOkAndRunTheJob(dialog);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Changes were successfully saved.");
    EXPECT_EQ(accepted.count(), 1);
    const auto& sent = rig.recorder.lastSettings();
    EXPECT_EQ(sent.tachycardia, 100);
    EXPECT_EQ(sent.bradycardia, 60);
    EXPECT_EQ(sent.pause, 2);
    EXPECT_EQ(sent.year, 2013);  // the fake computer clock
    EXPECT_EQ(sent.second, 30);
    EXPECT_FALSE(sent.keyBeep);
    EXPECT_TRUE(sent.heartbeatBeep);
    EXPECT_EQ(rig.recorder.info().keyBeep, 0);
}

TEST_F(SettingDialog, OutOfRangeRecorderValueIsClearedOnlyByDefault)
{
    rig.recorder.SetAlarmSettings(200, 60, 2, 2);
    rig.loop.RunFor(310);
    device::PostJob(rig.board, device::ReadInfoJobCode);
    rig.step.Run();
    TSetting dialog(rig.board.infoBlock, rig.board, rig.loop);
    EXPECT_TRUE(dialog.RSensitivityL->isChecked());

    PressOkAndRunTheJob(dialog);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Tachycardia must be smaller than 190.");
    EXPECT_TRUE(dialog.OK->isEnabled());
    EXPECT_EQ(rig.recorder.settingsWrites(), 0);

    // Default, then the pickers' time.
    dialog.Default->click();
    dialog._2RadioBtn->click();
    dialog.DatePicker->setDate(QDate(2013, 5, 21));
    dialog.TimePicker->setTime(QTime(10, 15, 30));
    PressOkAndRunTheJob(dialog);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1], "Changes were successfully saved.");
    const auto& sent = rig.recorder.lastSettings();
    EXPECT_EQ(sent.tachycardia, 100);
    EXPECT_EQ(sent.sensitivity, 1);
    EXPECT_EQ(sent.year, 2013);
    EXPECT_EQ(sent.month, 5);
    EXPECT_EQ(sent.day, 21);
    EXPECT_EQ(sent.hour, 10);
    EXPECT_EQ(sent.minute, 15);
    EXPECT_EQ(sent.second, 30);
    // The pickers stay within the years the recorder can hold.
    dialog.DatePicker->setDate(QDate(2150, 1, 1));
    EXPECT_LE(dialog.DatePicker->date().year(), 2099);
}

// The window lets equal thresholds pass, but the recorder cannot hold them: its refusal is the
// window's failure, never "saved".
TEST_F(SettingDialog, ValuesTheRecorderRefusesAreNotReportedSaved)
{
    rig.recorder.SetAlarmSettings(60, 60, 2, 1);
    device::PostJob(rig.board, device::ReadInfoJobCode);
    rig.step.Run();
    TSetting dialog(rig.board.infoBlock, rig.board, rig.loop);
    PressOkAndRunTheJob(dialog);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Changes to the settings failed.");
    EXPECT_EQ(rig.recorder.settingsWrites(), 0);
    EXPECT_EQ(rig.recorder.refusedSettings(), std::vector<std::string>{"tachycardia not above bradycardia"});
}

TEST_F(SettingDialog, SwappedRecorderGetsTheFailureAndNothing)
{
    TSetting dialog(rig.board.infoBlock, rig.board, rig.loop);
    rig.recorder.info().deviceId = 0x00C0FFEE;  // another recorder plugged in meanwhile
    QSignalSpy accepted(&dialog, &QDialog::accepted);
    PressOkAndRunTheJob(dialog);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Changes to the settings failed.");
    EXPECT_FALSE(dialog.OK->isEnabled());  // only Cancel and the close picture remain
    EXPECT_EQ(accepted.count(), 0);
    EXPECT_EQ(rig.recorder.settingsWrites(), 0);
    EXPECT_EQ(rig.recorder.info().deviceId, 0x00C0FFEEu);
}

}  // namespace

// A time typed into the clock field after clicking it goes in as typed: the
// click that brings focus starts at the hours, a later click at the part clicked.
TEST_F(SettingDialog, TimeIsTypedAfterAClickInTheField)
{
    TSetting dialog(rig.board.infoBlock, rig.board, rig.loop);
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    dialog._2RadioBtn->click();
    QTimeEdit* field = dialog.TimePicker;
    field->setTime(QTime(14, 25, 30));
    auto* text = field->findChild<QLineEdit*>();
    ASSERT_NE(text, nullptr);
    const auto clickAt = [&](double share) {
        QTest::mouseClick(text, Qt::LeftButton, {}, QPoint(int(text->width() * share), text->height() / 2));
        QCoreApplication::processEvents();
    };

    struct Case { double clickShare; const char* typed; QTime expected; };
    const Case cases[] = {
        {0.95, "093015", QTime(9, 30, 15)},  // first click, past the seconds: the whole time
        {0.45, "45", QTime(9, 45, 15)},      // then the minutes alone
        {0.05, "7", QTime(7, 45, 15)},       // then the hours, one digit
    };
    for (const Case& c : cases) {
        clickAt(c.clickShare);
        QTest::keyClicks(field, c.typed);
        QTest::keyClick(field, Qt::Key_Tab);  // leaving the field finishes the entry
        EXPECT_EQ(field->time(), c.expected) << c.typed;
        field->setFocus(Qt::OtherFocusReason);
    }
}

// A date and a time typed from the keyboard alone, after Tab brings the field the
// focus, as the field shows them (with their separators) or as digits only.
TEST_F(SettingDialog, DateAndTimeAreTypedAfterTab)
{
    TSetting dialog(rig.board.infoBlock, rig.board, rig.loop);
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    dialog._2RadioBtn->click();
    dialog.DatePicker->setDate(QDate(2026, 12, 11));
    dialog.TimePicker->setTime(QTime(9, 20, 9));

    // The time's rows start from the date field, which Tab leaves for the time.
    struct Case { QDateTimeEdit* field; QWidget* from; const char* typed; QDateTime expected; };
    const Case cases[] = {
        {dialog.DatePicker, dialog._2RadioBtn, "2026-12-24", QDateTime(QDate(2026, 12, 24), QTime())},
        {dialog.DatePicker, dialog._2RadioBtn, "20250301", QDateTime(QDate(2025, 3, 1), QTime())},
        {dialog.DatePicker, dialog._2RadioBtn, "2024-2-29", QDateTime(QDate(2024, 2, 29), QTime())},
        {dialog.TimePicker, dialog.DatePicker, "10:45:00", QDateTime(QDate(2000, 1, 1), QTime(10, 45, 0))},
        {dialog.TimePicker, dialog.DatePicker, "074501", QDateTime(QDate(2000, 1, 1), QTime(7, 45, 1))},
        {dialog.TimePicker, dialog.DatePicker, "8:5:30", QDateTime(QDate(2000, 1, 1), QTime(8, 5, 30))},
    };
    for (const Case& c : cases) {
        c.from->setFocus(Qt::OtherFocusReason);
        if (auto* date = qobject_cast<QDateTimeEdit*>(c.from))  // Tab leaves a field from its last part
            date->setCurrentSectionIndex(date->sectionCount() - 1);
        QTest::keyClick(c.from, Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), c.field) << c.typed;
        for (const char* ch = c.typed; *ch; ++ch) {
            if (*ch == ':') QTest::keyClick(c.field, Qt::Key_Shift);  // as a keyboard types it
            QTest::keyClicks(c.field, QString(QChar(*ch)));
        }
        QTest::keyClick(c.field, Qt::Key_Tab);
        if (c.field == dialog.DatePicker)
            EXPECT_EQ(dialog.DatePicker->date(), c.expected.date()) << c.typed;
        else
            EXPECT_EQ(dialog.TimePicker->time(), c.expected.time()) << c.typed;
    }
}
