// The main window wired to its real parts: the recording library behind the
// data list, and the device worker with the simulated recorder of demo mode.
#include "SimulatedRecording.h"
#include "WindowFixture.h"
#include "app/DeviceServices.h"
#include "dialogs/MDDownload.h"
#include "app/InstanceGuard.h"
#include "app/MainForm.h"
#include "app/Startup.h"
#include "device/protocol/RecordHeader.h"
#include "device/protocol/RecordingStream.h"
#include "dialogs/DataListView.h"
#include "dialogs/MDDownload.h"
#include "dialogs/MDSetting.h"
#include "dialogs/MessageBox.h"
#include "dialogs/SkinPicture.h"
#include "lang/TextTable.h"
#include "sim/recorder/RecordingFactory.h"
#include "store/EdfWriter.h"
#include "store/FhrBlock.h"
#include "store/RecordingLibrary.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QRadioButton>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace {

class WiringTest : public WindowFixture {};

TEST_F(WiringTest, DataListOpensAnalysesAndDeletesRecordings)
{
    const QString path = StoreSimulatedRecording(state.paths.dataFolder);
    const qint64 downloadedSize = QFileInfo(path).size();
    auto w = open();

    // The tree shows the recording under its device, month and day.
    QTreeWidget* list = w->DataList;
    ASSERT_EQ(list->topLevelItemCount(), 1);
    QTreeWidgetItem* item = list->topLevelItem(0);
    while (item->childCount() > 0)
        item = item->child(0);
    EXPECT_TRUE(item->text(0).contains("10:15:30")) << item->text(0).toStdString();

    // Opening it runs the analysis, stores the results and shows the recording's captions.
    list->expandAll();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    const QRect r = list->visualItemRect(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(r.right() - 10, r.center().y()));
    EXPECT_FALSE(w->RecordDate->text().isEmpty());
    EXPECT_TRUE(w->Memo1->isEnabled());
    FHR_BLOCK block;
    ASSERT_TRUE(ReadFhrBlock(path, block));
    EXPECT_EQ(block.Bytes[1], uint8_t('F'));
    EXPECT_EQ(QFileInfo(path).size(), downloadedSize);  // the block is refreshed in place
    ASSERT_NE(w->library()->openRecording(), nullptr);
    EXPECT_TRUE(w->library()->openRecording()->analysed);
    // The rhythm analyser beside the program was started: its file appears.
    const QString annotations = QString(path).replace(".edf", ".atr");
    EXPECT_EQ(w->library()->annotationPath(), annotations);
    EXPECT_TRUE(WaitUntil([&] { return QFile::exists(annotations); }, 10000));

    // The note is kept beside the recording.
    w->Memo1->setPlainText("after the stairs");
    EXPECT_TRUE(QFile::exists(QString(path).replace(".edf", ".cmm")));

    // Delete without a tick asks for a selection; with the tick it asks, then removes files and folders.
    w->DeleteClick();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown.last(), "Select the files to be deleted.");
    item->setCheckState(0, Qt::Checked);
    w->DeleteClick();
    EXPECT_EQ(shown.last(), "Are you sure you want to delete the selected files?");
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_FALSE(QFile::exists(annotations));
    EXPECT_FALSE(QDir(state.paths.dataFolder + "0012AB34").exists());
    w->close();
}

TEST_F(WiringTest, DemoRecorderConnectsAndAnswersTheDownloadButton)
{
    DeviceServices device(true);
    device.ResetForStartup();
    auto w = open(&device);

    // The worker's first tick probes, the demo plugs in, the information is read,
    // and the monitor timer turns the picture to connected.
    ASSERT_TRUE(WaitUntil([&] { return w->Connected->pictureName().contains("connected.bmp") &&
                                       !w->Connected->pictureName().contains("disconnected"); },
                          8000))
        << w->Connected->pictureName().toStdString();

    // Download opens the download dialog; its Download button brings the demo's recordings home
    // with real progress, and afterwards the last one is selected and opened.
    int progressCalls = 0;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        TDownload* dialog = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<TDownload*>(top); d && d->isVisible())
                dialog = d;
        if (!dialog)
            return;  // still reading the recorder's information
        poll.stop();
        EXPECT_EQ(dialog->TotalFileLabel->text(), "Number of files : 5");
        auto shownProgress = device.board().downloadProgress;
        device.board().downloadProgress = [&, shownProgress] {
            ++progressCalls;
            shownProgress();
        };
        dialog->OKClick();
    });
    poll.start();
    w->DownloadClick();
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown.last(), "Download complete.");
    EXPECT_GT(progressCalls, 5);
    const QString last = device.board().download.timeText;
    ASSERT_FALSE(last.isEmpty());
    ASSERT_NE(w->library()->openRecording(), nullptr);
    EXPECT_TRUE(w->library()->openRecording()->path.endsWith(last + ".edf"))
        << w->library()->openRecording()->path.toStdString();
    w->close();
    EXPECT_FALSE(device.worker()->isRunning());
}


TEST_F(WiringTest, RefusedRecordingIsReportedAsInformationLikeEveryMessage)
{
    // A recording file cut short: opening it is refused with a message.
    const QString path = state.paths.dataFolder + "0012AB34/201305/21/101530.edf";
    QDir().mkpath(QFileInfo(path).path());
    QFile cut(path);
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(QByteArray(300, '0'));
    cut.close();
    auto w = open();

    QStringList titles, pictures;
    TMessageBoxForm::setModalRunner([&](TMessageBoxForm& box) {
        titles.append(box.title());
        pictures.append(box.MsgImg->pictureName());
        box.clickButton(MsgButton::OK);
    });
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    ASSERT_TRUE(ClickFirstRecording(*w->DataList));
    w->DeleteClick();  // a later message of the same box

    ASSERT_EQ(titles.size(), 2);
    EXPECT_EQ(titles, QStringList({"Information", "Information"}));
    EXPECT_EQ(pictures, QStringList({"image\\inMain_ic-info.bmp", "image\\inMain_ic-info.bmp"}));
    EXPECT_TRUE(QFile::exists(path));
    w->close();
}

TEST_F(WiringTest, DemoSettingsWriteTheSimulatedRecordersClockAndBeeps)
{
    DeviceServices device(true);
    device.ResetForStartup();
    auto w = open(&device);
    ASSERT_TRUE(WaitUntil([&] { return device.demoRecorder()->pluggedIn() && device.board().infoBlock.signed_; },
                          8000));

    // The settings window opens modally after the information read; this plays the user in it.
    bool filled = false;
    QTimer user;
    user.setInterval(50);
    QObject::connect(&user, &QTimer::timeout, [&] {
        TSetting* dialog = w->findChild<TSetting*>();
        if (!dialog || !dialog->isVisible() || filled)
            return;
        filled = true;
        dialog->KeyVolOff->click();
        dialog->HeartVolOff->click();
        dialog->OK->click();
    });
    user.start();
    w->SettingsClick();
    user.stop();
    ASSERT_TRUE(filled);
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown.last(), "Changes were successfully saved.");
    const sim::SimulatedRecorder& recorder = device.demoRecorder()->recorder();
    EXPECT_EQ(recorder.info().keyBeep, 0);
    EXPECT_EQ(recorder.info().heartbeatBeep, 0);
    EXPECT_EQ(recorder.lastSettings().year, QDate::currentDate().year());
    EXPECT_EQ(recorder.lastSettings().month, QDate::currentDate().month());
    w->close();
}

// The hidden Delete All erases only with the proof of a complete download of the recorder
// attached: before any download it erases nothing; after one that brought everything home, it does.
TEST_F(WiringTest, DeleteAllErasesOnlyAfterACompleteDownloadOfThatRecorder)
{
    DeviceServices device(true);
    device.ResetForStartup();
    auto w = open(&device);
    ASSERT_TRUE(WaitUntil([&] { return device.demoRecorder()->pluggedIn() && device.board().infoBlock.signed_; },
                          8000));
    sim::SimulatedRecorder& recorder = device.demoRecorder()->recorder();
    const std::size_t held = recorder.recordings().size();
    ASSERT_GT(held, 0u);

    w->EngineeringClick("DelAll");
    ASSERT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown.last(), "Deleting error.");
    EXPECT_EQ(recorder.recordings().size(), held);

    QTimer user;
    user.setInterval(20);
    QObject::connect(&user, &QTimer::timeout, [&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<TDownload*>(top); d && d->isVisible()) {
                user.stop();
                d->OKClick();
            }
    });
    user.start();
    w->DownloadClick();
    EXPECT_EQ(shown.last(), "Download complete.");

    w->EngineeringClick("DelAll");
    EXPECT_EQ(shown.last(), "All data shall be deleted from ECG device.");
    EXPECT_TRUE(recorder.recordings().empty());
    w->close();
}

}  // namespace
