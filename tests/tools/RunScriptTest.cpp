// scripts/run.sh on a machine without a display: it says so before it installs
// or builds anything, so a newcomer does not wait for a whole build to learn it.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(RunScript, WithoutADisplayItStopsBeforeInstallingOrBuilding)
{
    QTemporaryDir fakes;
    ASSERT_TRUE(fakes.isValid());
    const QString called = fakes.filePath("called");
    // Stand-ins for every program the set-up and the build would start first.
    for (const char* tool : {"cmake", "dpkg-query", "apt-get", "sudo"}) {
        QFile f(fakes.filePath(tool));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("#!/bin/sh\necho %1 >> '%2'\n").arg(tool, called).toUtf8());
        f.close();
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    }
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "TALMON_XVFB"}) env.remove(name);
    env.insert("PATH", fakes.path() + ":" + env.value("PATH"));
    p.setProcessEnvironment(env);
    p.start("bash", {QStringLiteral(TALMON_SOURCE_DIR "/scripts/run.sh"), "--demo"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_TRUE(QString::fromUtf8(p.readAllStandardError()).contains("--xvfb"));
    QFile log(called);
    EXPECT_FALSE(log.exists()) << "started before the display check: "
                               << (log.open(QIODevice::ReadOnly) ? log.readAll().toStdString() : "");
}
