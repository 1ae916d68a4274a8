// The analysis applied to recording files: opening a recording updates its
// analysis block, unsupported rates are refused, and the command line's
// analyse and batch commands.
#include "sim/ecg/EcgSynth.h"
#include "sim/ecg/RecorderOwnAnalysis.h"
#include "store/EdfWriter.h"
#include "store/OpenRecording.h"
#include "store/RecordingAnalysis.h"
#include "tools/cli/Commands.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

namespace {

struct RecorderSays {
    uint8_t noise = 0, rhythm = 0, waveform = 0, pause = 0, quality = 0;
    uint8_t pauseThreshold = 2;
};

// Writes a downloaded recording of synthesised ECG, as the download would.
QString WriteRecording(const QString& path, const sim::SynthOptions& o, const RecorderSays& recorder = {},
                       int headerRate = 0)
{
    const QByteArray sampleBytes = LittleEndianSamples(sim::SynthesiseEcgSamples(o));
    DEVICE_RECORD_HEADER h;
    h.setU8(DEVICE_RECORD_HEADER::YearBcd, 0x24);
    h.setU8(DEVICE_RECORD_HEADER::MonthBcd, 0x05);
    h.setU8(DEVICE_RECORD_HEADER::DayBcd, 0x07);
    h.setU8(DEVICE_RECORD_HEADER::HourBcd, 0x14);
    h.setU8(DEVICE_RECORD_HEADER::MinuteBcd, 0x25);
    h.setU8(DEVICE_RECORD_HEADER::SecondBcd, 0x30);
    h.setU16(DEVICE_RECORD_HEADER::SampleRate, static_cast<uint16_t>(headerRate ? headerRate : o.sampleRate));
    h.setU16(DEVICE_RECORD_HEADER::PhysMin, static_cast<uint16_t>(-11000));
    h.setU16(DEVICE_RECORD_HEADER::PhysMax, 11000);
    h.setU16(DEVICE_RECORD_HEADER::DigMin, 0);
    h.setU16(DEVICE_RECORD_HEADER::DigMax, 4095);
    h.setU32(DEVICE_RECORD_HEADER::DataByteCount, static_cast<uint32_t>(sampleBytes.size()));
    h.setU8(DEVICE_RECORD_HEADER::NoiseFinding, recorder.noise);
    h.setU8(DEVICE_RECORD_HEADER::RhythmFinding, recorder.rhythm);
    h.setU8(DEVICE_RECORD_HEADER::WaveformFinding, recorder.waveform);
    h.setU8(DEVICE_RECORD_HEADER::PauseFinding, recorder.pause);
    h.setU8(DEVICE_RECORD_HEADER::SignalQuality, recorder.quality);
    h.setU8(DEVICE_RECORD_HEADER::PauseThreshold, recorder.pauseThreshold);
    const EdfProblem p = WriteDownloadedEdf(path, h, sampleBytes, QByteArray(1600, '\0'));
    EXPECT_TRUE(p.ok()) << p.message().toStdString();
    return path;
}

QByteArray FileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

FHR_BLOCK BlockOf(const QString& path)
{
    return FHR_BLOCK::fromBytes(FileBytes(path).right(FHR_BLOCK::Size));
}

struct CliResult {
    int status;
    QString out, err;
};

CliResult RunCli(int (*command)(const QStringList&, QTextStream&, QTextStream&), const QStringList& args)
{
    CliResult r;
    QTextStream out(&r.out), err(&r.err);
    r.status = command(args, out, err);
    out.flush();
    err.flush();
    return r;
}

class RecordingAnalysisTest : public ::testing::Test {
protected:
    QString PathOf(const QString& name) const { return dir_.filePath(name); }
    QTemporaryDir dir_;
};

TEST_F(RecordingAnalysisTest, OpeningARecordingStoresTheAnalysisInItsBlock)
{
    sim::SynthOptions o;
    o.pattern = sim::EctopyPattern::VentricularBigeminy;
    const QString path = WriteRecording(PathOf("142530.edf"), o);
    const auto expected = std::make_unique<ecg::AnalysisResult>(
        ecg::AnalyseRecording(sim::SynthesiseEcgSamples(o), 256, 0, 4095, 2));

    OpenedRecording opened;
    ASSERT_TRUE(OpenRecording(path, RecordingAnalysisHook(), false, opened).ok());
    ASSERT_TRUE(opened.writeProblem.ok()) << opened.writeProblem.message().toStdString();
    EXPECT_EQ(opened.record.Channels[0].SampleRate, 128);  // shown at 128/s, analysed from the 256/s file

    const FHR_BLOCK block = BlockOf(path);
    const auto& b = block.Bytes;
    const ecg::AnalysisFindings& f = expected->findings;
    EXPECT_TRUE(f.rhythm && f.waveform && f.ectopyGrade == 4);
    EXPECT_EQ(b[FHR_BLOCK::ManagerHeartRate], static_cast<uint8_t>(f.heartRate));
    EXPECT_EQ(b[FHR_BLOCK::ManagerRhythm], 1);
    EXPECT_EQ(b[FHR_BLOCK::ManagerWaveform], 1);
    EXPECT_EQ(b[FHR_BLOCK::SummaryCode], 5);  // grade + 1
    EXPECT_EQ(b[FHR_BLOCK::ManagerEctopyGrade], 4);
    EXPECT_EQ(b[FHR_BLOCK::BeatCountByte], expected->beatCount);
    EXPECT_EQ(block.u16(FHR_BLOCK::BeatCountWord), expected->beatCount);
    EXPECT_EQ(block.u16(FHR_BLOCK::AnalysisRate), 128);
    EXPECT_EQ(b[FHR_BLOCK::AnyType5], 1);
    EXPECT_EQ(b[FHR_BLOCK::AnalysedMark], 1);
    for (int i = 0; i < FHR_BLOCK::kStoredBeats; ++i) {
        const bool used = i < expected->beatCount;
        const size_t slot = static_cast<size_t>(i);
        EXPECT_EQ(block.i32(FHR_BLOCK::BeatTimes + 4 * i), used ? expected->series.beatTime[slot] : 0);
        EXPECT_EQ(b[static_cast<size_t>(FHR_BLOCK::BeatTypes + i)], used ? expected->series.beatType[slot] : 13);
        EXPECT_EQ(static_cast<int16_t>(block.u16(FHR_BLOCK::BeatRtoR + 2 * i)), used ? expected->series.RtoR[slot] : 0);
    }
}

TEST_F(RecordingAnalysisTest, PauseThresholdComesFromTheRecordersBlock)
{
    sim::SynthOptions o;
    o.pausesAt = {15.0};
    o.pauseSeconds = 3.0;
    for (const auto& [threshold, pause] : {std::pair<uint8_t, uint8_t>{2, 1}, {4, 0}}) {
        RecorderSays recorder;
        recorder.pauseThreshold = threshold;
        const QString path = WriteRecording(PathOf(QStringLiteral("p%1.edf").arg(threshold)), o, recorder);
        OpenedRecording opened;
        ASSERT_TRUE(OpenRecording(path, RecordingAnalysisHook(), false, opened).ok());
        EXPECT_EQ(BlockOf(path).Bytes[FHR_BLOCK::ManagerPause], pause) << "threshold " << int(threshold);
    }
}

TEST_F(RecordingAnalysisTest, UnsupportedSampleRateIsRefusedAndTheFileLeftAlone)
{
    sim::SynthOptions o;
    o.sampleRate = 200;
    const QString path = WriteRecording(PathOf("rate200.edf"), o);
    const QByteArray before = FileBytes(path);

    OpenedRecording opened;
    const EdfProblem problem = OpenRecording(path, RecordingAnalysisHook(), false, opened);
    EXPECT_EQ(problem.code, EdfError::UnsupportedRate);
    EXPECT_FALSE(problem.message().isEmpty());
    EXPECT_EQ(FileBytes(path), before);

    // The analysis refuses it on its own too, and the seam answers "noise".
    EDF_RECORD record;
    ASSERT_TRUE(ReadEdfFile(path, record).ok());
    auto result = std::make_unique<ecg::AnalysisResult>();
    EXPECT_EQ(AnalyseEdfRecord(record, 2, *result).code, EdfError::UnsupportedRate);
    const ManagerResults refused = RecordingAnalysisHook()(record, 2);
    EXPECT_TRUE(refused.NoiseFinding);
    EXPECT_EQ(refused.beatCount, 0);

    const CliResult cli = RunCli(cli::RunAnalyse, {"--json", path});
    EXPECT_NE(cli.status, 0);
    EXPECT_TRUE(cli.out.startsWith("{\"file\": \"" + path + "\", \"error\": \"")) << cli.out.toStdString();
}

TEST_F(RecordingAnalysisTest, CliAnalysePrintsOneJsonLineAndLeavesTheFileAlone)
{
    sim::SynthOptions o;
    const QString path = WriteRecording(PathOf("142530.edf"), o);
    const QByteArray before = FileBytes(path);

    const CliResult r = RunCli(cli::RunAnalyse, {"--json", path});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    static const QRegularExpression line(
        "^\\{\"file\": \"[^\"]+\", \"sampleRate\": 256, \"seconds\": 30, \"heartRate\": (7[123]), \"rhythm\": false, "
        "\"waveform\": false, \"pause\": false, \"irregular\": false, \"noise\": false, \"unstable\": false, "
        "\"weak\": false, \"ectopyGrade\": 1, \"beatCount\": (\\d+)\\}\n$");
    const QRegularExpressionMatch m = line.match(r.out);
    EXPECT_TRUE(m.hasMatch()) << r.out.toStdString();
    EXPECT_EQ(FileBytes(path), before);

    const CliResult beats = RunCli(cli::RunAnalyse, {"--json", "--beats", path});
    static const QRegularExpression beat("\\{\"time\": (\\d+), \"type\": (\\d+), \"rr\": (\\d+)\\}");
    int count = 0;
    for (auto it = beat.globalMatch(beats.out); it.hasNext(); it.next()) ++count;
    EXPECT_EQ(count, m.captured(2).toInt());
    EXPECT_TRUE(beats.out.contains("\"beats\": [{\"time\": ")) << beats.out.toStdString();

    const CliResult text = RunCli(cli::RunAnalyse, {path});
    EXPECT_TRUE(text.out.contains("findings:     none")) << text.out.toStdString();
    EXPECT_EQ(FileBytes(path), before);
}

TEST_F(RecordingAnalysisTest, CliAnalyseUpdateWritesTheBlock)
{
    sim::SynthOptions o;
    const QString path = WriteRecording(PathOf("142530.edf"), o);
    ASSERT_EQ(BlockOf(path).Bytes[FHR_BLOCK::AnalysedMark], 0);
    const qint64 size = FileBytes(path).size();
    const CliResult r = RunCli(cli::RunAnalyse, {"--update", "--json", path});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(BlockOf(path).Bytes[FHR_BLOCK::AnalysedMark], 1);
    EXPECT_NEAR(BlockOf(path).Bytes[FHR_BLOCK::ManagerHeartRate], 72, 1);
    EXPECT_EQ(FileBytes(path).size(), size);
}

TEST_F(RecordingAnalysisTest, CliAnalyseReportsEachFileAndFailsForAMissingOne)
{
    const QString good = WriteRecording(PathOf("good.edf"), sim::SynthOptions{});
    const QString missing = PathOf("missing.edf");
    const CliResult r = RunCli(cli::RunAnalyse, {"--json", good, missing});
    EXPECT_NE(r.status, 0);
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains("\"heartRate\": "));
    EXPECT_TRUE(lines[1].startsWith("{\"file\": \"" + missing + "\", \"error\": \"")) << lines[1].toStdString();
    EXPECT_EQ(RunCli(cli::RunAnalyse, {}).status, 2);
    EXPECT_EQ(RunCli(cli::RunAnalyse, {"--frobnicate", good}).status, 2);
}

TEST_F(RecordingAnalysisTest, BatchComparesEveryRecordingWithTheRecordersFindings)
{
    // Layout as the library keeps it, with letter case and hidden entries mixed in.
    ASSERT_TRUE(QDir(dir_.path()).mkpath("DATA/0000A1F3/202405/07"));
    ASSERT_TRUE(QDir(dir_.path()).mkpath("DATA/.hidden"));
    const QString day = PathOf("DATA/0000A1F3/202405/07/");
    sim::SynthOptions bigeminy;
    bigeminy.pattern = sim::EctopyPattern::VentricularBigeminy;
    RecorderSays agrees;
    agrees.rhythm = agrees.waveform = 1;
    WriteRecording(day + "142530.edf", bigeminy, agrees);  // agrees on everything but the series
    RecorderSays disagrees;
    disagrees.noise = 1;
    disagrees.pause = 1;
    disagrees.quality = 17;
    WriteRecording(day + "150000.EDF", sim::SynthOptions{}, disagrees);
    WriteRecording(day + ".160000.edf", sim::SynthOptions{}, disagrees);
    WriteRecording(PathOf("DATA/.hidden/170000.edf"), sim::SynthOptions{}, disagrees);
    QFile note(day + "142530.cmm");
    ASSERT_TRUE(note.open(QIODevice::WriteOnly));
    note.write("note");
    note.close();
    const QByteArray before = FileBytes(day + "142530.edf");

    const BatchRun run = RunBatchComparison(PathOf("DATA"));
    EXPECT_EQ(run.tally.count, 2);
    EXPECT_EQ(run.tally.noise, 1);
    EXPECT_EQ(run.tally.rhythm, 0);
    EXPECT_EQ(run.tally.waveform, 0);
    EXPECT_EQ(run.tally.pause, 1);
    EXPECT_EQ(run.tally.problem, 1);
    EXPECT_EQ(run.tally.weak, 1);
    EXPECT_TRUE(run.refused.isEmpty()) << run.refused.join("\n").toStdString();
    EXPECT_EQ(FileBytes(day + "142530.edf"), before);

    const CliResult cli = RunCli(cli::RunBatch, {PathOf("DATA")});
    EXPECT_EQ(cli.status, 0) << cli.err.toStdString();
    EXPECT_TRUE(cli.out.startsWith("Noise: 1\nRhythm: 0\nWaveform: 0\nPause: 1\nProblem: 1\nWeak: 1\nRtoR: "))
        << cli.out.toStdString();
    EXPECT_TRUE(cli.out.endsWith("count: 2\n")) << cli.out.toStdString();
    EXPECT_NE(RunCli(cli::RunBatch, {PathOf("nowhere")}).status, 0);
}

TEST_F(RecordingAnalysisTest, BatchFindsNoMismatchWhenTheRecorderAnalysedAsTheManagerDoes)
{
    ASSERT_TRUE(QDir(dir_.path()).mkpath("DATA/0000A1F3/202405/07"));
    const QString day = PathOf("DATA/0000A1F3/202405/07/");
    sim::SynthOptions o;
    int file = 0;
    for (sim::EctopyPattern pattern : {sim::EctopyPattern::None, sim::EctopyPattern::VentricularBigeminy}) {
        o.pattern = pattern;
        const std::vector<int16_t> samples = sim::SynthesiseEcgSamples(o);
        const sim::RecorderOwnAnalysis own = sim::AnalyseAsRecorder(samples, o.sampleRate);
        const QString path = WriteRecording(day + QStringLiteral("1%1000.edf").arg(file++), o);
        // Replace the recorder's part of the block with its own analysis.
        QByteArray bytes = FileBytes(path);
        char* block = bytes.data() + bytes.size() - FHR_BLOCK::Size;
        block[DEVICE_RECORD_HEADER::NoiseFinding] = static_cast<char>(own.noise);
        block[DEVICE_RECORD_HEADER::RhythmFinding] = static_cast<char>(own.rhythm);
        block[DEVICE_RECORD_HEADER::WaveformFinding] = static_cast<char>(own.waveform);
        block[DEVICE_RECORD_HEADER::PauseFinding] = static_cast<char>(own.pause);
        block[DEVICE_RECORD_HEADER::SignalQuality] = static_cast<char>(own.signalQuality);
        std::copy(own.seriesBytes.begin(), own.seriesBytes.end(), block + FHR_BLOCK::RecorderSeries);
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }
    const BatchRun run = RunBatchComparison(PathOf("DATA"));
    EXPECT_EQ(run.tally.count, 2);
    for (const auto& [label, count] : ecg::BatchLabels(run.tally)) {
        if (label != "count:") {
            EXPECT_EQ(count, 0) << label;
        }
    }
}

TEST(BatchComparison, SeriesAreComparedWhereTheRecorderHasABeat)
{
    ecg::AnalysisResult manager;
    manager.series.RtoR[0] = 800;
    manager.series.pve[0] = 150;
    manager.series.beatTime[0] = 300;
    ecg::RecorderAnalysis recorder;
    for (auto& series : recorder.series) series.fill(-1);
    recorder.series[0][0] = 800;  // RtoR agrees
    recorder.series[1][0] = 151;  // pve differs
    for (size_t s = 2; s < 8; ++s) recorder.series[s][0] = 0;
    recorder.series[5][0] = 300;  // beatTime agrees
    ecg::BatchTally tally;
    ecg::CompareWithRecorder(recorder, manager, tally);
    EXPECT_EQ(tally.rtor, 0);
    EXPECT_EQ(tally.pve, 1);
    EXPECT_EQ(tally.beatTime, 0);
    EXPECT_EQ(tally.nve + tally.peak + tally.beatArea + tally.iso, 0);
    EXPECT_EQ(tally.count, 1);
}

}  // namespace
