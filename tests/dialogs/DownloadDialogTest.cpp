// The download dialog driven against the in-process simulated recorder on a
// fake clock: the job runs inside the dialog's wait, as it does in the program.
#include "TestApp.h"
#include "tests/device/SimRig.h"
#include "device/DeviceStep.h"
#include "device/JobRequest.h"
#include "device/transport/AbsentBridges.h"
#include "dialogs/MDDownload.h"
#include "dialogs/MessageBox.h"
#include "lang/TextTable.h"
#include "sim/recorder/DownloadScenarios.h"
#include "sim/recorder/SimulatedXpress.h"
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Sleeping advances the clock; pumping runs the worker's tick every 300 ms, never inside a tick.
class FakePump : public device::DeviceEnvironment {
public:
    std::int64_t now = 0;
    std::int64_t nextTick = 300;
    bool inTick = false;
    std::function<void()> tick;
    std::int64_t NowMs() override { return now; }
    device::LocalDateTime LocalNow() override { return {}; }
    void SleepMs(std::uint32_t ms) override { now += ms; }
    void Pump() override
    {
        if (tick && !inTick && now >= nextTick) {
            inTick = true;
            tick();
            inTick = false;
            nextTick = now + 300;
        }
    }
    void Post(std::function<void()> action) override { action(); }
};

struct DialogRig {
    QTemporaryDir dir;
    FakePump pump;
    sim::SimulatedRecorder recorder{[this] { return pump.now; }};
    sim::SimulatedXpress xpress{recorder, [this](std::uint32_t ms) { pump.now += ms; }};
    device::transport::AbsentHidUart hid;
    device::Link link{hid, xpress};
    device::DeviceJobBoard board;
    device::DeviceStep step{link, board, pump};
    std::vector<QString> messages;

    explicit DialogRig(int recordings)
    {
        TestApp();
        TextTable::current().SelectLanguage(1033);
        sim::FillPlainRecordings(recorder, recordings, 60);
        link.ResetForStartup();
        link.state().arrivalStage = 0;
        pump.tick = [this] { step.Run(); };
        board.dataFolder = dir.path();
        // The information read the main window's Download button does first.
        EXPECT_EQ(device::RequestJobAndWait(board, pump, device::ReadInfoJobCode, 50), device::JobSucceeded);
        TMessageBoxForm::setModalRunner([this](TMessageBoxForm& box) {
            messages.push_back(box.findChild<QLabel*>("Msg") ? box.findChild<QLabel*>("Msg")->text()
                                                                   : QString());
            box.clickButton(MsgButton::OK);
        });
    }
    ~DialogRig() { TMessageBoxForm::setModalRunner({}); }
};

TEST(DownloadDialog, ShowsTheCountDownloadsRowByRowAndErasesWhenTicked)
{
    DialogRig rig(4);
    TDownload dialog(rig.board, rig.pump, 1033);
    EXPECT_EQ(dialog.TotalFileLabel->text(), "Number of files : 4");
    EXPECT_EQ(dialog.TotalSizeLabel->text(), "Total size : 61440 Byte(s)");
    EXPECT_EQ(dialog.DeviceIDLabel->text(), "Device ID : 0012AB34");
    EXPECT_EQ(dialog.DataList->count(), 5);
    EXPECT_TRUE(dialog.OK->isEnabled());

    // Watch the dialog halfway through the third recording (and keep a picture of it when asked).
    bool seenMidway = false;
    auto shown = rig.board.downloadProgress;
    rig.board.downloadProgress = [&] {
        shown();
        const auto& c = rig.board.download;
        if (!seenMidway && c.recordIndex == 2 && c.bytesDone >= c.bytesTotal / 2 && c.bytesTotal > 0) {
            seenMidway = true;
            EXPECT_FALSE(dialog.OK->isEnabled());
            EXPECT_FALSE(dialog.AutoDel->isEnabled());
            EXPECT_GE(dialog.CGauge1->value(), 50);
            EXPECT_LT(dialog.CGauge1->value(), 100);
            EXPECT_EQ(dialog.DataList->item(1)->text(), "FileName : 0012AB34/201305/21/080137.edf");
            EXPECT_TRUE(dialog.FileLabel->text().startsWith("File: 3 / 4     Size: ")) << dialog.FileLabel->text().toStdString();
            const QString out = qEnvironmentVariable("TALMON_SCREENSHOT_DIR");
            if (!out.isEmpty()) {
                EXPECT_TRUE(dialog.grab().save(QDir(out).filePath("download-dialog.png")));
            }
        }
    };
    dialog.AutoDel->setChecked(true);
    dialog.OKClick();
    EXPECT_TRUE(seenMidway);
    ASSERT_EQ(rig.messages.size(), 1u);
    EXPECT_EQ(rig.messages[0], "All data shall be deleted from ECG device.");
    EXPECT_TRUE(rig.recorder.recordings().empty());
    EXPECT_EQ(rig.board.download.timeText, "080451");
}

// Everything stored but the erase not confirmed: "Deleting error." with the reason, never
// "Download complete.".
TEST(DownloadDialog, AFailedEraseSaysDeletingError)
{
    DialogRig rig(2);
    rig.recorder.faults().refuseErase = true;
    TDownload dialog(rig.board, rig.pump, 1033);
    dialog.AutoDel->setChecked(true);
    dialog.OKClick();
    ASSERT_EQ(rig.messages.size(), 1u);
    EXPECT_TRUE(rig.messages[0].startsWith("Deleting error.\n")) << rig.messages[0].toStdString();
    EXPECT_EQ(rig.board.download.result.storedCount(), 2);
    EXPECT_EQ(rig.recorder.recordings().size(), 2u);
}

// Download pressed while a device step runs (the arrival read after a hot-plug event, whose
// transfers pump messages): the press waits for the step instead of failing as cancelled.
TEST(DownloadDialog, APressDuringADeviceStepWaitsForIt)
{
    TestApp();
    TextTable::current().SelectLanguage(1033);
    QTemporaryDir dir;
    SimRig rig;
    sim::FillPlainRecordings(rig.recorder, 2, 60);
    rig.board.dataFolder = dir.path();
    rig.loop.RunFor(310);  // the arrival read
    ASSERT_EQ(device::RequestJobAndWait(rig.board, rig.loop, device::ReadInfoJobCode, 50), device::JobSucceeded);
    std::vector<QString> messages;
    TMessageBoxForm::setModalRunner([&](TMessageBoxForm& box) {
        messages.push_back(box.findChild<QLabel*>("Msg") ? box.findChild<QLabel*>("Msg")->text() : QString());
        box.clickButton(MsgButton::OK);
    });
    TDownload dialog(rig.board, rig.loop, 1033);
    bool pressedInsideAStep = false;
    rig.loop.At(rig.loop.now + 400, [&] {
        pressedInsideAStep = rig.board.stepRunning;
        dialog.OKClick();
    });
    rig.link.DeviceArrived();
    rig.loop.RunFor(20000);
    TMessageBoxForm::setModalRunner({});
    EXPECT_TRUE(pressedInsideAStep);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Download complete.");
    EXPECT_EQ(rig.board.download.result.storedCount(), 2);
}

TEST(DownloadDialog, ARecordingNotStoredKeepsTheRecorderFullAndSaysWhy)
{
    DialogRig rig(3);
    rig.recorder.recordings()[1].claimedSampleBytes = 1001;
    TDownload dialog(rig.board, rig.pump, 1033);
    dialog.AutoDel->setChecked(true);
    dialog.OKClick();
    ASSERT_EQ(rig.messages.size(), 1u);
    EXPECT_TRUE(rig.messages[0].startsWith("The download was cancelled.\n1 of 3 recordings stay on the recorder"))
        << rig.messages[0].toStdString();
    EXPECT_EQ(rig.recorder.recordings().size(), 3u);
    EXPECT_TRUE(dialog.DataList->item(1)->text().contains("refused")) << dialog.DataList->item(1)->text().toStdString();
}

TEST(DownloadDialog, CancelStopsTheDownloadBeforeTheNextRecording)
{
    DialogRig rig(4);
    TDownload dialog(rig.board, rig.pump, 1033);
    auto shown = rig.board.downloadProgress;
    rig.board.downloadProgress = [&] {
        shown();
        if (rig.board.download.recordIndex == 1 && rig.board.download.bytesDone > 0)
            dialog.CancelClick();  // nested inside the job, as a click during the download is
    };
    dialog.OKClick();
    ASSERT_EQ(rig.messages.size(), 1u);
    EXPECT_EQ(rig.messages[0], "The download was cancelled.");
    EXPECT_EQ(rig.board.download.result.storedCount(), 2);
    EXPECT_EQ(rig.board.JobState, device::JobFailed);
    EXPECT_EQ(rig.recorder.recordings().size(), 4u);
}

TEST(DownloadDialog, NoRecordingsOrAnAbsurdCountLeaveDownloadDisabled)
{
    DialogRig empty(0);
    TDownload none(empty.board, empty.pump, 1033);
    EXPECT_FALSE(none.OK->isEnabled());
    EXPECT_EQ(none.DataList->count(), 1);

    DialogRig absurd(1);
    absurd.board.infoBlock.bytesStored = 0xFFFFFFFFu;
    TDownload refused(absurd.board, absurd.pump, 1033);
    EXPECT_FALSE(refused.OK->isEnabled());
    EXPECT_EQ(refused.DataList->count(), 0);
}

// The keyboard starts on the command the window is for: Download, or Cancel when
// there is nothing to download; never in the list, which is empty until then.
TEST(DownloadDialog, TheKeyboardStartsOnDownloadOrElseCancel)
{
    for (const auto& [recordings, expected] : {std::pair{2, "OK"}, std::pair{0, "Cancel"}}) {
        DialogRig rig(recordings);
        TDownload dialog(rig.board, rig.pump, 1033);
        dialog.show();
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        QWidget* focus = QApplication::focusWidget();
        EXPECT_EQ(focus ? focus->objectName().toStdString() : "(none)", expected) << recordings;
    }
}

}  // namespace
