#include <QProcess>
#include <gtest/gtest.h>

namespace {

struct CliRun {
    int exitCode;
    QString out;
    QString err;
};

CliRun runCli(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(TALMON_BIN_DIR "/ecg-cli"), args);
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

TEST(Cli, VersionAndHelp)
{
    CliRun v = runCli({"--version"});
    EXPECT_EQ(v.exitCode, 0);
    EXPECT_TRUE(v.out.contains("1.20.25")) << v.out.toStdString();

    CliRun h = runCli({"--help"});
    EXPECT_EQ(h.exitCode, 0);
    for (const char* command : {"info", "export", "analyse", "batch", "device info", "device settings", "annotations"})
        EXPECT_TRUE(h.out.contains(command)) << command;
}

TEST(Cli, UnknownCommandFailsWithUsage)
{
    CliRun r = runCli({"frobnicate"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains("Unknown command")) << r.err.toStdString();
}

}  // namespace
