#include "StoreFixtures.h"
#include "store/EdfRecord.h"
#include "store/FhrBlock.h"
#include "store/OpenRecording.h"
#include "store/SamplingConversion.h"
#include "tools/cli/Commands.h"

#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

ManagerResults someResults()
{
    ManagerResults r;
    r.HeartRate = 300;  // stored as its low 8 bits
    r.RhythmFinding = true;
    r.IrregularFinding = true;
    r.PauseFinding = true;
    r.EctopyGrade = 2;
    r.beatCount = 40;
    r.firstValidBeat = 2;
    r.stableStartBeat = 4;
    for (int i = 0; i < r.beatCount; ++i) {
        r.beatTime[i] = 100 + 96 * i;
        r.beatType[i] = i < 2 ? 13 : 1;
        r.RtoR[i] = 750;
    }
    r.beatType[10] = 5;
    r.beatType[11] = 0;
    r.RtoR[3] = 400;   // before the stable start: not valid for the rates
    r.RtoR[20] = 600;  // shortest valid -> 100 bpm
    r.RtoR[21] = 1500; // longest valid -> 40 bpm
    r.RtoR[22] = 3000; // not below 3000 ms
    return r;
}

TEST(FhrBlock, ManagerResultsLandWhereTheBlockTableSays)
{
    FHR_BLOCK b;
    b.Bytes.fill(0xEE);
    StoreManagerResults(someResults(), b);
    const auto& x = b.Bytes;
    EXPECT_EQ(x[258], 300 & 0xFF);
    EXPECT_EQ(x[259], 1);
    EXPECT_EQ(x[260], 0);
    EXPECT_EQ(x[261], 3);  // grade 2 + 1
    EXPECT_EQ(x[262], 1);
    EXPECT_EQ(x[263], 2);
    EXPECT_EQ(x[264], 3);  // two unclassified (13) and one type 5
    EXPECT_EQ(x[265], 36);
    EXPECT_EQ(x[266], 40);
    EXPECT_EQ(x[267], 100);
    EXPECT_EQ(x[268], 40);
    EXPECT_EQ(x[269], x[258]);
    EXPECT_EQ(x[270], 1);
    EXPECT_EQ(x[271], 0);
    EXPECT_EQ(x[272], 1);
    EXPECT_EQ(x[273], 1);
    EXPECT_EQ(x[274], 1);
    EXPECT_EQ(x[275], 0);
    EXPECT_EQ(x[276], 0);
    EXPECT_EQ(b.u16(277), 128);
    EXPECT_EQ(b.i32(279), 100);
    EXPECT_EQ(b.i32(279 + 4 * 39), 100 + 96 * 39);
    EXPECT_EQ(b.i32(279 + 4 * 40), 0);
    EXPECT_EQ(x[679 + 10], 5);
    EXPECT_EQ(x[679 + 40], 13);
    EXPECT_EQ(b.u16(779), 40);
    EXPECT_EQ(b.u16(781 + 2 * 20), 600);
    EXPECT_EQ(b.u16(781 + 2 * 99), 0);
    EXPECT_EQ(x[257], 0xEE);  // outside 258-980 nothing moves
    EXPECT_EQ(x[981], 0xEE);

    // Summary code: noise beats unstable beats the grade.
    ManagerResults r = someResults();
    r.UnstableFinding = true;
    StoreManagerResults(r, b);
    EXPECT_EQ(b.Bytes[261], 1);
    r.NoiseFinding = true;
    StoreManagerResults(r, b);
    EXPECT_EQ(b.Bytes[261], 0);
    // No valid RR: both rates 0.
    r.firstValidBeat = -1;
    StoreManagerResults(r, b);
    EXPECT_EQ(b.Bytes[267], 0);
    EXPECT_EQ(b.Bytes[268], 0);
}

TEST(FhrBlock, ForeignFileGrowsByOneBlockOnceAndGetsTheManagersValues)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("foreign.edf");
    // The last samples spell "FH" where a block's signature would sit: still no block.
    std::vector<int16_t> samples = fixtures::wave(256 * 10);
    const size_t tail = samples.size() - 2582 / 2;
    samples[tail] = static_cast<int16_t>('F' << 8);
    samples[tail + 1] = 'H';
    const QByteArray original = fixtures::foreignEdf(256, 10, samples);
    fixtures::writeBytes(path, original);

    auto analyse = [](const EDF_RECORD& rec, int pause) {
        EXPECT_EQ(pause, 2);
        EXPECT_EQ(rec.Channels[0].SampleRate, 256);
        return someResults();
    };
    OpenedRecording opened;
    ASSERT_TRUE(OpenRecording(path, analyse, false, opened).ok());
    EXPECT_FALSE(opened.hadBlock);
    EXPECT_EQ(opened.record.Channels[0].SampleRate, 128);  // decimated for display only
    const QByteArray after = fixtures::readBytes(path);
    ASSERT_EQ(after.size(), original.size() + 2582);
    EXPECT_EQ(after.left(original.size()), original);
    const FHR_BLOCK b = FHR_BLOCK::fromBytes(after.right(2582));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(&b.Bytes[1]), 3), "FHR");
    EXPECT_EQ(b.Bytes[981], 1);
    using H = DEVICE_RECORD_HEADER;
    EXPECT_EQ(b.Bytes[H::HeartRate], 300 & 0xFF);
    EXPECT_EQ(b.Bytes[H::RhythmFinding], 1);
    EXPECT_EQ(b.Bytes[H::TachyThreshold], 100);
    EXPECT_EQ(b.Bytes[H::BradyThreshold], 60);
    EXPECT_EQ(b.Bytes[H::PauseFinding], 1);
    EXPECT_EQ(b.Bytes[H::PauseThreshold], 2);
    for (int o : {44, 45, 46, 55}) EXPECT_EQ(b.Bytes[o], 1) << o;
    // The rest of the recorder part starts from zeros, not from the file's samples.
    EXPECT_EQ(b.header().deviceNumber(), 0u);
    for (int i = 982; i < 2582; ++i) ASSERT_EQ(b.Bytes[i], 0) << i;

    ASSERT_TRUE(OpenRecording(path, analyse, true, opened).ok());
    EXPECT_TRUE(opened.hadBlock);
    EXPECT_EQ(fixtures::readBytes(path).size(), after.size());
    // Nothing but the file itself is left in the folder.
    QDirIterator it(dir.path(), QDir::Files | QDir::Hidden);
    int files = 0;
    while (it.hasNext()) { it.next(); ++files; }
    EXPECT_EQ(files, 1);
}

TEST(FhrBlock, DownloadedFileKeepsLengthRecorderPartAndUploadedMarker)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("142530.edf");
    fixtures::writeDownloaded(path, 7680);
    const QByteArray downloaded = fixtures::readBytes(path);
    // A downloaded file is known by its signed block before it was ever opened.
    FHR_BLOCK asDownloaded;
    EXPECT_TRUE(ReadFhrBlock(path, asDownloaded));
    EXPECT_EQ(asDownloaded.Bytes[FHR_BLOCK::AnalysedMark], 0);

    int pauseSeen = -1;
    auto analyse = [&](const EDF_RECORD&, int pause) { pauseSeen = pause; return someResults(); };
    OpenedRecording opened;
    ASSERT_TRUE(OpenRecording(path, analyse, true, opened).ok());
    EXPECT_TRUE(opened.hadBlock);  // the block of a download is refreshed, not doubled
    EXPECT_EQ(fixtures::readBytes(path).size(), downloaded.size());
    ASSERT_TRUE(SetUploadedMarker(path).ok());
    ASSERT_TRUE(OpenRecording(path, analyse, true, opened).ok());
    EXPECT_TRUE(opened.hadBlock);
    EXPECT_EQ(pauseSeen, 3);  // the recorder's threshold from block byte 51
    const QByteArray after = fixtures::readBytes(path);
    ASSERT_EQ(after.size(), downloaded.size());
    EXPECT_EQ(after.left(512 + 2 * 7680), downloaded.left(512 + 2 * 7680));
    const FHR_BLOCK b = FHR_BLOCK::fromBytes(after.right(2582));
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(&b.Bytes[1]), 3), "FHR");
    EXPECT_EQ(b.uploadedMarker(), 1);
    EXPECT_EQ(b.Bytes[981], 1);
    // The recorder's own findings and series stay as downloaded.
    const QByteArray before = downloaded.right(2582);
    for (int i = 4; i < 256; ++i) ASSERT_EQ(b.Bytes[i], static_cast<uint8_t>(before[i])) << i;
    EXPECT_EQ(after.right(1600), fixtures::series());

    DataSetInfo info;
    FillDataSetInfo(b, info);
    EXPECT_EQ(info.heartRate, "72");
    EXPECT_EQ(info.rhythm, "1");
    EXPECT_EQ(info.tachyThreshold, "120");
    EXPECT_EQ(info.bradyThreshold, "50");
    EXPECT_EQ(info.pauseThreshold, "3");
    EXPECT_EQ(info.signalQuality, "2");
}

// 2,582 trailing bytes are a block only when they describe the file: the conversion's zeros, a fill of
// 0xFF or a block of another recording are not, and opening such a file finds nothing false.
TEST(FhrBlock, AnUnsignedTrailingBlockCountsOnlyWhenItAgreesWithTheFile)
{
    QTemporaryDir dir;
    const QString source = dir.filePath("100.edf");
    fixtures::writeBytes(source, fixtures::foreignEdf(360, 30, fixtures::wave(360 * 30, 360)));
    QString converted;
    ASSERT_TRUE(ConvertTo256(source, &converted).ok());

    const QString downloaded = dir.filePath("142530.edf");
    fixtures::writeDownloaded(downloaded, 7680);
    QByteArray unsignedBytes = fixtures::readBytes(downloaded);
    const qsizetype blockAt = unsignedBytes.size() - FHR_BLOCK::Size;
    unsignedBytes[blockAt + 1] = unsignedBytes[blockAt + 2] = unsignedBytes[blockAt + 3] = 0;
    const QString agreeing = dir.filePath("agreeing.edf");
    fixtures::writeBytes(agreeing, unsignedBytes);
    QByteArray otherRate = unsignedBytes;
    otherRate[blockAt + DEVICE_RECORD_HEADER::SampleRate] = char(128);
    otherRate[blockAt + DEVICE_RECORD_HEADER::SampleRate + 1] = 0;
    const QString disagreeing = dir.filePath("other-rate.edf");
    fixtures::writeBytes(disagreeing, otherRate);
    QByteArray filled = unsignedBytes;
    filled.replace(blockAt, FHR_BLOCK::Size, QByteArray(FHR_BLOCK::Size, char(0xFF)));
    const QString ffFilled = dir.filePath("ff.edf");
    fixtures::writeBytes(ffFilled, filled);

    const struct {
        QString path;
        bool isBlock;
    } cases[] = {{converted, false}, {ffFilled, false}, {disagreeing, false}, {agreeing, true}};
    for (const auto& c : cases) {
        FHR_BLOCK block;
        EXPECT_EQ(ReadTrailingBlock(c.path, block), c.isBlock) << c.path.toStdString();
        int pauseSeen = -1;
        OpenedRecording opened;
        auto analyse = [&](const EDF_RECORD&, int pause) { pauseSeen = pause; return ManagerResults{}; };
        ASSERT_TRUE(OpenRecording(c.path, analyse, true, opened).ok()) << c.path.toStdString();
        EXPECT_EQ(opened.hadBlock, c.isBlock) << c.path.toStdString();
        // Without a block the analysis takes its own 2-second pause threshold, never a filler byte.
        EXPECT_EQ(pauseSeen, c.isBlock ? 3 : 2) << c.path.toStdString();
        DataSetInfo info;
        FillDataSetInfo(opened.block, info);
        if (!c.isBlock) {
            EXPECT_EQ(opened.block.Bytes[DEVICE_RECORD_HEADER::TachyThreshold], 100) << "the manager's own values";
            EXPECT_EQ(opened.block.Bytes[DEVICE_RECORD_HEADER::PauseThreshold], 2);
        }
    }
}

TEST(FhrBlock, SignalQualityTextFollowsTheCode)
{
    const struct {
        uint8_t code;
        const char* text;
    } cases[] = {{0, "0"}, {1, "1"}, {16, "2"}, {17, "1"}, {2, "previous"}, {255, "previous"}};
    for (const auto& c : cases) {
        FHR_BLOCK b;
        b.Bytes[1] = 'F';
        b.Bytes[2] = 'H';
        b.Bytes[DEVICE_RECORD_HEADER::SignalQuality] = c.code;
        DataSetInfo info;
        info.signalQuality = "previous";
        FillDataSetInfo(b, info);
        EXPECT_EQ(info.signalQuality, c.text) << int(c.code);
    }
    FHR_BLOCK unsigned_;
    DataSetInfo info;
    info.heartRate = "80";
    info.rhythm = "1";
    FillDataSetInfo(unsigned_, info);
    EXPECT_EQ(info.heartRate, "");
    EXPECT_EQ(info.rhythm, "1");
}

TEST(FhrBlock, UploadedMarkerNeedsABlock)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("foreign.edf");
    const QByteArray original = fixtures::foreignEdf(256, 2, fixtures::wave(512));
    fixtures::writeBytes(path, original);
    EXPECT_FALSE(SetUploadedMarker(path).ok());
    EXPECT_EQ(fixtures::readBytes(path), original);
}

TEST(CliInfo, JsonLinePerFileAndRefusalsExitNonZero)
{
    QTemporaryDir dir;
    const QString good = dir.filePath("142530.edf");
    fixtures::writeDownloaded(good, 7700);
    const QString bad = dir.filePath("bad.edf");
    fixtures::writeBytes(bad, fixtures::foreignEdf(360, 1, fixtures::wave(360, 360)));

    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    EXPECT_EQ(cli::RunInfo({"--json", good}, out, err), 0) << errText.toStdString();
    out.flush();
    const QJsonObject o = QJsonDocument::fromJson(outText.trimmed().toUtf8()).object();
    EXPECT_EQ(o["file"].toString(), good);
    EXPECT_EQ(o["sampleRate"].toInt(), 256);
    EXPECT_EQ(o["sampleCount"].toInt(), 7700);
    EXPECT_EQ(o["seconds"].toInt(), 30);
    EXPECT_EQ(o["startDate"].toString(), "13.5.7");
    EXPECT_EQ(o["startTime"].toString(), "14.25.30");
    EXPECT_TRUE(o["hasBlock"].toBool());
    EXPECT_FALSE(o["opened"].toBool());
    EXPECT_EQ(o["recorder"].toObject()["deviceId"].toString(), "0000A1F3");

    outText.clear();
    EXPECT_NE(cli::RunInfo({good, bad}, out, err), 0);
    out.flush();
    err.flush();
    EXPECT_TRUE(outText.contains("heartRate: 72")) << outText.toStdString();
    EXPECT_TRUE(errText.contains("bad.edf")) << errText.toStdString();
    EXPECT_TRUE(errText.contains("samples in each data record")) << errText.toStdString();
}

}  // namespace

TEST(CliInfo, HeaderTextWithControlCharactersIsPrintedEscaped)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("142530.edf");
    fixtures::writeDownloaded(path, 7700);
    QByteArray bytes = fixtures::readBytes(path);
    const QByteArray patient("X \x1b]2;owned\x07 Y");  // a terminal title change
    bytes.replace(8, patient.size(), patient);
    fixtures::writeBytes(path, bytes);

    QString outText, errText;
    QTextStream out(&outText), err(&errText);
    EXPECT_EQ(cli::RunInfo({path}, out, err), 0) << errText.toStdString();
    out.flush();
    EXPECT_FALSE(outText.contains(QChar(0x1b))) << outText.toStdString();
    EXPECT_TRUE(outText.contains("patientId: \"X \\u001b]2;owned\\u0007 Y")) << outText.toStdString();
    EXPECT_TRUE(outText.contains("sampleRate: 256")) << outText.toStdString();
}
