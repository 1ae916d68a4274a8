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

// Other readers derive the rate from samples per record and the record's
// duration: the export's records give them the true rate, also for a
// recording that does not fill whole seconds.
TEST(Interop, ExportedFileOpensInEdflibAtTheTrueRateWithTheSameSamples)
{
    const struct {
        int count, rate;
        bool beats;
        int written;  // a count that no exact record divides loses its last samples
    } cases[] = {
        {7680, 256, false, 7680},
        {7700, 256, false, 7700},  // 5 records of 6.015625 s
        {7700, 256, true, 7700},
        {7709, 256, false, 7708},  // every divisor of 7,709 would need 8 decimals
        {3855, 128, false, 3854},
        {3850, 128, false, 3850},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.count << " samples at " << c.rate << (c.beats ? " with beats" : ""));
        QTemporaryDir dir;
        const QString in = dir.filePath("142530.edf");
        const QString out = dir.filePath("plain.edf");
        const auto samples = fixtures::writeDownloaded(in, c.count, static_cast<uint16_t>(c.rate));
        QString outText, errText;
        QTextStream o(&outText), e(&errText);
        QStringList args{in, "--edf", out};
        if (c.beats) args << "--beats";
        ASSERT_EQ(cli::RunExport(args, o, e), 0) << errText.toStdString();
        o.flush();
        EXPECT_TRUE(outText.contains(QStringLiteral("(%1 samples at %2 per second").arg(c.written).arg(c.rate)))
            << outText.toStdString();
        EXPECT_EQ(outText.contains("left out"), c.written != c.count) << outText.toStdString();

        edf_hdr_struct hdr{};
        ASSERT_EQ(edfopen_file_readonly(out.toLocal8Bit().constData(), &hdr, EDFLIB_READ_ALL_ANNOTATIONS), 0)
            << "EDFlib error " << hdr.filetype;
        EXPECT_EQ(hdr.filetype, c.beats ? EDFLIB_FILETYPE_EDFPLUS : EDFLIB_FILETYPE_EDF);
        EXPECT_EQ(hdr.edfsignals, 1);
        // sf = samples per record / duration, the duration in units of 100 ns.
        EXPECT_EQ(static_cast<long long>(hdr.signalparam[0].smp_in_datarecord) * EDFLIB_TIME_DIMENSION,
                  static_cast<long long>(c.rate) * hdr.datarecord_duration)
            << hdr.signalparam[0].smp_in_datarecord << " samples in " << hdr.datarecord_duration;
        EXPECT_EQ(hdr.signalparam[0].smp_in_file, c.written);
        EXPECT_EQ(hdr.startdate_day, 7);
        EXPECT_EQ(hdr.startdate_month, 5);
        EXPECT_EQ(hdr.startdate_year, 2013);
        EXPECT_EQ(hdr.starttime_hour, 14);
        EXPECT_EQ(hdr.starttime_minute, 25);
        EXPECT_EQ(hdr.starttime_second, 30);
        EXPECT_TRUE(QString::fromLatin1(c.beats ? hdr.equipment : hdr.recording).contains("0000A1F3"))
            << hdr.recording << " / " << hdr.equipment;
        std::vector<int> back(static_cast<size_t>(c.written));
        ASSERT_EQ(edfread_digital_samples(hdr.handle, 0, c.written, back.data()), c.written);
        for (int i = 0; i < c.written; ++i) ASSERT_EQ(back[static_cast<size_t>(i)], samples[static_cast<size_t>(i)]) << i;
        edfclose_file(hdr.handle);

        // Our own reader takes the export back at the same rate.
        EDF_RECORD r;
        ASSERT_TRUE(ReadRecording(out, r).ok());
        EXPECT_EQ(r.Channels[0].SampleRate, c.rate);
        EXPECT_EQ(r.Channels[0].SampleCount, c.written);
    }
}

// Records shorter than a second, as EDFlib writes them when asked to.
TEST(Interop, ReadsRecordsOfHalfASecondWrittenByEdflib)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("halves.edf");
    const std::vector<int16_t> samples = fixtures::wave(256 * 3);
    {
        const int h = edfopen_file_writeonly(path.toLocal8Bit().constData(), EDFLIB_FILETYPE_EDFPLUS, 1);
        ASSERT_GE(h, 0);
        EXPECT_EQ(edf_set_datarecord_duration(h, 50000), 0);  // units of 10 us
        EXPECT_EQ(edf_set_samplefrequency(h, 0, 128), 0);       // samples per record
        EXPECT_EQ(edf_set_physical_maximum(h, 0, 11000), 0);
        EXPECT_EQ(edf_set_physical_minimum(h, 0, -11000), 0);
        EXPECT_EQ(edf_set_digital_maximum(h, 0, 4095), 0);
        EXPECT_EQ(edf_set_digital_minimum(h, 0, 0), 0);
        EXPECT_EQ(edf_set_label(h, 0, "ECG"), 0);
        std::vector<short> half(128);
        for (size_t at = 0; at < samples.size(); at += 128) {
            std::copy_n(samples.begin() + static_cast<std::ptrdiff_t>(at), 128, half.begin());
            ASSERT_EQ(edfwrite_digital_short_samples(h, half.data()), 0);
        }
        ASSERT_EQ(edfclose_file(h), 0);
    }
    EDF_RECORD r;
    const EdfProblem p = ReadRecording(path, r);
    ASSERT_TRUE(p.ok()) << p.message().toStdString();
    EXPECT_EQ(r.RecordCount, 6);
    EXPECT_EQ(r.RecordDuration, 0.5);
    EXPECT_EQ(r.TotalSeconds, 3);
    EXPECT_EQ(r.Channels[0].SampleRate, 256);
    EXPECT_EQ(r.Channels[0].Samples, samples);
}

}  // namespace
