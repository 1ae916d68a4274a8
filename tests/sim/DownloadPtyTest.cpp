// The command line's download against the simulator on a pseudo-terminal: the
// real serial transport, the real line-speed switch, the real files.
#include "device/protocol/RecordHeader.h"
#include "sim/recorder/RecordingFactory.h"
#include "store/EdfRecord.h"
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include "RecorderSimProcess.h"
#include <gtest/gtest.h>

namespace {

QJsonObject RunCliJson(const QStringList& args, int* exitCode)
{
    QProcess p;
    p.start(QStringLiteral(TALMON_BIN_DIR "/ecg-cli"), args);
    p.waitForFinished(120000);
    *exitCode = p.exitCode();
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

TEST(DownloadPty, CommandLineDownloadStoresTheSimulatorsRecordingsWhereTheyBelong)
{
    QTemporaryDir dir;
    const QString log = dir.filePath("frames.log");
    QProcess simProcess;
    const QString tty = StartRecorderSim(simProcess, QStringList{"--recordings", "3", "--log", log});
    ASSERT_FALSE(tty.isEmpty()) << "recorder-sim did not start";

    int exitCode = -1;
    const QJsonObject r = RunCliJson(
        {"device", "download", "--link", "serial:" + tty, "--data-folder", dir.filePath("lib"), "--erase", "--json"},
        &exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(r["end"].toString(), "completed");
    EXPECT_FALSE(r["lowSpeedFallback"].toBool()) << "the whole download ran at 921600 baud";
    EXPECT_TRUE(r["erased"].toBool());
    EXPECT_EQ(r["message"].toString(), "All data shall be deleted from ECG device.");

    // What the simulator holds: the same recordings, made the same way.
    const auto expected = sim::DemoRecordings(sim::DefaultRecorderInfo(), 3);
    const QJsonArray stored = r["stored"].toArray();
    ASSERT_EQ(stored.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const auto& want = expected[static_cast<std::size_t>(i)];
        const auto fields = device::protocol::ReadWireHeader(want.wireHeader);
        const QString path = stored[i].toString();
        const QString name = QStringLiteral("%1%2%3.edf")
                                 .arg(device::protocol::FromBcd(fields.bcdHour), 2, 10, QChar('0'))
                                 .arg(device::protocol::FromBcd(fields.bcdMinute), 2, 10, QChar('0'))
                                 .arg(device::protocol::FromBcd(fields.bcdSecond), 2, 10, QChar('0'));
        EXPECT_EQ(path, dir.filePath("lib/0012AB34/201305/21/" + name));

        EDF_RECORD record;
        ASSERT_TRUE(ReadEdfFile(path, record).ok());
        EXPECT_EQ(record.Channels[0].Samples, want.samples) << path.toStdString();

        int infoExit = -1;
        const QJsonObject info = RunCliJson({"info", "--json", path}, &infoExit);
        EXPECT_EQ(infoExit, 0);
        const QJsonObject rec = info["recorder"].toObject();
        EXPECT_EQ(rec["heartRate"].toInt(), want.wireHeader[device::protocol::rec::HeartRate]);
        EXPECT_EQ(rec["rhythm"].toInt(), want.wireHeader[device::protocol::rec::RhythmFinding]);
        EXPECT_EQ(rec["pause"].toInt(), want.wireHeader[device::protocol::rec::PauseFinding]);
        EXPECT_EQ(rec["tachyThreshold"].toInt(), 100);
    }

    simProcess.terminate();
    EXPECT_TRUE(simProcess.waitForFinished(10000));
    QFile logFile(log);
    ASSERT_TRUE(logFile.open(QIODevice::ReadOnly));
    const QString frames = QString::fromUtf8(logFile.readAll());
    EXPECT_TRUE(frames.contains("code 0x41 byte2 0 dir R param 0x08 heard")) << frames.toStdString();
    EXPECT_TRUE(frames.contains("code 0x19 byte2 0 dir R param 0x16 heard")) << "the end command arrived";
    EXPECT_TRUE(frames.contains("code 0x11 byte2 0 dir W")) << "erased";
    EXPECT_FALSE(frames.contains("lost")) << frames.toStdString();
}

// Two recordings of the same second: the second cannot take the first one's name, so the command
// says so, keeps the recorder full and fails.
TEST(DownloadPty, ARecordingNotStoredFailsTheCommandAndKeepsTheRecorderFull)
{
    QTemporaryDir dir;
    QProcess simProcess;
    const QString tty = StartRecorderSim(simProcess, QStringList{"--plain", "3", "--same-time"});
    ASSERT_FALSE(tty.isEmpty()) << "recorder-sim did not start";

    const QStringList download = {"device", "download", "--link", "serial:" + tty, "--data-folder", dir.filePath("lib"),
                                  "--erase", "--json"};
    int exitCode = -1;
    const QJsonObject r = RunCliJson(download, &exitCode);
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(r["stored"].toArray().size(), 1);
    EXPECT_EQ(r["recordings"].toArray()[1].toObject()["outcome"].toString(), "name taken");
    EXPECT_FALSE(r["erased"].toBool());
    EXPECT_EQ(r["eraseRefused"].toString(), "not every recording was stored");

    // The recorder still holds all three.
    const QJsonObject again = RunCliJson({"device", "info", "--link", "serial:" + tty, "--json"}, &exitCode);
    EXPECT_EQ(again["recordings"].toInt(), 3);
    simProcess.terminate();
    EXPECT_TRUE(simProcess.waitForFinished(10000));
}

// Everything stored, but the recorder does not confirm the erase: the command fails and says so.
TEST(DownloadPty, AFailedEraseSaysDeletingErrorAndFails)
{
    QTemporaryDir dir;
    QProcess simProcess;
    const QString tty = StartRecorderSim(simProcess, QStringList{"--plain", "2", "--refuse-erase"});
    ASSERT_FALSE(tty.isEmpty()) << "recorder-sim did not start";
    int exitCode = -1;
    const QJsonObject r = RunCliJson(
        {"device", "download", "--link", "serial:" + tty, "--data-folder", dir.filePath("lib"), "--erase", "--json"},
        &exitCode);
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(r["stored"].toArray().size(), 2);
    EXPECT_FALSE(r["erased"].toBool());
    EXPECT_EQ(r["message"].toString(), "Deleting error.");
    EXPECT_EQ(r["eraseRefused"].toString(), "the recorder did not confirm the erase");
    simProcess.terminate();
    EXPECT_TRUE(simProcess.waitForFinished(10000));
}

// A recorder that misbehaves on the line: the command fails with the right reason or gets everything
// home, keeps on the recorder whatever it did not store, and ends in seconds, not in minutes.
TEST(DownloadPty, ALineFaultEndsTheDownloadInTimeAndLosesNothing)
{
    const int sampleBytes = 256 * 30 * 2;  // of each demo recording
    struct Case {
        const char* name;
        QStringList simArgs;
        int exitCode;
        const char* end;
        int stored;
        bool lowSpeed;
    };
    const Case cases[] = {
        {"a header claiming twice its samples", {"--claim-sample-bytes", QString("1:%1").arg(2 * sampleBytes)}, 1,
         "retries exhausted", 1, true},
        {"a header claiming 64 MiB", {"--claim-sample-bytes", "1:67108864"}, 1, "retries exhausted", 1, true},
        {"the first request for the next recording lost", {"--lose-request", "1"}, 0, "completed", 3, true},
        {"a transmitter that stays at 230400 baud", {"--send-baud", "230400"}, 0, "completed", 3, true},
    };
    const auto expected = sim::DemoRecordings(sim::DefaultRecorderInfo(), 3);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        QProcess simProcess;
        const QString tty = StartRecorderSim(simProcess, QStringList{"--recordings", "3"} + c.simArgs);
        ASSERT_FALSE(tty.isEmpty()) << "recorder-sim did not start";

        QElapsedTimer took;
        took.start();
        int exitCode = -1;
        const QJsonObject r = RunCliJson(
            {"device", "download", "--link", "serial:" + tty, "--data-folder", dir.filePath("lib"), "--erase", "--json"},
            &exitCode);
        EXPECT_LT(took.elapsed(), 30000);
        EXPECT_EQ(exitCode, c.exitCode);
        EXPECT_EQ(r["end"].toString(), c.end) << r["message"].toString().toStdString();
        EXPECT_EQ(r["lowSpeedFallback"].toBool(), c.lowSpeed);
        const QJsonArray stored = r["stored"].toArray();
        ASSERT_EQ(stored.size(), c.stored);
        for (int i = 0; i < c.stored; ++i) {
            EDF_RECORD record;
            ASSERT_TRUE(ReadEdfFile(stored[i].toString(), record).ok());
            EXPECT_EQ(record.Channels[0].Samples, expected[static_cast<std::size_t>(i)].samples) << i;
        }
        const bool allHome = c.stored == 3;
        EXPECT_EQ(r["erased"].toBool(), allHome);

        // The recorder keeps all it holds unless every recording is home.
        const QJsonObject after = RunCliJson({"device", "info", "--link", "serial:" + tty, "--json"}, &exitCode);
        EXPECT_EQ(after["recordings"].toInt(), allHome ? 0 : 3);
        simProcess.terminate();
        EXPECT_TRUE(simProcess.waitForFinished(10000));
    }
}

}  // namespace
