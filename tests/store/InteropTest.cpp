// Recording files against real EDF peers: EDFlib (libedf) and BioSig's save2gdf.
#include "StoreFixtures.h"
#include "store/EdfRecord.h"
#include "store/FhrBlock.h"
#include "store/OpenRecording.h"
#include "tools/cli/Commands.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <edflib.h>
#include <gtest/gtest.h>

namespace {

TEST(Interop, Save2gdfReadsADownloadedFileWithTheSameSamples)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("142530.edf");
    const auto samples = fixtures::writeDownloaded(path, 7680);

    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start("save2gdf", {"-f=ASCII", path, dir.filePath("out.txt")});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();

    const QString header = QString::fromLatin1(fixtures::readBytes(dir.filePath("out.txt")));
    EXPECT_TRUE(header.contains(QRegularExpression("SamplingRate\\s*=\\s*256"))) << header.toStdString();
    EXPECT_TRUE(header.contains(QRegularExpression("NumberOfSamples\\s*=\\s*7680")));
    EXPECT_TRUE(header.contains("2013-05-07 14:25:"));

    // The values come back physical: -11000..11000 uV over 0..4095.
    const QList<QByteArray> lines = fixtures::readBytes(dir.filePath("out.a01")).split('\n');
    std::vector<double> values;
    for (const QByteArray& l : lines)
        if (!l.trimmed().isEmpty()) values.push_back(l.trimmed().toDouble());
    ASSERT_EQ(values.size(), samples.size());
    for (size_t i = 0; i < samples.size(); ++i) {
        const double expected = -11000.0 + (samples[i] - 0) * 22000.0 / 4095.0;
        ASSERT_NEAR(values[i], expected, 0.5) << "sample " << i;
    }
}

TEST(Interop, ReadsAFileWrittenByEdflibAndOpensIt)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("edflib.edf");
    const std::vector<int16_t> samples = fixtures::wave(256 * 30);
    {
        const int h = edfopen_file_writeonly(path.toLocal8Bit().constData(), EDFLIB_FILETYPE_EDFPLUS, 1);
        ASSERT_GE(h, 0);
        EXPECT_EQ(edf_set_samplefrequency(h, 0, 256), 0);
        EXPECT_EQ(edf_set_physical_maximum(h, 0, 11000), 0);
        EXPECT_EQ(edf_set_physical_minimum(h, 0, -11000), 0);
        EXPECT_EQ(edf_set_digital_maximum(h, 0, 4095), 0);
        EXPECT_EQ(edf_set_digital_minimum(h, 0, 0), 0);
        EXPECT_EQ(edf_set_label(h, 0, "ECG"), 0);
        EXPECT_EQ(edf_set_physical_dimension(h, 0, "uV"), 0);
        EXPECT_EQ(edf_set_startdatetime(h, 2013, 5, 7, 14, 25, 30), 0);
        std::vector<short> second(256);
        for (int s = 0; s < 30; ++s) {
            std::copy_n(samples.begin() + s * 256, 256, second.begin());
            ASSERT_EQ(edfwrite_digital_short_samples(h, second.data()), 0);
        }
        ASSERT_EQ(edfclose_file(h), 0);
    }
    EDF_RECORD r;
    const EdfProblem p = ReadRecording(path, r);
    ASSERT_TRUE(p.ok()) << p.message().toStdString();
    EXPECT_EQ(r.StartDate, "13.5.7");
    EXPECT_EQ(r.StartTime, "14.25.30");
    EXPECT_EQ(r.TotalSeconds, 30);
    ASSERT_GE(r.Channels.size(), 1u);  // EDF+ adds its annotation signal
    EXPECT_EQ(r.Channels[0].SampleRate, 256);
    EXPECT_EQ(r.Channels[0].Samples, samples);
    EXPECT_EQ(r.Channels[0].PhysDimension, "uV");

    // Opening the foreign file appends the block once.
    const qint64 size = QFileInfo(path).size();
    OpenedRecording opened;
    auto analyse = [](const EDF_RECORD&, int) { return ManagerResults{}; };
    ASSERT_TRUE(OpenRecording(path, analyse, true, opened).ok());
    EXPECT_EQ(QFileInfo(path).size(), size + 2582);
    ASSERT_TRUE(OpenRecording(path, analyse, true, opened).ok());
    EXPECT_EQ(QFileInfo(path).size(), size + 2582);
    EXPECT_TRUE(opened.hadBlock);
}

TEST(Interop, ExportedFileOpensInEdflibWithTheSameSamples)
{
    for (int count : {7680, 7700}) {
        QTemporaryDir dir;
        const QString in = dir.filePath("142530.edf");
        const QString out = dir.filePath("plain.edf");
        const auto samples = fixtures::writeDownloaded(in, count);
        QString outText, errText;
        QTextStream o(&outText), e(&errText);
        ASSERT_EQ(cli::RunExport({in, "--edf", out}, o, e), 0) << errText.toStdString();

        edf_hdr_struct hdr{};
        ASSERT_EQ(edfopen_file_readonly(out.toLocal8Bit().constData(), &hdr, EDFLIB_DO_NOT_READ_ANNOTATIONS), 0)
            << "EDFlib error " << hdr.filetype << " for " << count << " samples";
        EXPECT_EQ(hdr.filetype, EDFLIB_FILETYPE_EDF);
        EXPECT_EQ(hdr.edfsignals, 1);
        EXPECT_EQ(hdr.signalparam[0].smp_in_file, count);
        EXPECT_EQ(hdr.startdate_day, 7);
        EXPECT_EQ(hdr.startdate_month, 5);
        EXPECT_EQ(hdr.startdate_year, 2013);
        EXPECT_EQ(hdr.starttime_hour, 14);
        EXPECT_EQ(hdr.starttime_minute, 25);
        EXPECT_EQ(hdr.starttime_second, 30);
        EXPECT_TRUE(QString::fromLatin1(hdr.recording).contains("0000A1F3")) << hdr.recording;
        std::vector<int> back(static_cast<size_t>(count));
        ASSERT_EQ(edfread_digital_samples(hdr.handle, 0, count, back.data()), count);
        for (int i = 0; i < count; ++i) ASSERT_EQ(back[static_cast<size_t>(i)], samples[static_cast<size_t>(i)]) << i;
        edfclose_file(hdr.handle);
    }
}

}  // namespace
