#include "ChartFixtures.h"
#include "TestApp.h"
#include "display/ChartGeometry.h"
#include "display/ChartRenderer.h"
#include "display/Findings.h"
#include "lang/TextTable.h"
#include "signal/MitAnnotations.h"

#include <QFile>
#include <cmath>
#include <algorithm>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

int Luminance(QRgb c)
{
    return (qRed(c) * 299 + qGreen(c) * 587 + qBlue(c) * 114) / 1000;
}

// Trace pixels: darker than any grid line of either paper.
bool IsTrace(QRgb c)
{
    return Luminance(c) < 140;
}

// Columns of one chart row where the trace rises more than `minRise` pixels
// above the row's baseline (or falls 20 pixels below that much), merged into
// runs; the centre of each run.
std::vector<int> SpikeColumns(const QImage& chart, int row, bool downward, int minRise = 6)
{
    const int top = row * chart.height() / 3, bottom = (row + 1) * chart.height() / 3;
    const int base = (128 + 256 * row) * (chart.height() - 1) / 768;
    std::vector<int> centres;
    int runStart = -1;
    for (int x = 0; x <= chart.width(); ++x) {
        bool hit = false;
        for (int y = top; x < chart.width() && y < bottom && !hit; ++y)
            hit = IsTrace(chart.pixel(x, y)) && (downward ? y > base + minRise && y < base + minRise + 20 : y < base - minRise);
        if (hit && runStart < 0) runStart = x;
        if (!hit && runStart >= 0) {
            centres.push_back((runStart + x - 1) / 2);
            runStart = -1;
        }
    }
    return centres;
}

struct CliRun {
    int exitCode;
    QString out, err;
};

CliRun RunCli(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(TALMON_BIN_DIR "/ecg-cli"), args);
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

class ChartRender : public ::testing::Test {
protected:
    void SetUp() override { TestApp(); }
    QTemporaryDir dir;
};

TEST_F(ChartRender, CommandLinePictureShowsGridPulseAndSpikesWhereTheyBelong)
{
    // 40 s at 256/s, a spike every second, downward spikes in the seconds
    // the chart must not show (before second 9 and the last one).
    const QString edf = dir.filePath("spikes.edf");
    ASSERT_TRUE(chartfix::WriteRecording(edf, chartfix::SpikeRecording(40, 256, 200, {4.5, 39.5})));

    const struct {
        int gain;
        const char* colour;
        QRgb minor, major;
    } cases[] = {
        {2, "pink", qRgb(255, 192, 203), qRgb(255, 122, 122)},
        {6, "green", qRgb(205, 231, 183), qRgb(133, 223, 56)},
        {1, "pink", qRgb(255, 192, 203), qRgb(255, 122, 122)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "gain " << c.gain << " " << c.colour);
        const QString png = dir.filePath(QStringLiteral("chart-%1-%2.png").arg(c.gain).arg(c.colour));
        const CliRun r = RunCli({"chart", edf, "--png", png, "--gain", QString::number(c.gain), "--colour", c.colour});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QImage area(png);
        ASSERT_FALSE(area.isNull());
        const QImage chart = area.copy(QRect(kComposedChartOrigin, chart::kChartSize));

        // Grid: minor and major lines away from the trace, white between them.
        EXPECT_EQ(chart.pixel(31, 14), c.minor);
        EXPECT_EQ(chart.pixel(31, 146), c.major);
        EXPECT_EQ(chart.pixel(30, 437), c.major);
        EXPECT_EQ(chart.pixel(732, 120), c.major);
        EXPECT_EQ(chart.pixel(31, 20), qRgb(255, 255, 255));

        // Pulse: its top line lies h pixels above the middle row's baseline.
        const QImage pulse = area.copy(QRect(0, 15, 27, 440));
        int top = -1;
        for (int y = 0; y < pulse.height() && top < 0; ++y)
            if (pulse.pixel(13, y) == qRgb(85, 85, 85)) top = y;
        EXPECT_EQ(219 - top, chart::PulseHeight(438, float(c.gain)));

        // Spikes: seconds 10..18 of row 1 at 73.2 pixels per second from second 9, and so on.
        for (int row = 0; row < 3; ++row) {
            const std::vector<int> spikes = SpikeColumns(chart, row, false);
            std::vector<int> inside;
            for (int x : spikes)
                if (x > 10 && x < 722) inside.push_back(x);
            ASSERT_EQ(inside.size(), 9u) << "row " << row;
            for (int k = 1; k <= 9; ++k) EXPECT_NEAR(inside[size_t(k - 1)], int(k * 73.2), 2) << "row " << row;
            // (the filters' small undershoot after each spike grows with the gain)
            EXPECT_TRUE(SpikeColumns(chart, row, true, 4 * c.gain).empty()) << "a second outside the chart was drawn";
        }
    }
}

TEST_F(ChartRender, RefusesWhatItCannotDraw)
{
    const CliRun usage = RunCli({"chart", "x.edf"});
    EXPECT_EQ(usage.exitCode, 2);
    const CliRun gain = RunCli({"chart", "x.edf", "--png", dir.filePath("x.png"), "--gain", "7"});
    EXPECT_EQ(gain.exitCode, 2);
    EXPECT_TRUE(gain.err.contains("1 to 6"));

    QFile notEdf(dir.filePath("note.edf"));
    ASSERT_TRUE(notEdf.open(QIODevice::WriteOnly));
    notEdf.write("not a recording");
    notEdf.close();
    const CliRun refused = RunCli({"chart", notEdf.fileName(), "--png", dir.filePath("n.png")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_FALSE(QFile::exists(dir.filePath("n.png")));

    EDF_RECORD odd = chartfix::SpikeRecording(40, 256);
    odd.Channels[0].SampleRate = 250;
    odd.Channels[0].Samples.resize(40 * 250);
    odd.Channels[0].SampleCount = 40 * 250;
    ASSERT_TRUE(chartfix::WriteRecording(dir.filePath("250.edf"), odd));
    const CliRun rate = RunCli({"chart", dir.filePath("250.edf"), "--png", dir.filePath("r.png")});
    EXPECT_EQ(rate.exitCode, 1);
    EXPECT_TRUE(rate.err.contains("rate", Qt::CaseInsensitive)) << rate.err.toStdString();
}

TEST_F(ChartRender, FilterCommandWritesTheDisplaySamples)
{
    // 32 s at 128/s carrying 50 Hz mains hum.
    EDF_RECORD r = chartfix::SpikeRecording(32, 128, 0);
    for (size_t i = 0; i < r.Channels[0].Samples.size(); ++i)
        r.Channels[0].Samples[i] = static_cast<int16_t>(500 * std::sin(2 * M_PI * 50 * double(i) / 128));
    const QString edf = dir.filePath("mains.edf");
    ASSERT_TRUE(chartfix::WriteRecording(edf, r));
    const auto run = [&](const QStringList& extra) {
        const QString csv = dir.filePath("out.csv");
        const CliRun c = RunCli(QStringList{"filter", edf, "--csv", csv} + extra);
        EXPECT_EQ(c.exitCode, 0) << c.err.toStdString();
        QFile f(csv);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        QList<QByteArray> lines = f.readAll().trimmed().split('\n');
        EXPECT_EQ(lines.size(), 1 + 32 * 128);
        EXPECT_EQ(lines.value(0), "sample,seconds,stored,filtered");
        lines.removeFirst();
        return lines;
    };
    // The start values take the hum out.
    int peak = 0;
    const QList<QByteArray> filtered = run({});
    for (qsizetype i = filtered.size() / 2; i < filtered.size(); ++i)
        peak = std::max(peak, std::abs(filtered[i].split(',').value(3).toInt()));
    EXPECT_LT(peak, 30);
    // No low-cut and the FIR mode at 128/s: nothing filters, the samples pass as stored.
    for (const QByteArray& line : run({"--lowcut", "off", "--highcut", "1"})) {
        const QList<QByteArray> f = line.split(',');
        ASSERT_EQ(f.value(2), f.value(3)) << line.toStdString();
    }
    EXPECT_EQ(RunCli({"filter", edf, "--csv", dir.filePath("x.csv"), "--highcut", "5"}).exitCode, 2);
}

TEST_F(ChartRender, ShortRecordingIsDrawnFromItsFirstSample)
{
    // 20 s at 128/s: rows 1 and 2 hold seconds 0-10 and 10-20, the third row stays empty.
    ChartDisplayState state;
    ecg::DisplayFilterChain filters;
    const ChartSurfaces s =
        RedrawChart(PrepareChartRecording(chartfix::SpikeRecording(20, 128)), state, filters);
    EXPECT_EQ(state.ExtraSeconds, -10);
    const std::vector<int> first = SpikeColumns(s.chart, 0, false);
    ASSERT_GE(first.size(), 9u);
    EXPECT_TRUE(std::any_of(first.begin(), first.end(), [](int x) { return std::abs(x - 73) <= 2; }));
    EXPECT_GE(SpikeColumns(s.chart, 1, false).size(), 9u);
    EXPECT_TRUE(SpikeColumns(s.chart, 2, false, 3).empty());
}

TEST_F(ChartRender, RedrawsAreRepeatableAndTheBaselineShiftIsAppliedOnce)
{
    EDF_RECORD r = chartfix::SpikeRecording(35, 256, 800);
    r.Channels[0].DigMax = 3000;
    for (int16_t& v : r.Channels[0].Samples) v = static_cast<int16_t>(v + 952);
    const ChartRecording prepared = PrepareChartRecording(r);
    EXPECT_EQ(prepared.samples[100], 0);  // shifted by -(3000 - 2048)
    EXPECT_EQ(prepared.samples[256], 800);

    ChartDisplayState state;
    ecg::DisplayFilterChain filters;
    const QImage first = RedrawChart(prepared, state, filters).chart;
    state.ChartGain = 4;
    RedrawChart(prepared, state, filters);
    state.ChartGain = 2;
    EXPECT_EQ(RedrawChart(prepared, state, filters).chart, first);

    // Full-range samples of a foreign file saturate instead of wrapping.
    EDF_RECORD full = chartfix::SpikeRecording(31, 128);
    full.Channels[0].DigMax = -32768;
    full.Channels[0].Samples[0] = 32000;
    full.Channels[0].Samples[1] = -32000;
    const ChartRecording saturated = PrepareChartRecording(full);
    EXPECT_EQ(saturated.samples[0], 32767);
    EXPECT_EQ(saturated.samples[1], 2816);  // -32000 + 34816
}

TEST_F(ChartRender, UndrawableRateShowsGridRulersAndPulseOnly)
{
    ChartDisplayState state;
    ecg::DisplayFilterChain filters;
    ChartRecording none;
    none.rate = 0;
    const ChartSurfaces s = RedrawChart(none, state, filters);
    EXPECT_EQ(s.chart, ClearChart(state).chart);
    EXPECT_EQ(s.pulse.pixel(13, 219 - chart::PulseHeight(438, 2)), qRgb(85, 85, 85));
}

TEST_F(ChartRender, AnnotationsAreWrittenOverTheirBeats)
{
    // Annotations at the spikes of seconds 12 (row 1) and 25 (row 2) and one
    // before the window, which is not drawn.
    const EDF_RECORD r = chartfix::SpikeRecording(40, 128, 100);
    std::vector<ecg::MitAnnotation> list(3);
    list[0].sample = 3 * 128;
    list[1].sample = 12 * 128;
    list[2].sample = 25 * 128;
    for (auto& a : list) a.code = 1;
    const auto bytes = ecg::EncodeMitAnnotations(list);
    QFile atr(dir.filePath("r.atr"));
    ASSERT_TRUE(atr.open(QIODevice::WriteOnly));
    atr.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    atr.close();

    ChartDisplayState state;
    ecg::DisplayFilterChain filters;
    const ChartRecording prepared = PrepareChartRecording(r);
    const QImage plain = RedrawChart(prepared, state, filters).chart;
    const QImage annotated = RedrawChart(prepared, state, filters, atr.fileName()).chart;
    std::vector<QPoint> changed;
    for (int y = 0; y < plain.height(); ++y)
        for (int x = 0; x < plain.width(); ++x)
            if (plain.pixel(x, y) != annotated.pixel(x, y)) changed.emplace_back(x, y);
    ASSERT_FALSE(changed.empty());
    for (const QPoint& p : changed) {
        const bool nearFirst = std::abs(p.x() - 3 * 732 / 10) < 8 && p.y() >= 10 && p.y() < 30;
        const bool nearSecond = std::abs(p.x() - 6 * 732 / 10) < 8 && p.y() >= 156 && p.y() < 176;
        EXPECT_TRUE(nearFirst || nearSecond) << p.x() << "," << p.y();
    }

    // A 256/s file shown at 128/s: the analyser counted in the file's samples,
    // and its labels still sit over the same beats.
    for (auto& a : list) a.sample *= 2;
    const auto bytes256 = ecg::EncodeMitAnnotations(list);
    QFile atr256(dir.filePath("r256.atr"));
    ASSERT_TRUE(atr256.open(QIODevice::WriteOnly));
    atr256.write(reinterpret_cast<const char*>(bytes256.data()), qint64(bytes256.size()));
    atr256.close();
    ChartRecording decimated = prepared;
    decimated.annotationRate = 256;
    EXPECT_EQ(RedrawChart(decimated, state, filters, atr256.fileName()).chart, annotated);
}

TEST_F(ChartRender, EngineeringViewsDrawTheirTraceAndModesOneToThreeNone)
{
    const ChartRecording r = PrepareChartRecording(chartfix::SpikeRecording(35, 256));
    const auto ink = [](const QImage& chart) {
        int n = 0;
        for (int y = 0; y < chart.height(); ++y)
            for (int x = 0; x < chart.width(); ++x) n += IsTrace(chart.pixel(x, y));
        return n;
    };
    const struct {
        int mode;
        bool draws;
    } cases[] = {{1, false}, {2, false}, {3, false}, {4, true}, {5, true}, {6, true}, {7, true}, {8, true}};
    for (const auto& c : cases) {
        ChartDisplayState state;
        state.ChartMode = c.mode;
        ecg::DisplayFilterChain filters;
        const QImage chart = RedrawChart(r, state, filters).chart;
        if (c.draws) {
            EXPECT_GT(ink(chart), 1000) << c.mode;  // three rows of trace
            EXPECT_EQ(SpikeColumns(chart, 1, false, 3).size() >= 9, true) << c.mode;
        } else {
            EXPECT_EQ(ink(chart), 0) << c.mode;
        }
    }
}

TEST_F(ChartRender, QualityLabelTextSitsAtTheLanguagesPosition)
{
    // The label's text starts further right in Chinese (Traditional) than in English.
    const auto textLeft = [](int language) {
        TextTable::current().SelectLanguage(language);
        QImage label(72, 14, QImage::Format_RGB32);
        label.fill(Qt::white);
        QPainter p(&label);
        PaintQualityLabel(p, label.rect(), QualityLabel::Unstable, language);
        p.end();
        // Text pixels: darker than the picture's own border, inside it.
        for (int x = 2; x < label.width(); ++x)
            for (int y = 3; y < label.height() - 3; ++y)
                if (Luminance(label.pixel(x, y)) < 175) return x;
        return -1;
    };
    const int english = textLeft(1033);
    const int chinese = textLeft(1028);
    TextTable::current().SelectLanguage(1033);
    EXPECT_GE(english, 2);
    EXPECT_LE(english, 4);
    EXPECT_GE(chinese, 6);
    EXPECT_LE(chinese, 8);
}

TEST(Findings, PicturesHeartRateAndQualityLabel)
{
    const auto info = [](QString hr, QString ta, QString br, QString pause, QString rhythm, QString quality) {
        DataSetInfo i;
        i.heartRate = hr;
        i.tachyThreshold = ta;
        i.bradyThreshold = br;
        i.pause = pause;
        i.rhythm = rhythm;
        i.waveform = "0";
        i.pauseThreshold = "3";
        i.signalQuality = quality;
        return i;
    };
    FHR_BLOCK quiet, noisy;
    noisy.Bytes[DEVICE_RECORD_HEADER::NoiseFinding] = 1;
    const struct {
        DataSetInfo info;
        const FHR_BLOCK* block;
        QString heartRate;
        std::vector<Finding> lit;
        QualityLabel quality;
    } cases[] = {
        {info("72", "100", "60", "0", "0", "0"), &quiet, "72", {Finding::Normal}, QualityLabel::Hidden},
        {info("110", "100", "60", "0", "0", "0"), &quiet, "110", {Finding::Fast}, QualityLabel::Hidden},
        {info("48", "100", "60", "1", "1", "2"), &quiet, "48", {Finding::Slow, Finding::Pause, Finding::Rhythm},
         QualityLabel::Weak},
        {info("72", "", "60", "0", "0", "0"), &quiet, "72", {}, QualityLabel::Hidden},  // a threshold missing
        {info("72", "100", "60", "0", "0", "1"), &noisy, "EE", {}, QualityLabel::Unstable},
        {info("0", "100", "60", "0", "0", "5"), &quiet, "EE", {}, QualityLabel::Unchanged},
        {info("", "", "", "", "", ""), &quiet, "", {}, QualityLabel::Hidden},
    };
    for (const auto& c : cases) {
        const FindingsView v = EvaluateFindings(c.info, *c.block);
        SCOPED_TRACE(c.info.heartRate.toStdString());
        EXPECT_EQ(v.heartRate, c.heartRate);
        EXPECT_EQ(v.quality, c.quality);
        for (Finding f : kAllFindings)
            EXPECT_EQ(v.isLit(f), std::find(c.lit.begin(), c.lit.end(), f) != c.lit.end()) << int(f);
    }
    EXPECT_EQ(FindingPictureName(Finding::Normal, true), "image\\Wave-ic01-1.bmp");
    EXPECT_EQ(FindingPictureName(Finding::Waveform, false), "image\\Wave-ic06.bmp");
}

}  // namespace
