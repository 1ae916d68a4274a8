// The commands that replace a file (export, analyse --update, report) leave
// only the finished file behind, and clear what an earlier run killed halfway
// through left under their own hidden name.
#include "tests/store/FileSizeLimit.h"
#include "tests/store/StoreFixtures.h"
#include "tools/cli/Commands.h"

#include <QDir>
#include <QProcess>
#include <QTextStream>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <utime.h>

namespace {

TEST(ReplacedOutput, EachCommandClearsItsAbandonedCopyAndLeavesNoOther)
{
    const struct {
        const char* command;
        const char* output;  // the file the command replaces
    } cases[] = {
        {"export", "copy.edf"},
        {"analyse", "142530.edf"},
        {"report", "report.pdf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        QTemporaryDir dir;
        const QString recording = dir.filePath("142530.edf");
        fixtures::writeDownloaded(recording, 7680);
        const QString output = dir.filePath(c.output);
        if (output != recording) fixtures::writeBytes(output, "the old, whole file");
        const QString abandoned = dir.filePath(QStringLiteral(".%1.talmon-tmp-K1lled").arg(c.output));
        fixtures::writeBytes(abandoned, "a complete copy whose rename never came");
        struct utimbuf old {};
        old.actime = old.modtime = ::time(nullptr) - 3600;
        ASSERT_EQ(::utime(QFile::encodeName(abandoned).constData(), &old), 0);

        QStringList args{c.command};
        if (QLatin1String(c.command) == "export") args << recording << "--edf" << output;
        if (QLatin1String(c.command) == "analyse") args << "--update" << recording;
        if (QLatin1String(c.command) == "report") args << recording << "--pdf" << output;
        QProcess p;
        p.start(QStringLiteral(TALMON_BIN_DIR "/ecg-cli"), args);
        ASSERT_TRUE(p.waitForFinished(60000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();

        EXPECT_NE(fixtures::readBytes(output), "the old, whole file");
        QStringList expected{"142530.edf", c.output};
        expected.removeDuplicates();
        expected.sort();
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name).join(' ').toStdString(),
                  expected.join(' ').toStdString());
    }
}

// A sample table that does not fit on the disk is reported as not written,
// and the old table stays.
TEST(ReplacedOutput, AFilteredTableThatDoesNotFitIsNotReportedWritten)
{
    QTemporaryDir dir;
    const QString recording = dir.filePath("142530.edf"), csv = dir.filePath("out.csv");
    fixtures::writeDownloaded(recording, 512);  // a short table, still in the write buffer at the commit
    fixtures::writeBytes(csv, "the old, whole table");
    QString said, complaint;
    QTextStream out(&said), err(&complaint);
    int exitCode = 0;
    {
        FileSizeLimit full(1000);
        exitCode = cli::RunFilter({recording, "--csv", csv}, out, err);
    }
    out.flush();
    EXPECT_EQ(exitCode, 1) << said.toStdString();
    EXPECT_FALSE(said.contains("Wrote")) << said.toStdString();
    EXPECT_EQ(fixtures::readBytes(csv), "the old, whole table");
}

}  // namespace
