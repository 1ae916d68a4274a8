// The recorder simulator behind a real pseudo-terminal: the serial transport,
// the device step and the command line against it, end to end.
#include "device/DeviceEnvironment.h"
#include "device/DeviceJobBoard.h"
#include "device/DeviceJobs.h"
#include "device/DeviceStep.h"
#include "device/JobRequest.h"
#include "device/Link.h"
#include "device/transport/AbsentBridges.h"
#include "device/transport/SerialXpress.h"
#include "sim/recorder/PtyRecorderServer.h"
#include "sim/recorder/RecordingFactory.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

using namespace device;

namespace {

// The simulator served on a pseudo-terminal and the program's side opened on it:
// configure recorder, then start().
class RecorderSimOnPty : public ::testing::Test {
protected:
    void start()
    {
        std::string error;
        ASSERT_TRUE(server.Open(&error)) << error;
        serving = std::thread([this] { server.Serve(stop); });
        xpress = std::make_unique<transport::SerialXpress>(server.path());
        link = std::make_unique<Link>(hid, *xpress);
        step = std::make_unique<DeviceStep>(*link, board, env);
        link->ResetForStartup();
    }
    void TearDown() override
    {
        stop = true;
        if (serving.joinable())
            serving.join();
    }

    QElapsedTimer clock = [] {
        QElapsedTimer c;
        c.start();
        return c;
    }();
    sim::SimulatedRecorder recorder{[this] { return clock.elapsed(); }};
    sim::PtyRecorderServer server{recorder};
    std::atomic<bool> stop{false};
    std::thread serving;
    transport::AbsentHidUart hid;
    std::unique_ptr<transport::SerialXpress> xpress;
    QtDeviceEnvironment env;
    std::unique_ptr<Link> link;
    DeviceJobBoard board;
    std::unique_ptr<DeviceStep> step;
};

TEST_F(RecorderSimOnPty, JobsRunOverTheSerialTransport)
{
    recorder.recordings() = sim::DemoRecordings(recorder.info(), 2);
    recorder.info().dcOffset = 3000;  // out of range: the arrival read repairs it
    start();
    step->Run();  // probe, arrival read, repair
    EXPECT_EQ(link->state().DevicePresence, DeviceAttached);
    EXPECT_TRUE(board.infoBlock.signed_);
    EXPECT_EQ(board.infoBlock.dcOffset, 3000);
    EXPECT_EQ(board.JobState, JobSucceeded);

    PostJob(board, ReadInfoJobCode);
    step->Run();
    EXPECT_EQ(board.JobState, JobSucceeded);
    EXPECT_EQ(board.infoBlock.dcOffset, 2048);  // the repair reached the recorder
    EXPECT_EQ(protocol::RecordCount(board.infoBlock), 2u);

    // An erase carries the proof of a complete download of this recorder.
    PostJob(board, EraseJobCode);
    step->Run();
    EXPECT_EQ(board.JobState, JobFailed);
    EXPECT_EQ(board.eraseRefusal, EraseRefusal::NoCondition);
    board.eraseOnlyIf = EraseCondition{board.infoBlock.deviceId, board.infoBlock.bytesStored};
    PostJob(board, EraseJobCode);
    step->Run();
    EXPECT_EQ(board.JobState, JobSucceeded);

    stop = true;
    serving.join();
    EXPECT_TRUE(recorder.recordings().empty());
}

// A pseudo-terminal hands written bytes to the other end a moment later, and a flush of the host's
// end (re-opening the link flushes) drops what is still on its way; a real line has sent them by
// then. The speed commands, which get no answer, are therefore given that moment here.
void LetTheFrameThrough()
{
    QThread::msleep(50);
}

// The line speed the host sets on its end of the tty decides whether the recorder hears it.
TEST_F(RecorderSimOnPty, LineSpeedMustMatchTheRecorders)
{
    start();
    link->state().arrivalStage = 0;
    step->Run();
    DeviceJobs& jobs = step->jobs();
    auto fastRead = [&] {
        jobs.OpenAndWake();
        jobs.frame().SetLinkSpeed(protocol::RateCodeFast);
        jobs.port().WriteBlock(jobs.frame().data(), protocol::FrameSize, 1000);
        LetTheFrameThrough();
        link->SetRateCode(protocol::RateCodeFast);
        link->OpenLink();
        return jobs.ReadInfoBlock();
    };
    EXPECT_TRUE(fastRead());
    EXPECT_EQ(recorder.rateCode(), 8);
    // Back to 230400 with the end-of-downloading command, sent at the fast speed.
    jobs.frame().RequestRecord(protocol::RecordEnd);
    jobs.port().WriteBlock(jobs.frame().data(), protocol::FrameSize, 1000);
    LetTheFrameThrough();
    link->SetRateCode(protocol::RateCodeNormal);
    link->OpenLink();
    EXPECT_TRUE(jobs.ReadInfoBlock());

    recorder.faults().refuseFastLink = true;
    EXPECT_FALSE(fastRead());  // the host speaks 921600 to a recorder still at 230400
    EXPECT_EQ(recorder.rateCode(), 2);

}

struct CliRun {
    int exitCode;
    QString out;
    QString err;
};

CliRun RunCli(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(TALMON_BIN_DIR "/ecg-cli"), args);
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

TEST(RecorderSimPty, DeviceInfoCommandAgainstRecorderSim)
{
    QProcess simProcess;
    simProcess.start(QStringLiteral(TALMON_BIN_DIR "/recorder-sim"), {"--recordings", "7", "--id", "00C0FFEE"});
    ASSERT_TRUE(simProcess.waitForStarted(10000));
    ASSERT_TRUE(simProcess.waitForReadyRead(10000));
    const QString path = QString::fromUtf8(simProcess.readLine()).trimmed();
    ASSERT_TRUE(path.startsWith("/dev/")) << path.toStdString();

    const CliRun text = RunCli({"device", "info", "--link", "serial:" + path});
    EXPECT_EQ(text.exitCode, 0) << text.err.toStdString();
    EXPECT_TRUE(text.out.contains("Device ID : 00C0FFEE")) << text.out.toStdString();
    EXPECT_TRUE(text.out.contains("Number of files : 7")) << text.out.toStdString();
    EXPECT_TRUE(text.out.contains("Firmware Version : 1.20.00"));

    const CliRun json = RunCli({"device", "info", "--link", "serial:" + path, "--json"});
    EXPECT_EQ(json.exitCode, 0);
    const QJsonObject info = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(info.value("deviceId").toString(), "00C0FFEE") << json.out.toStdString();
    EXPECT_EQ(info.value("recordings").toInt(), 7);
    EXPECT_EQ(info.value("dcOffset").toInt(), 2048);
    EXPECT_EQ(json.out.count('\n'), 1);  // one line, for scripts

    simProcess.terminate();
    EXPECT_TRUE(simProcess.waitForFinished(10000));
    EXPECT_EQ(simProcess.exitCode(), 0);
}

TEST(RecorderSimPty, DeviceInfoCommandDemoAndNoRecorder)
{
    const CliRun demo = RunCli({"device", "info", "--link", "demo"});
    EXPECT_EQ(demo.exitCode, 0) << demo.err.toStdString();
    for (const char* line : {"Device ID : 0012AB34", "Firmware Version : 1.20.00", "Total size : 76800 Byte(s)",
                             "Number of files : 5", "Tachycardia : 100 bpm", "Bradycardia : 60 bpm", "Pause : 2 s",
                             "Rhythm sensitivity : Medium", "Beep button : On", "DC offset : 2048", "MID : 20130521"})
        EXPECT_TRUE(demo.out.contains(line)) << line << "\n" << demo.out.toStdString();

    const CliRun none = RunCli({"device", "info", "--link", "serial:/dev/no-such-recorder"});
    EXPECT_NE(none.exitCode, 0);
    EXPECT_EQ(none.err.trimmed(), "Check that the ECG device is connected.");
    EXPECT_TRUE(none.out.isEmpty());

    const CliRun bad = RunCli({"device", "info", "--link", "bluetooth"});
    EXPECT_EQ(bad.exitCode, 2);
}

QString StartRecorderSim(QProcess& simProcess, const QStringList& args)
{
    simProcess.start(QStringLiteral(TALMON_BIN_DIR "/recorder-sim"), args);
    if (!simProcess.waitForStarted(10000) || !simProcess.waitForReadyRead(10000))
        return {};
    return QString::fromUtf8(simProcess.readLine()).trimmed();
}

TEST(RecorderSimPty, SettingsCommandRoundTrip)
{
    QTemporaryDir logFolder;
    const QString logPath = logFolder.filePath("frames.log");
    QProcess simProcess;
    const QString path = StartRecorderSim(simProcess, {"--recordings", "1", "--log", logPath});
    ASSERT_TRUE(path.startsWith("/dev/")) << path.toStdString();
    const QString link = "serial:" + path;

    const CliRun write = RunCli({"device", "settings", "--link", link, "--tachycardia", "150", "--bradycardia", "40",
                                 "--pause", "3", "--sensitivity", "high", "--key-beep", "off", "--clock",
                                 "2013-05-21 10:15:30", "--json"});
    EXPECT_EQ(write.exitCode, 0) << write.err.toStdString() << write.out.toStdString();
    const QJsonObject result = QJsonDocument::fromJson(write.out.toUtf8()).object();
    EXPECT_TRUE(result.value("saved").toBool());
    EXPECT_EQ(result.value("message").toString(), "Changes were successfully saved.");
    EXPECT_EQ(result.value("settings").toObject().value("clock").toString(), "2013-05-21 10:15:30");

    const CliRun read = RunCli({"device", "info", "--link", link});
    for (const char* line : {"Tachycardia : 150 bpm", "Bradycardia : 40 bpm", "Pause : 3 s", "Rhythm sensitivity : High",
                             "Beep button : Off", "Beep with each heartbeat : On", "Device ID : 0012AB34"})
        EXPECT_TRUE(read.out.contains(line)) << line << "\n" << read.out.toStdString();

    // The packet as the recorder received it, the extra byte as it held it.
    QFile log(logPath);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString frames = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(frames.contains("settings tachycardia 150 bradycardia 40 pause 3 sensitivity 0 extra 0x01 clock "
                                "2013-05-21 10:15:30 id 0012AB34 dc-offset 2048 key-beep 0 heart-beep 1"))
        << frames.toStdString();

    // Default brings the standard values back.
    EXPECT_EQ(RunCli({"device", "settings", "--link", link, "--default"}).exitCode, 0);
    EXPECT_TRUE(RunCli({"device", "info", "--link", link}).out.contains("Tachycardia : 100 bpm"));
    simProcess.terminate();
    simProcess.waitForFinished(10000);
}

// The window's rules, with the window's messages; nothing is written.
TEST(RecorderSimPty, SettingsCommandRefusals)
{
    struct Case {
        QStringList options;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        {{"--pause", "7"}, 1, "The pause must be less than 6 seconds."},
        {{"--pause", "1"}, 1, "The pause must be more than 2 seconds."},
        {{"--tachycardia", "191"}, 1, "Tachycardia must be smaller than 190."},
        {{"--bradycardia", "29"}, 1, "Bradycardia must be greater than 30."},
        {{"--tachycardia", "50", "--bradycardia", "55"}, 1,
         "The tachycardia value must be greater than the bradycardia value."},
        {{"--tachycardia", "fast"}, 1, "The input for Tachycardia must be an integer."},
        {{"--tachycardia", ""}, 1, "Please input a value for tachycardia."},
        {{"--clock", "1999-12-31 23:59:59"}, 2, "Bad value for --clock."},
        {{"--clock", "2013-02-30 10:00:00"}, 2, "Bad value for --clock."},
        {{"--sensitivity", "extreme"}, 2, "Bad value for --sensitivity."},
    };
    for (const Case& c : cases) {
        const CliRun r = RunCli(QStringList{"device", "settings", "--link", "demo"} + c.options);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.options.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith(c.message)) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
}

// A recorder whose information answer stops short is not taken as answering; before, its missing
// bytes read as zeros and `device info` reported DC offset 0 and exited 0.
TEST(RecorderSimPty, InformationCutShortIsNoAnswer)
{
    QProcess simProcess;
    const QString path = StartRecorderSim(simProcess, {"--info-bytes", "40"});
    ASSERT_TRUE(path.startsWith("/dev/")) << path.toStdString();
    const CliRun info = RunCli({"device", "info", "--link", "serial:" + path});
    EXPECT_EQ(info.exitCode, 1);
    EXPECT_EQ(info.err.trimmed(), "Check that the ECG device is connected.");
    const CliRun settings = RunCli({"device", "settings", "--link", "serial:" + path, "--json"});
    EXPECT_EQ(settings.exitCode, 1);
    EXPECT_FALSE(QJsonDocument::fromJson(settings.out.toUtf8()).object().value("saved").toBool());
    simProcess.terminate();
    simProcess.waitForFinished(10000);
}

}  // namespace
