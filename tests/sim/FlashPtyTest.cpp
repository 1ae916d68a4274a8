// The command line's firmware flash against the simulator on a pseudo-terminal:
// the real serial transport, the real image file, what the boot loader kept.
#include "device/protocol/FirmwareImage.h"
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

QByteArray ToQt(const Bytes& b)
{
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

struct CliRun {
    int exitCode = -1;
    QJsonObject json;
};

CliRun RunCli(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(TALMON_BIN_DIR "/ecg-cli"), args);
    p.waitForFinished(120000);
    return {p.exitCode(), QJsonDocument::fromJson(p.readAllStandardOutput()).object()};
}

TEST(FlashPty, CommandLineFlashAgainstRecorderSim)
{
    QTemporaryDir dir;
    Bytes body(1000);
    for (std::size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<std::uint8_t>((i * 131) | 1);
    const QByteArray good = ToQt(device::protocol::BuildFirmwareImageFile(body));
    QByteArray badMagic = good;
    badMagic[1] = char(0xAB);
    ASSERT_TRUE(WriteFile(dir.filePath("good.rom"), good));
    ASSERT_TRUE(WriteFile(dir.filePath("bad.rom"), badMagic));

    struct Case {
        const char* name;
        QStringList simOptions;
        const char* image;
        int exitCode;
        const char* result;
        const char* reason;
        bool flashed;
        bool reset;
    };
    const std::vector<Case> cases = {
        {"good image", {}, "good.rom", 0, "succeeded", "none", true, true},
        {"image refused before the recorder is touched", {}, "bad.rom", 1, "refused", "badMagic", false, false},
        {"block refused", {"--refuse-block", "20"}, "good.rom", 1, "failed", "blockRefused", false, false},
        {"verify bad", {"--fail-verify"}, "good.rom", 1, "failed", "verifyFailed", false, false},
        // The boot loader answers the presence query too: only the application's answer counts.
        {"reset ignored", {"--ignore-reset"}, "good.rom", 1, "failed", "stillInBootLoader", false, true},
    };
    int run = 0;
    for (const Case& c : cases) {
        const QString log = dir.filePath(QString("frames%1.log").arg(run));
        const QString flashOut = dir.filePath(QString("flashed%1.bin").arg(run));
        ++run;
        QProcess simProcess;
        simProcess.start(QStringLiteral(TALMON_BIN_DIR "/recorder-sim"),
                         QStringList{"--log", log, "--flash-out", flashOut} + c.simOptions);
        ASSERT_TRUE(simProcess.waitForStarted(10000));
        ASSERT_TRUE(simProcess.waitForReadyRead(10000));
        const QString tty = QString::fromUtf8(simProcess.readLine()).trimmed();

        const CliRun r = RunCli({"device", "flash", "--link", "serial:" + tty, "--json", dir.filePath(c.image)});
        EXPECT_EQ(r.exitCode, c.exitCode) << c.name;
        EXPECT_EQ(r.json["result"].toString(), c.result) << c.name;
        EXPECT_EQ(r.json["reason"].toString(), c.reason) << c.name;
        EXPECT_EQ(r.json["firmwareVersion"].toString().isEmpty(), c.exitCode != 0) << c.name;

        simProcess.terminate();
        EXPECT_TRUE(simProcess.waitForFinished(10000));
        QFile logFile(log);
        ASSERT_TRUE(logFile.open(QIODevice::ReadOnly));
        const QString frames = QString::fromUtf8(logFile.readAll());
        EXPECT_EQ(frames.contains("firmware reset"), c.reset) << c.name << "\n" << frames.toStdString();
        if (QString(c.result) == "refused") {
            EXPECT_FALSE(frames.contains("firmware")) << c.name;
        }

        QFile flashed(flashOut);
        ASSERT_EQ(flashed.exists(), c.flashed) << c.name;
        if (c.flashed) {
            ASSERT_TRUE(flashed.open(QIODevice::ReadOnly));
            const QByteArray kept = flashed.readAll();
            // Whole blocks: the body, then the zero filler of the image buffer.
            ASSERT_EQ(kept.size(), 1024) << c.name;
            EXPECT_EQ(kept.left(1000), ToQt(body)) << c.name;
            EXPECT_EQ(kept.mid(1000), QByteArray(24, '\0')) << c.name;
        }
    }
}

TEST(FlashPty, FirmwareCheckCommand)
{
    QTemporaryDir dir;
    const QByteArray good = ToQt(device::protocol::BuildFirmwareImageFile(Bytes(300, 0x5A)));
    ASSERT_TRUE(WriteFile(dir.filePath("good.rom"), good));
    ASSERT_TRUE(WriteFile(dir.filePath("long.rom"), good + QByteArray(1, '\0')));
    ASSERT_TRUE(WriteFile(dir.filePath("short.rom"), good.left(100)));
    struct Case {
        const char* file;
        int exitCode;
        const char* reason;
    };
    for (const Case& c : {Case{"good.rom", 0, "none"}, Case{"long.rom", 1, "lengthMismatch"},
                          Case{"short.rom", 1, "shortHeader"}, Case{"missing.rom", 1, "cannotOpen"}}) {
        const CliRun r = RunCli({"firmware", "check", "--json", dir.filePath(c.file)});
        EXPECT_EQ(r.exitCode, c.exitCode) << c.file;
        EXPECT_EQ(r.json["reason"].toString(), c.reason) << c.file;
        EXPECT_EQ(r.json["valid"].toBool(), c.exitCode == 0) << c.file;
    }
    const CliRun r = RunCli({"firmware", "check", "--json", dir.filePath("good.rom")});
    EXPECT_EQ(r.json["length"].toInt(), 300);
    const auto* h = reinterpret_cast<const std::uint8_t*>(good.constData());
    EXPECT_EQ(r.json["checksum"].toString(),
              QStringLiteral("0x%1").arg(device::protocol::FirmwareChecksum(h, h + 128, 300), 8, 16, QChar('0')).toUpper().replace("0X", "0x"));
}

}  // namespace
