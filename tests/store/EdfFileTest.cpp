#include "StoreFixtures.h"
#include "store/EdfRecord.h"
#include "store/EdfRecordDuration.h"
#include "store/EdfWriter.h"
#include "store/FhrBlock.h"
#include "store/OpenRecording.h"
#include "store/SamplingConversion.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString field(const QByteArray& file, int offset, int width)
{
    return QString::fromLatin1(file.mid(offset, width));
}

QString padded(const char* text, int width)
{
    return QString::fromLatin1(text).leftJustified(width, QLatin1Char(' '));
}

TEST(EdfFile, DownloadedFileHasTheExactLayout)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("142530.edf");
    fixtures::writeDownloaded(path, 7680);
    const QByteArray f = fixtures::readBytes(path);
    ASSERT_EQ(f.size(), 512 + 2 * 7680 + 2582);

    const struct {
        int offset, width;
        const char* text;
    } expected[] = {
        {0, 8, "0"},         {8, 80, ""},       {88, 80, ""},      {168, 8, "07.05.13"},
        {176, 8, "14.25.30"}, {184, 8, "512"},  {192, 44, ""},     {236, 8, "1"},
        {244, 8, "30"},      {252, 4, "1"},     {256, 16, "ECG"},  {272, 80, "transducer type not recorded"},
        {352, 8, "uV"},      {360, 8, "-11000"}, {368, 8, "11000"}, {376, 8, "0"},
        {384, 8, "4095"},    {392, 80, "prefiltering not recorded"}, {472, 8, "7680"}, {480, 32, "0000a1f3"},
    };
    for (const auto& e : expected)
        EXPECT_EQ(field(f, e.offset, e.width), padded(e.text, e.width)) << "field at byte " << e.offset;

    const FHR_BLOCK block = FHR_BLOCK::fromBytes(f.right(2582));
    // The recorder's header, signed "FHR" so the file is known by its own block.
    DEVICE_RECORD_HEADER signedHeader = fixtures::recorderHeader(7680);
    signedHeader.Bytes[1] = 'F';
    signedHeader.Bytes[2] = 'H';
    signedHeader.Bytes[3] = 'R';
    EXPECT_EQ(block.header().Bytes, signedHeader.Bytes);
    for (int i = 256; i <= 981; ++i) ASSERT_EQ(block.Bytes[i], 0) << "block byte " << i;
    EXPECT_EQ(f.right(1600), fixtures::series());
}

TEST(EdfFile, DownloadedFileReadsBackAsTheTablesSay)
{
    struct Case {
        int samples;
        int seconds;
        int rate;
    } cases[] = {{7680, 30, 256}, {7700, 30, 256}, {3840, 30, 128}};
    for (const Case& c : cases) {
        QTemporaryDir dir;
        const QString path = dir.filePath("x.edf");
        const auto samples = fixtures::writeDownloaded(path, c.samples, static_cast<uint16_t>(c.rate));
        EDF_RECORD r;
        ASSERT_TRUE(ReadEdfFile(path, r).ok());
        EXPECT_EQ(r.StartDate, "13.5.7");
        EXPECT_EQ(r.StartTime, "14.25.30");
        EXPECT_EQ(r.RecordCount, 1);
        EXPECT_EQ(r.RecordSeconds, c.seconds);
        EXPECT_EQ(r.TotalSeconds, c.seconds);
        EXPECT_EQ(r.SignalCount, 1);
        ASSERT_EQ(r.Channels.size(), 1u);
        const EDF_CHANNEL& ch = r.Channels[0];
        EXPECT_EQ(ch.SampleRate, c.rate) << c.samples;
        EXPECT_EQ(ch.SampleCount, c.samples);
        EXPECT_EQ(ch.Samples, samples);
        EXPECT_EQ(ch.PhysDimension, "uV");
        EXPECT_EQ(ch.PhysMin, -11000.0);
        EXPECT_EQ(ch.PhysMax, 11000.0);
        EXPECT_EQ(ch.DigMin, 0);
        EXPECT_EQ(ch.DigMax, 4095);
        EXPECT_EQ(r.PatientId, "");
    }
}

TEST(EdfFile, ForeignFileWithSeveralRecordsAndSignals)
{
    // Two signals of different rates interleaved record by record.
    QByteArray h(256 * 3, ' ');
    auto put = [&](int off, const QByteArray& t) { h.replace(off, t.size(), t); };
    put(0, "0");
    put(8, "Patient X");
    put(168, "31.12.99");
    put(176, "23:59:58");
    put(236, "2");
    put(244, "1");
    put(252, "2");
    put(256 + 2 * 104, "0.8");  // physical minimum of signal 1, locale-free
    put(256 + 2 * 104 + 8, "-1.5e1");
    put(256 + 2 * 112, "1");
    put(256 + 2 * 112 + 8, "2");
    for (int s = 0; s < 2; ++s) {
        put(256 + 2 * 120 + 8 * s, "-100");
        put(256 + 2 * 128 + 8 * s, "100");
    }
    put(256 + 2 * 216, "128");
    put(256 + 2 * 216 + 8, "2");
    std::vector<int16_t> data;
    for (int rec = 0; rec < 2; ++rec) {
        for (int i = 0; i < 128; ++i) data.push_back(static_cast<int16_t>(rec * 1000 + i));
        data.push_back(-1);
        data.push_back(static_cast<int16_t>(-2 - rec));
    }
    EDF_RECORD r;
    ASSERT_TRUE(ParseEdf(h + fixtures::littleEndian(data), r).ok());
    EXPECT_EQ(r.PatientId, "Patient X");
    EXPECT_EQ(r.StartDate, "99.12.31");
    EXPECT_EQ(r.StartTime, "23.59.58");
    EXPECT_EQ(r.TotalSeconds, 2);
    ASSERT_EQ(r.Channels.size(), 2u);
    EXPECT_EQ(r.Channels[0].PhysMin, 0.8);
    EXPECT_EQ(r.Channels[1].PhysMin, -15.0);
    EXPECT_EQ(r.Channels[0].SampleCount, 256);
    EXPECT_EQ(r.Channels[0].Samples[128], 1000);
    EXPECT_EQ(r.Channels[1].Samples, (std::vector<int16_t>{-1, -2, -1, -3}));
    EXPECT_EQ(r.Channels[1].SampleRate, 2);
}

// Start date and time as the scanf-style reader takes them: any single
// separator in the time, blanks before a number.
TEST(EdfFile, StartDateAndTimeForms)
{
    const struct {
        const char *date, *time, *startDate, *startTime;
    } cases[] = {
        {"07.05.13", "14.25.30", "13.5.7", "14.25.30"},
        {" 7. 5.13", "14:25:30", "13.5.7", "14.25.30"},
        {"31.12.99", "09 08 07", "99.12.31", "9.8.7"},
        {"1.2.3", "1-2-3", "3.2.1", "1.2.3"},
    };
    for (const auto& c : cases) {
        EDF_RECORD r;
        const EdfProblem p = ParseEdf(fixtures::foreignEdf(256, 1, fixtures::wave(256), c.date, c.time), r);
        ASSERT_TRUE(p.ok()) << c.date << " " << c.time << ": " << p.message().toStdString();
        EXPECT_EQ(r.StartDate, c.startDate) << c.date;
        EXPECT_EQ(r.StartTime, c.startTime) << c.time;
    }
}

// Every malformed header is refused with the field and byte that are wrong.
TEST(EdfFile, MalformedFilesAreRefusedNamingFieldAndOffset)
{
    const QByteArray good = fixtures::foreignEdf(256, 2, fixtures::wave(512));
    struct Case {
        const char* what;
        int offset;
        QByteArray value;
        EdfError code;
        qint64 reportedOffset;
        const char* field;  // as the EDF standard names it
    } cases[] = {
        {"duration 0", 244, "0       ", EdfError::BadRecordDuration, 244, "duration of a data record"},
        {"negative duration", 244, "-0.5    ", EdfError::BadRecordDuration, 244, "duration of a data record"},
        {"duration of letters", 244, "1 s     ", EdfError::BadRecordDuration, 244, "duration of a data record"},
        {"negative records", 236, "-1      ", EdfError::BadRecordCount, 236, "number of data records"},
        {"records beyond the file", 236, "3       ", EdfError::DataTruncated, 236, "number of data records"},
        {"huge records", 236, "99999999", EdfError::DataTruncated, 236, "number of data records"},
        {"no signals", 252, "0   ", EdfError::BadSignalCount, 252, "number of signals"},
        {"signals beyond the file", 252, "9999", EdfError::BadSignalCount, 252, "number of signals"},
        {"text for signals", 252, "one ", EdfError::BadNumber, 252, "number of signals"},
        {"text for records", 236, "abc     ", EdfError::BadNumber, 236, "number of data records"},
        {"comma decimal", 360, "-3200,5 ", EdfError::BadNumber, 360, "physical minimum of signal 1"},
        {"digital min beyond 16 bits", 376, "-40000  ", EdfError::BadDigitalRange, 376, "digital minimum of signal 1"},
        {"zero samples per record", 472, "0       ", EdfError::BadSampleCount, 472,
         "samples in each data record of signal 1"},
        {"huge samples per record", 472, "99999999", EdfError::BadSampleCount, 472,
         "samples in each data record of signal 1"},
        {"date letters", 168, "ab.cd.ef", EdfError::BadDate, 168, "start date"},
        {"time missing part", 176, "14.25   ", EdfError::BadTime, 176, "start time"},
    };
    for (const Case& c : cases) {
        QByteArray bad = good;
        bad.replace(c.offset, c.value.size(), c.value);
        EDF_RECORD r;
        const EdfProblem p = ParseEdf(bad, r);
        EXPECT_EQ(p.code, c.code) << c.what << ": " << p.message().toStdString();
        EXPECT_EQ(p.offset, c.reportedOffset) << c.what;
        EXPECT_EQ(p.field, c.field) << c.what;
        EXPECT_TRUE(r.Channels.empty()) << c.what;
    }
    // Truncation at every length below the full file never crashes and never passes.
    for (int len = 0; len < good.size(); len += 37) {
        EDF_RECORD r;
        EXPECT_FALSE(ParseEdf(good.left(len), r).ok()) << len;
    }
    EDF_RECORD r;
    EXPECT_TRUE(ParseEdf(good, r).ok());
}

// A damaged header's refusal names the field's bytes, escaped.
TEST(EdfFile, RefusalsQuoteTheFieldEscaped)
{
    const QByteArray good = fixtures::foreignEdf(256, 2, fixtures::wave(512));
    const struct {
        int offset;
        QByteArray value;
        const char* shown;
    } cases[] = {
        {252, QByteArray("1\x00\x1b\x07", 4), R"("1\x00\x1b\x07")"},
        {236, "\x1b[2J    ", R"("\x1b[2J")"},
        {168, "07\x0a" "05.13", R"("07\x0a05.13")"},
        {244, QByteArray("\x00\x00\x00\x00\x00\x00\x00\x00", 8), R"("\x00\x00\x00\x00\x00\x00\x00\x00")"},
    };
    for (const auto& c : cases) {
        QByteArray bad = good;
        bad.replace(c.offset, c.value.size(), c.value);
        EDF_RECORD r;
        const QString message = ParseEdf(bad, r).message();
        EXPECT_TRUE(message.contains(QString::fromUtf8(c.shown))) << message.toStdString();
        for (const uint ch : message.toUcs4()) EXPECT_GE(ch, 0x20u) << c.shown;
    }
}

TEST(EdfFile, UnsupportedRateIsRefusedAndTheFileLeftUntouched)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("360.edf");
    fixtures::writeBytes(path, fixtures::foreignEdf(360, 2, fixtures::wave(720, 360)));
    const QByteArray before = fixtures::readBytes(path);

    int analysed = 0;
    OpenedRecording opened;
    const EdfProblem p = OpenRecording(path, [&](const EDF_RECORD&, int) { ++analysed; return ManagerResults{}; },
                                       true, opened);
    EXPECT_EQ(p.code, EdfError::UnsupportedRate);
    EXPECT_EQ(p.offset, 472);
    EXPECT_TRUE(p.message().contains("360")) << p.message().toStdString();
    EXPECT_EQ(analysed, 0);
    EXPECT_EQ(fixtures::readBytes(path), before);
}

TEST(EdfFile, WriterRefusesInconsistentInput)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("x.edf");
    const QByteArray samples = fixtures::littleEndian(fixtures::wave(100));
    EXPECT_EQ(WriteDownloadedEdf(path, fixtures::recorderHeader(99), samples, fixtures::series()).code, EdfError::BadInput);
    EXPECT_EQ(WriteDownloadedEdf(path, fixtures::recorderHeader(100, 0), samples, fixtures::series()).code,
              EdfError::BadInput);
    EXPECT_EQ(WriteDownloadedEdf(path, fixtures::recorderHeader(100), samples, QByteArray(10, 0)).code,
              EdfError::BadInput);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(WriteDownloadedEdf(dir.filePath("no/such/folder/x.edf"), fixtures::recorderHeader(100), samples,
                                 fixtures::series()).code,
              EdfError::CannotWrite);
}

// How the export cuts a recording into data records: whole seconds when it
// fills them, else the largest record with a duration the 8-character field
// holds exactly, at most 61,440 bytes.
TEST(EdfFile, ExportRecordLayouts)
{
    const struct {
        qint64 count, rate;
        qint64 records, perRecord;
        const char* duration;
        qint64 written;
    } cases[] = {
        {7680, 256, 30, 256, "1", 7680},
        {7700, 256, 5, 1540, "6.015625", 7700},
        {1920, 256, 1, 1920, "7.5", 1920},
        {100, 256, 1, 100, "0.390625", 100},
        {7709, 256, 41, 188, "0.734375", 7708},  // 7,709 = 13 x 593: no divisor fits
        {51328, 256, 2, 25664, "100.25", 51328},  // 200.5 s in one record would pass 61,440 bytes
        {3855, 128, 41, 94, "0.734375", 3854},
        {2, 256, 1, 2, "0.007813", 2},  // nothing exact below 4 samples: as near as the field allows
    };
    for (const auto& c : cases) {
        const EdfRecordLayout l = ChooseRecordLayout(c.count, c.rate);
        EXPECT_EQ(l.records, c.records) << c.count << " at " << c.rate;
        EXPECT_EQ(l.samplesPerRecord, c.perRecord) << c.count << " at " << c.rate;
        EXPECT_EQ(l.duration.toStdString(), c.duration) << c.count << " at " << c.rate;
        EXPECT_EQ(l.samplesWritten, c.written) << c.count << " at " << c.rate;
    }
}

TEST(EdfFile, DecimationKeepsEvenSamples)
{
    EDF_CHANNEL ch;
    ch.Samples = {0, 1, 2, 3, 4, 5, 6};
    ch.SampleCount = 7;
    ch.SampleRate = 256;
    DecimateTo128(ch);
    EXPECT_EQ(ch.Samples, (std::vector<int16_t>{0, 2, 4}));
    EXPECT_EQ(ch.SampleCount, 3);
    EXPECT_EQ(ch.SampleRate, 128);
}

TEST(SamplingConversion, ResamplerInterpolatesIn32ndsFor360To256)
{
    std::vector<int16_t> x;
    for (int i = 0; i < 3600; ++i) x.push_back(static_cast<int16_t>((i % 5) * 32));
    const std::vector<int16_t> in = x;
    const int n = ResampleLinear(360, 256, x);
    EXPECT_EQ(n, 2560);
    EXPECT_EQ(x[0], in[0]);
    EXPECT_EQ(x[1], in[1] + 13 * (in[2] - in[1]) / 32);
    std::vector<int16_t> y = in;
    EXPECT_EQ(ResampleLinear(128, 256, y), 0);
    EXPECT_EQ(y, in);
    EXPECT_EQ(ResampleLinear(256, 256, y), 3600);
}

// Lengths that are no multiple of the 32 steps of a 360-to-256 cycle, and
// falling slopes, where the interpolated part must be cut toward zero (a
// floor would give 221, 123, 24, -74 and 41). Worked out by hand from the
// positions m x from / to.
TEST(SamplingConversion, ResamplerCutsTowardZeroAtAnyLength)
{
    const struct {
        int from, to;
        std::vector<int16_t> in, out;
    } cases[] = {
        {360, 256, {320, 250, 180, 110, 40, -30, -100}, {320, 222, 124, 25, -73}},
        {500, 256, {1000, 990, -5, -600, -601, 7, 7, 3}, {1000, 42, -600, 7}},
        {360, 256, {5}, {}},
        {360, 256, {5, -5}, {5}},
    };
    for (const auto& c : cases) {
        std::vector<int16_t> x = c.in;
        EXPECT_EQ(ResampleLinear(c.from, c.to, x), static_cast<int>(c.out.size()));
        EXPECT_EQ(x, c.out) << c.from << " to " << c.to << ", " << c.in.size() << " samples";
    }
    // Every output needs an input after its position: n inputs at 360/s give
    // the outputs m with floor(45 m / 32) + 1 < n.
    for (const auto& [n, outputs] : {std::pair{33, 23}, {45, 32}, {46, 32}, {47, 33}, {100, 71}, {3601, 2560}}) {
        std::vector<int16_t> x(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) x[static_cast<size_t>(i)] = static_cast<int16_t>(3 * n - 7 * i);
        EXPECT_EQ(ResampleLinear(360, 256, x), outputs) << n;
        EXPECT_EQ(x.size(), static_cast<size_t>(outputs)) << n;
    }
}

TEST(SamplingConversion, WritesBesideTheChosenFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("100.edf");
    fixtures::writeBytes(path, fixtures::foreignEdf(360, 30, fixtures::wave(360 * 30, 360)));
    QString out;
    ASSERT_TRUE(ConvertTo256(path, &out).ok());
    EXPECT_EQ(out, dir.filePath("100-256.edf"));
    EDF_RECORD r;
    ASSERT_TRUE(ReadEdfFile(out, r).ok());
    EXPECT_EQ(r.StartDate, "13.5.7");
    EXPECT_EQ(r.StartTime, "14.25.30");
    EXPECT_EQ(r.TotalSeconds, 30);
    EXPECT_EQ(r.Channels[0].SampleRate, 256);
    EXPECT_EQ(r.Channels[0].SampleCount, 7680);
    EXPECT_EQ(fixtures::readBytes(out).size(), 512 + 2 * 7680 + 2582);

    const QString slow = dir.filePath("slow.edf");
    fixtures::writeBytes(slow, fixtures::foreignEdf(128, 2, fixtures::wave(256, 128)));
    EXPECT_EQ(ConvertTo256(slow).code, EdfError::UnsupportedRate);
    EXPECT_FALSE(QFile::exists(ConvertedPath(slow)));
}

}  // namespace

namespace {

TEST(EdfFile, PlainExportKeepsFractionalRangesWithinTheirFields)
{
    QTemporaryDir dir;
    EDF_RECORD r;
    r.StartDate = "13.5.7";
    r.StartTime = "4.5.6";
    r.TotalSeconds = 1;
    EDF_CHANNEL ch;
    ch.Samples = fixtures::wave(256);
    ch.SampleCount = 256;
    ch.SampleRate = 256;
    ch.PhysMin = -3.14159265;
    ch.PhysMax = 12345.6789;
    ch.DigMin = -2048;
    ch.DigMax = 2047;
    r.Channels.push_back(ch);
    const QString path = dir.filePath("plain.edf");
    ASSERT_TRUE(WritePlainEdf(path, r, 0, false).ok());
    const QByteArray f = fixtures::readBytes(path);
    EXPECT_EQ(f.mid(168, 16), "07.05.1304.05.06");
    EXPECT_EQ(f.mid(360, 8), "-3.14159");
    EXPECT_EQ(f.mid(368, 8), "12345.68");
    EDF_RECORD back;
    ASSERT_TRUE(ReadEdfFile(path, back).ok());
    EXPECT_EQ(back.Channels[0].Samples, ch.Samples);
    EXPECT_NEAR(back.Channels[0].PhysMin, -3.14159, 1e-9);
}

}  // namespace
