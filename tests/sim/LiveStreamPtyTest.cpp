// The command line's live stream against the simulator on a pseudo-terminal:
// the real serial transport, the stream jobs and the simulator's own record
// of every sample it put on the line.
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QProcess>
#include <QTemporaryDir>
#include "RecorderSimProcess.h"
#include <gtest/gtest.h>
#include <csignal>
#include <vector>

namespace {

std::vector<int> ReadValues(const QString& path, bool csv)
{
    std::vector<int> values;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return values;
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (line.isEmpty())
            continue;
        if (csv) {
            const QStringList fields = line.split(',');
            if (fields.size() != 2 || fields[0].toLongLong() != static_cast<long long>(values.size()))
                return {};  // indexes must count up from 0
            values.push_back(fields[1].toInt());
        } else {
            values.push_back(line.toInt());
        }
    }
    return values;
}

// recorder-sim with its record of every streamed sample in sentLog; its pseudo-terminal, or an
// empty text when it did not start.
QString StartStreamingSim(QProcess& sim, const QString& sentLog, const QStringList& faults = {})
{
    return StartRecorderSim(sim, QStringList{"--stream-log", sentLog} + faults);
}

TEST(LiveStreamPty, CommandLineReceivesWhatTheSimulatorSent)
{
    QTemporaryDir dir;
    const QString sentLog = dir.filePath("sent.txt");
    const QString csv = dir.filePath("stream.csv");
    QProcess simProcess;
    const QString tty = StartStreamingSim(simProcess, sentLog);
    ASSERT_FALSE(tty.isEmpty()) << "recorder-sim did not start";

    QProcess cli;
    cli.start(QStringLiteral(TALMON_BIN_DIR "/ecg-cli"),
              {"device", "stream", "--link", "serial:" + tty, "--seconds", "5", "--csv", csv});
    ASSERT_TRUE(cli.waitForFinished(30000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    const QString summary = QString::fromUtf8(cli.readAllStandardOutput());
    EXPECT_TRUE(summary.startsWith("samples ")) << summary.toStdString();

    simProcess.terminate();
    EXPECT_TRUE(simProcess.waitForFinished(10000));
    const std::vector<int> received = ReadValues(csv, true);
    const std::vector<int> sent = ReadValues(sentLog, false);
    EXPECT_NEAR(static_cast<double>(received.size()), 5 * 256, 160);
    ASSERT_LE(received.size(), sent.size());
    EXPECT_TRUE(std::equal(received.begin(), received.end(), sent.begin())) << "in order, as sent";
}

}  // namespace

TEST(LiveStreamPty, AnInterruptedCommandStillStopsTheStream)
{
    QTemporaryDir dir;
    const QString sentLog = dir.filePath("sent.txt");
    QProcess simProcess;
    const QString tty = StartStreamingSim(simProcess, sentLog);
    ASSERT_FALSE(tty.isEmpty()) << "recorder-sim did not start";

    QProcess cli;
    cli.start(QStringLiteral(TALMON_BIN_DIR "/ecg-cli"),
              {"device", "stream", "--link", "serial:" + tty, "--seconds", "60", "--csv", dir.filePath("s.csv")});
    ASSERT_TRUE(cli.waitForStarted(10000));
    // Interrupted once the samples flow.
    for (int i = 0; i < 100 && QFileInfo(sentLog).size() < 1000; ++i)
        QThread::msleep(100);
    ASSERT_GE(QFileInfo(sentLog).size(), 1000);
    cli.terminate();
    ASSERT_TRUE(cli.waitForFinished(10000));
    EXPECT_EQ(cli.exitCode(), 128 + SIGTERM) << cli.readAllStandardError().toStdString();
    EXPECT_GT(ReadValues(dir.filePath("s.csv"), true).size(), 0u) << "what arrived is written";

    // The recorder has stopped: its record of sent samples no longer grows.
    QThread::msleep(300);
    const qint64 settled = QFileInfo(sentLog).size();
    QThread::msleep(700);
    EXPECT_EQ(QFileInfo(sentLog).size(), settled);
    simProcess.terminate();
    EXPECT_TRUE(simProcess.waitForFinished(10000));
}

// The stop frame unheeded: once, the second stop ends the stream; twice, the command says the recorder
// may still be streaming and fails, and it is right.
TEST(LiveStreamPty, AStopThatDoesNotWorkFailsTheCommand)
{
    struct Case {
        int ignoredStops;
        int exitCode;
        bool stillStreaming;
    };
    for (const Case c : {Case{1, 0, false}, Case{2, 1, true}}) {
        SCOPED_TRACE(c.ignoredStops);
        QTemporaryDir dir;
        const QString sentLog = dir.filePath("sent.txt");
        QProcess simProcess;
        const QString tty =
            StartStreamingSim(simProcess, sentLog, {"--ignore-stream-stops", QString::number(c.ignoredStops)});
        ASSERT_FALSE(tty.isEmpty()) << "recorder-sim did not start";

        QProcess cli;
        cli.start(QStringLiteral(TALMON_BIN_DIR "/ecg-cli"),
                  {"device", "stream", "--link", "serial:" + tty, "--seconds", "2", "--csv", dir.filePath("s.csv")});
        ASSERT_TRUE(cli.waitForFinished(30000));
        EXPECT_EQ(cli.exitCode(), c.exitCode);
        const QString errors = QString::fromUtf8(cli.readAllStandardError());
        EXPECT_EQ(errors.contains("may still be streaming"), c.stillStreaming) << errors.toStdString();
        EXPECT_GT(ReadValues(dir.filePath("s.csv"), true).size(), 256u) << "what arrived is written";

        QThread::msleep(300);
        const qint64 settled = QFileInfo(sentLog).size();
        QThread::msleep(700);
        EXPECT_EQ(QFileInfo(sentLog).size() > settled, c.stillStreaming);
        simProcess.terminate();
        EXPECT_TRUE(simProcess.waitForFinished(10000));
    }
}
