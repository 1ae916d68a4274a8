// scripts/run.sh on a machine without a display: it says so before it installs
// or builds anything, so a newcomer does not wait for a whole build to learn it;
// a question that opens no window (--help, --version) is answered all the same.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct RunWithoutDisplay {
    int exitCode = -1;
    QString errors;
    QString called;  // the stand-ins started, one name a line
};

RunWithoutDisplay RunScriptWithoutDisplay(const QString& argument)
{
    RunWithoutDisplay run;
    QTemporaryDir fakes;
    if (!fakes.isValid()) return run;
    const QString called = fakes.filePath("called");
    // Stand-ins for every program the set-up and the build would start first.
    for (const char* tool : {"cmake", "dpkg-query", "apt-get", "sudo"}) {
        QFile f(fakes.filePath(tool));
        if (!f.open(QIODevice::WriteOnly)) return run;
        f.write(QStringLiteral("#!/bin/sh\necho %1 >> '%2'\n").arg(tool, called).toUtf8());
        f.close();
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    }
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "TALMON_XVFB"}) env.remove(name);
    env.insert("PATH", fakes.path() + ":" + env.value("PATH"));
    p.setProcessEnvironment(env);
    p.start("bash", {QStringLiteral(TALMON_SOURCE_DIR "/scripts/run.sh"), argument});
    if (!p.waitForFinished(60000)) return run;
    run.exitCode = p.exitCode();
    run.errors = QString::fromUtf8(p.readAllStandardError());
    QFile log(called);
    if (log.open(QIODevice::ReadOnly)) run.called = QString::fromUtf8(log.readAll());
    return run;
}

}  // namespace

TEST(RunScript, WithoutADisplayItStopsBeforeInstallingOrBuilding)
{
    const RunWithoutDisplay run = RunScriptWithoutDisplay("--demo");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.errors.contains("--xvfb"));
    EXPECT_TRUE(run.called.isEmpty()) << "started before the display check: " << run.called.toStdString();
}

TEST(RunScript, HelpAndVersionNeedNoDisplay)
{
    for (const char* argument : {"--help", "-h", "--version"}) {
        const RunWithoutDisplay run = RunScriptWithoutDisplay(argument);
        EXPECT_FALSE(run.errors.contains("No display found")) << argument;
        EXPECT_TRUE(run.called.contains("cmake")) << argument << ": not built and asked";
    }
}
