// Runs of `ecg-cli firmware fetch` against the stand-in service `web-sim`, both
// as the real programs: what lands in the output file and what the exit says.
#include "device/protocol/FirmwareImage.h"
#include "tests/tools/WebSimProcess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

namespace {

struct FetchCase {
    const char* name;
    QStringList simArgs;
    int exitCode;
    const char* says;  // in the error output
};

TEST(FirmwareCli, FetchWritesTheWholeImageOrLeavesTheEarlierFile)
{
    QTemporaryDir dir;
    // An image of 30,000 bytes: two whole blocks and 6,000 bytes of the third.
    std::vector<std::uint8_t> body(30000 - 128);
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<std::uint8_t>(i * 13 + i / 300);
    const auto file = device::protocol::BuildFirmwareImageFile(body);
    const QByteArray image(reinterpret_cast<const char*>(file.data()), static_cast<qsizetype>(file.size()));
    const QString imagePath = dir.filePath("offered.rom");
    QFile offered(imagePath);
    ASSERT_TRUE(offered.open(QIODevice::WriteOnly));
    offered.write(image);
    offered.close();

    const std::vector<FetchCase> cases = {
        {"good", {}, 0, "Size: 30000 / 30000 Byte(s)"},
        {"trickled", {"--trickle", "20"}, 0, "Size: 30000 / 30000 Byte(s)"},
        {"no image", {"--no-image"}, 1, "Image format error! (no-image)"},
        {"stalled block", {"--stall-block", "2"}, 1, "Data receiving error! (receive-failed)"},
        {"short block", {"--short-block", "3"}, 1, "Data receiving error! (reply-cut)"},
        {"absurd size", {"--offer-size", "200000"}, 1, "Image format error! (bad-size)"},
        {"unknown account", {"--upgrade-account", "elsewhere"}, 1, "Cannot connect to the upgrade server! (unknown-account)"},
    };
    for (const FetchCase& c : cases) {
        SCOPED_TRACE(c.name);
        WebSim sim(QStringList{"--image", imagePath} + c.simArgs);
        ASSERT_FALSE(sim.server().isEmpty());
        const QString out = dir.filePath("fetched.rom");
        QFile earlier(out);
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier");
        earlier.close();

        QProcess cli;
        QElapsedTimer clock;
        clock.start();
        cli.start(TALMON_BIN_DIR "/ecg-cli", {"firmware", "fetch", "--server", sim.server(), "--settings", dir.path(),
                                              "--timeout", "2", "--out", out});
        ASSERT_TRUE(cli.waitForFinished(20000));
        const QString err = QString::fromUtf8(cli.readAllStandardError());
        EXPECT_EQ(cli.exitCode(), c.exitCode) << err.toStdString();
        EXPECT_TRUE(err.contains(c.says)) << err.toStdString();
        EXPECT_LT(clock.elapsed(), 10000);
        QFile result(out);
        ASSERT_TRUE(result.open(QIODevice::ReadOnly));
        EXPECT_EQ(result.readAll(), c.exitCode == 0 ? image : QByteArray("earlier"));
        EXPECT_FALSE(QFile::exists(out + ".part"));
    }
}

// The whole way as the programs go: the stand-in's image fetched, checked and
// written into the simulated recorder on a pseudo-terminal.
TEST(FirmwareCli, AFetchedImageChecksAndFlashesIntoTheRecorder)
{
    QTemporaryDir dir;
    WebSim web({});
    ASSERT_FALSE(web.server().isEmpty());
    const QString image = dir.filePath("fetched.rom");
    auto run = [](const QStringList& args) {
        QProcess cli;
        cli.start(TALMON_BIN_DIR "/ecg-cli", args);
        EXPECT_TRUE(cli.waitForFinished(60000));
        return cli.exitCode();
    };
    ASSERT_EQ(run({"firmware", "fetch", "--server", web.server(), "--settings", dir.path(), "--out", image}), 0);
    EXPECT_EQ(run({"firmware", "check", image}), 0);

    const QString flashOut = dir.filePath("flashed.bin");
    QProcess recorder;
    recorder.start(TALMON_BIN_DIR "/recorder-sim", {"--flash-out", flashOut});
    ASSERT_TRUE(recorder.waitForReadyRead(10000));
    const QString tty = QString::fromUtf8(recorder.readLine()).trimmed();
    EXPECT_EQ(run({"device", "flash", "--link", "serial:" + tty, image}), 0);
    recorder.terminate();
    recorder.waitForFinished(10000);

    QFile fetched(image), flashed(flashOut);
    ASSERT_TRUE(fetched.open(QIODevice::ReadOnly));
    ASSERT_TRUE(flashed.open(QIODevice::ReadOnly));
    const QByteArray body = fetched.readAll().mid(128);
    EXPECT_EQ(flashed.readAll().left(body.size()), body);
}

// A recorder a failed upgrade left in its boot loader: the commands that need its program say so and
// name the way back, and a flash makes it an ordinary recorder again.
TEST(FirmwareCli, ARecorderWaitingInItsBootLoaderIsNamedAndFlashedBack)
{
    QTemporaryDir dir;
    std::vector<std::uint8_t> body(3000);
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<std::uint8_t>(i * 5 + 3);
    const auto file = device::protocol::BuildFirmwareImageFile(body);
    const QString image = dir.filePath("image.rom");
    QFile imageFile(image);
    ASSERT_TRUE(imageFile.open(QIODevice::WriteOnly));
    imageFile.write(reinterpret_cast<const char*>(file.data()), static_cast<qsizetype>(file.size()));
    imageFile.close();

    QProcess recorder;
    recorder.start(TALMON_BIN_DIR "/recorder-sim", {"--in-boot-loader"});
    ASSERT_TRUE(recorder.waitForReadyRead(10000));
    const QString link = "serial:" + QString::fromUtf8(recorder.readLine()).trimmed();
    struct Run {
        int exitCode;
        QString out;
        QString err;
    };
    auto run = [&](const QStringList& args) {
        QProcess cli;
        cli.start(TALMON_BIN_DIR "/ecg-cli", args);
        EXPECT_TRUE(cli.waitForFinished(60000));
        return Run{cli.exitCode(), QString::fromUtf8(cli.readAllStandardOutput()),
                   QString::fromUtf8(cli.readAllStandardError())};
    };
    const std::vector<QStringList> refused = {
        {"device", "info", "--link", link},
        {"device", "settings", "--link", link, "--key-beep", "off"},
        {"device", "download", "--link", link, "--data-folder", dir.filePath("data")},
        {"device", "stream", "--link", link, "--seconds", "1"},
    };
    for (const QStringList& args : refused) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const Run r = run(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.contains("waits in its boot loader")) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("ecg-cli device flash IMAGE")) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains("Check that the ECG device is connected")) << r.err.toStdString();
    }
    EXPECT_EQ(run({"device", "flash", "--link", link, image}).exitCode, 0);
    const Run info = run({"device", "info", "--link", link});
    EXPECT_EQ(info.exitCode, 0) << info.err.toStdString();
    EXPECT_TRUE(info.out.contains("Device ID : 0012AB34")) << info.out.toStdString();
    recorder.terminate();
    recorder.waitForFinished(10000);
}

}  // namespace
