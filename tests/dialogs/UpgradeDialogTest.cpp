// The upgrade dialog against the in-process stand-in service on loopback and
// the in-process simulated recorder: the fetch runs on real sockets, the
// firmware job inside the device step, ticked from the Qt event loop as the
// worker does, on a clock that sleeping advances at once.
#include "TestApp.h"
#include "device/DeviceStep.h"
#include "device/JobRequest.h"
#include "device/protocol/Commands.h"
#include "device/protocol/FirmwareImage.h"
#include "device/transport/AbsentBridges.h"
#include "dialogs/MDUpgrade.h"
#include "dialogs/MessageBox.h"
#include "dialogs/MessageBoxLayout.h"
#include "dialogs/SkinPicture.h"
#include "lang/ProgramTexts.h"
#include "lang/TextTable.h"
#include "sim/recorder/SimulatedXpress.h"
#include "sim/web/WebService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <algorithm>

namespace {

// Sleeping advances the clock at once; pumping processes the Qt events, so
// the dialog's own timer and its input run while the job writes.
class QtPump : public device::DeviceEnvironment {
public:
    std::int64_t now = 0;
    std::function<void()> duringPump;
    std::int64_t NowMs() override { return now; }
    device::LocalDateTime LocalNow() override { return {}; }
    void SleepMs(std::uint32_t ms) override { now += ms; }
    void Pump() override
    {
        if (duringPump) duringPump();
        QCoreApplication::processEvents();
    }
    void Post(std::function<void()> action) override { QTimer::singleShot(0, std::move(action)); }
};

struct UpgradeRig {
    QTemporaryDir dir;
    QtPump pump;
    sim::SimulatedRecorder recorder{[this] { return pump.now; }};
    sim::SimulatedXpress xpress{recorder, [this](std::uint32_t ms) { pump.now += ms; }};
    device::transport::AbsentHidUart hid;
    device::Link link{hid, xpress};
    device::DeviceJobBoard board;
    device::DeviceStep step{link, board, pump};
    QTimer worker;  // the worker's ticks, on the dialog's thread
    bool inTick = false;
    sim::WebService service;
    QStringList messages;
    // How each message looked: its title and the picture beside its text.
    QStringList looks;
    // Answers the question about upgrading (OK), every other message with OK.
    bool answerUpgrade = true;
    std::function<void()> whileAsked;
    int language = 0;

    UpgradeRig()
    {
        TestApp();
        // TALMON_SCREENSHOT_LANGUAGE=1028: the dialog in that language (upgrade-dialog-1028.png).
        language = qEnvironmentVariableIntValue("TALMON_SCREENSHOT_LANGUAGE");
        TextTable::current().SelectLanguage(language ? language : 1033);
        link.ResetForStartup();
        link.state().arrivalStage = 0;
        EXPECT_TRUE(service.listen(0, nullptr));
        worker.setInterval(20);
        QObject::connect(&worker, &QTimer::timeout, [this] {
            if (inTick) return;
            inTick = true;
            step.Run();
            inTick = false;
        });
        worker.start();
        TMessageBoxForm::setModalRunner([this](TMessageBoxForm& box) {
            const QString text = box.findChild<QLabel*>("Msg")->text();
            messages << text;
            looks << box.title() + " / " + (box.MsgImg->isVisibleTo(&box) ? box.MsgImg->pictureName() : "-");
            if (text == TextOf(137) && whileAsked) whileAsked();
            box.clickButton(text == TextOf(137) && !answerUpgrade ? MsgButton::Cancel : MsgButton::OK);
        });
    }
    ~UpgradeRig() { TMessageBoxForm::setModalRunner({}); }

    UpgradeDialogSetup setup()
    {
        UpgradeDialogSetup s;
        s.heartletIni = dir.filePath("Heartlet.ini");
        s.settingsFolder = dir.path() + "/";
        s.languageId = language ? language : 1033;
        s.directoryHost = "127.0.0.1";
        s.port = service.port();
        s.timings = firmware::FetchTimings::Fast();
        s.timings.blockMs = s.timings.replyMs = 400;
        s.board = &board;
        return s;
    }

    QString imagePath() const { return dir.filePath("tmp.rom"); }
};

QByteArray BodyOf(const QByteArray& imageFile)
{
    return imageFile.mid(128);
}

TEST(UpgradeDialog, AGoodUpgradeFlashesTheFetchedBodyAndCloses)
{
    UpgradeRig rig;
    TUpgrade dialog(rig.setup());
    dialog.show();
    // The gauge and the labels while the recorder is written, looked at once.
    int seenGauge = -1;
    QString seenLabel;
    rig.pump.duringPump = [&] {
        if (dialog.phase() == TUpgrade::Phase::Flashing && seenGauge < 0 && dialog.CGauge1->value() >= 40) {
            seenGauge = dialog.CGauge1->value();
            seenLabel = dialog.FileLabel->text();
            // TALMON_SCREENSHOT_DIR=dir: the dialog during the flash, to look at.
            if (const QString out = qEnvironmentVariable("TALMON_SCREENSHOT_DIR"); !out.isEmpty()) {
                const QString suffix = rig.language ? QStringLiteral("-%1").arg(rig.language) : QString();
                EXPECT_TRUE(dialog.grab().save(out + "/upgrade-dialog" + suffix + ".png"));
            }
            // The window cannot be closed while the recorder is written.
            dialog.close();
            dialog.reject();
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_FALSE(dialog.Cancel->isEnabled());
        }
    };
    dialog.Upgrade->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.lastJobState() != device::JobIdle; }, 20000));
    QTest::qWait(50);

    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(rig.messages, (QStringList{TextOf(137), TextOf(155)}));
    // The question looks like every other message of the manager: titled and
    // pictured, its text beside the picture rather than beside an empty space.
    const QString information = MsgDefaultTitle(MsgKind::Information, 1033) + " / image\\inMain_ic-info.bmp";
    EXPECT_EQ(rig.looks.join(" | ").toStdString(), QStringList(2, information).join(" | ").toStdString());
    EXPECT_EQ(dialog.lastJobState(), device::JobSucceeded);
    const QByteArray body = BodyOf(rig.service.firmwareImage());
    const auto& flashed = rig.recorder.flashImage();
    ASSERT_GE(flashed.size(), std::size_t(body.size()));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(flashed.data()), body.size()), body);
    EXPECT_GT(seenGauge, 0);
    EXPECT_LE(seenGauge, 100);
    EXPECT_TRUE(seenLabel.startsWith(TextOf(37) + ": ")) << seenLabel.toStdString();
    EXPECT_TRUE(seenLabel.endsWith(" / 20000 " + TextOf(40))) << seenLabel.toStdString();
    EXPECT_LE(dialog.CGauge1->value(), 100);
    EXPECT_FALSE(QFile::exists(rig.imagePath()));
}

// A recorder an earlier failed upgrade left in its boot loader (the arrival read found it so): the
// dialog flashes it as any other, and it is an ordinary recorder again, its information on the board.
TEST(UpgradeDialog, ARecorderWaitingInItsBootLoaderIsFlashedBack)
{
    UpgradeRig rig;
    rig.recorder.EnterBootLoader();
    rig.board.recorderInBootLoader = true;
    TUpgrade dialog(rig.setup());
    dialog.show();
    dialog.Upgrade->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.lastJobState() != device::JobIdle; }, 20000));
    QTest::qWait(50);
    EXPECT_EQ(dialog.lastJobState(), device::JobSucceeded);
    EXPECT_EQ(rig.messages, (QStringList{TextOf(137), TextOf(155)}));
    EXPECT_FALSE(rig.recorder.bootMode());
    EXPECT_FALSE(rig.board.recorderInBootLoader);
    EXPECT_TRUE(rig.board.infoBlock.signed_);
    EXPECT_EQ(rig.board.infoBlock.deviceId, 0x0012AB34u);
}

TEST(UpgradeDialog, AFailedFetchOrARefusedImageSaysSoAndOffersUpgradeAgain)
{
    struct Row {
        const char* name;
        std::function<void(UpgradeRig&)> script;
        int slot;
    };
    const std::vector<Row> rows = {
        {"no image offered", [](UpgradeRig& r) { r.service.faults().update.noImage = true; }, 158},
        {"stalled block", [](UpgradeRig& r) { r.service.faults().update.stallAtBlock = 2; }, 127},
        {"short block", [](UpgradeRig& r) { r.service.faults().update.shortBlockAt = 1; }, 127},
        {"bad checksum", [](UpgradeRig& r) {
             QByteArray image = r.service.firmwareImage();
             image[200] = char(image[200] ^ 0x01);
             r.service.setFirmwareImage(image);
         }, 158},
        {"nothing listens", [](UpgradeRig&) {}, 154},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        UpgradeRig rig;
        row.script(rig);
        UpgradeDialogSetup setup = rig.setup();
        if (std::string(row.name) == "nothing listens") setup.port = 1;
        TUpgrade dialog(setup);
        dialog.show();
        dialog.Upgrade->click();
        EXPECT_FALSE(dialog.Upgrade->isEnabled());
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.Upgrade->isEnabled(); }, 10000));
        EXPECT_EQ(rig.messages, QStringList{TextOf(row.slot)});
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(rig.recorder.commandLog().empty());
        EXPECT_FALSE(QFile::exists(rig.imagePath()));
        EXPECT_LE(dialog.CGauge1->value(), 100);
    }
}

TEST(UpgradeDialog, CancelDuringTheFetchAndDecliningTheQuestionFlashNothing)
{
    {
        UpgradeRig rig;
        rig.service.faults().update.trickleMs = 30;
        TUpgrade dialog(rig.setup());
        dialog.show();
        dialog.Upgrade->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.CGauge1->value() > 0; }, 5000));
        dialog.Cancel->click();
        EXPECT_FALSE(dialog.isVisible());
        QTest::qWait(300);
        EXPECT_TRUE(rig.messages.isEmpty());
        EXPECT_TRUE(rig.recorder.commandLog().empty());
        EXPECT_FALSE(QFile::exists(rig.imagePath()));
    }
    {
        UpgradeRig rig;
        rig.answerUpgrade = false;
        TUpgrade dialog(rig.setup());
        dialog.show();
        dialog.Upgrade->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.Upgrade->isEnabled(); }, 5000));
        QTest::qWait(100);
        EXPECT_EQ(rig.messages, QStringList{TextOf(137)});
        EXPECT_TRUE(rig.recorder.commandLog().empty());
        EXPECT_FALSE(rig.board.firmwareImage.has_value());
        EXPECT_FALSE(QFile::exists(rig.imagePath()));
    }
    {
        // Closed while the question is open, then answered OK: the user has gone.
        UpgradeRig rig;
        TUpgrade dialog(rig.setup());
        rig.whileAsked = [&] { dialog.reject(); };
        dialog.show();
        dialog.Upgrade->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.isVisible(); }, 5000));
        QTest::qWait(100);
        EXPECT_EQ(rig.board.RequestedJob, device::NoJob);
        EXPECT_FALSE(rig.board.firmwareImage.has_value());
        EXPECT_TRUE(rig.recorder.commandLog().empty());
    }
}

TEST(UpgradeDialog, AFailingRecorderIsReportedAndTheDialogStaysOpen)
{
    // The expected texts are taken before the first rig chooses the language.
    TextTable::current().SelectLanguage(1033);
    const QString partly = "The recorder did not take the whole image. Keep it connected and press Upgrade again.";
    struct Row {
        const char* name;
        std::function<void(UpgradeRig&)> script;
        QString says;
    };
    const std::vector<Row> rows = {
        {"block refused", [](UpgradeRig& r) { r.recorder.faults().refuseBlock = 40; }, TextOf(156) + "\n" + partly},
        {"verify bad", [](UpgradeRig& r) { r.recorder.faults().failVerify = true; }, TextOf(156) + "\n" + partly},
        {"boot mode refused", [](UpgradeRig& r) { r.recorder.faults().refuseBootMode = true; }, TextOf(122)},
        {"unplugged", [](UpgradeRig& r) { r.xpress.SetPlugged(false); }, TextOf(156) + "\n" + TextOf(118)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        UpgradeRig rig;
        row.script(rig);
        TUpgrade dialog(rig.setup());
        dialog.show();
        dialog.Upgrade->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.lastJobState() != device::JobIdle; }, 20000));
        QTest::qWait(50);
        EXPECT_EQ(rig.messages, (QStringList{TextOf(137), row.says}));
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(dialog.Upgrade->isEnabled());
        EXPECT_LE(dialog.CGauge1->value(), 100);
    }
}

TEST(UpgradeDialog, WhileTheLiveStreamRunsNothingIsFetchedOrWritten)
{
    UpgradeRig rig;
    device::PostJob(rig.board, device::StreamStartJobCode);
    rig.step.Run();
    ASSERT_TRUE(rig.board.stream.Streaming);
    TUpgrade dialog(rig.setup());
    dialog.show();
    dialog.Upgrade->click();
    EXPECT_EQ(rig.messages, QStringList{TextOf(156) + "\n" + DeviceStreamingText()});
    EXPECT_EQ(dialog.lastJobState(), device::JobFailed);
    EXPECT_TRUE(dialog.Upgrade->isEnabled());
    EXPECT_EQ(rig.board.RequestedJob, device::NoJob);
    EXPECT_FALSE(rig.board.firmwareImage.has_value());
    QTest::qWait(100);
    EXPECT_EQ(dialog.phase(), TUpgrade::Phase::Idle);
    EXPECT_TRUE(std::none_of(rig.recorder.commandLog().begin(), rig.recorder.commandLog().end(),
                             [](std::uint8_t code) { return code == device::protocol::CmdFirmware; }));
}

TEST(UpgradeDialog, TheJobsEndStateChoosesTheMessage)
{
    // The expected texts are taken before the first rig chooses the language.
    TextTable::current().SelectLanguage(1033);
    struct Row {
        std::uint8_t state;
        device::JobFailure failure;
        QString says;
    } rows[] = {{device::JobFailed, device::JobFailure::NoAnswer, TextOf(156)},
                {device::JobAborted, device::JobFailure::BootRefused, TextOf(122)},
                {device::JobCancelled, device::JobFailure::None, TextOf(122)},
                // Refused by the device step without running: the image must not stay for a later job.
                {device::JobFailed, device::JobFailure::Streaming, TextOf(156) + "\n" + DeviceStreamingText()}};
    for (const Row& row : rows) {
        SCOPED_TRACE(int(row.state));
        SCOPED_TRACE(int(row.failure));
        UpgradeRig rig;
        rig.worker.stop();  // the job stays pending until the test ends it
        TUpgrade dialog(rig.setup());
        dialog.show();
        dialog.Upgrade->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.phase() == TUpgrade::Phase::Flashing; }, 5000));
        EXPECT_EQ(rig.board.RequestedJob, device::FlashJobCode);
        ASSERT_TRUE(rig.board.firmwareImage.has_value());
        EXPECT_EQ(rig.board.flash.bytesTotal, 20000.0);
        // Refused while the job is due: neither close nor Escape ends the window.
        dialog.close();
        QTest::keyClick(&dialog, Qt::Key_Escape);
        EXPECT_TRUE(dialog.isVisible());
        rig.board.RequestedJob = device::NoJob;
        rig.board.failure = row.failure;
        rig.board.JobState = row.state;
        rig.board.RecordEnd({rig.board.requestTicket, row.state, row.failure});
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.phase() == TUpgrade::Phase::Idle; }, 2000));
        EXPECT_EQ(rig.messages, (QStringList{TextOf(137), row.says}));
        EXPECT_FALSE(rig.board.firmwareImage.has_value());
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(dialog.Upgrade->isEnabled());
        EXPECT_TRUE(dialog.Cancel->isEnabled());
    }
}

}  // namespace
