#include "ReportFixtures.h"
#include "TestApp.h"
#include "display/ReportLayout.h"
#include "display/ReportPage.h"
#include "display/ReportPdf.h"
#include "lang/TextTable.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace {

using namespace reportfix;
using H = DEVICE_RECORD_HEADER;
using report::PageFinding;

bool IsTrace(QRgb c)
{
    return Luminance(c) < 100;
}

// The 5-mm and 25-mm grid lines: pink, clearly darker in green than the 1-mm lines (210).
bool IsMajorGrid(QRgb c)
{
    return qRed(c) > 230 && qGreen(c) < 190 && qBlue(c) > 180;
}

bool IsPulse(QRgb c)
{
    return qBlue(c) > 150 && qRed(c) < 140 && qGreen(c) < 170;
}

TEST(ReportValues, HeartRateFindingsAndDateFollowTheRecorderBlock)
{
    EDF_RECORD record;
    record.StartDate = QStringLiteral("13.5.7");
    record.StartTime = QStringLiteral("14.25.30");
    struct Case {
        const char* name;
        std::vector<std::pair<int, uint8_t>> bytes;
        const char* rate;
        std::vector<PageFinding> lit;
    };
    const Case cases[] = {
        {"normal", {{H::HeartRate, 72}}, "72", {PageFinding::Normal}},
        {"fast by threshold", {{H::HeartRate, 110}}, "110", {PageFinding::Fast}},
        {"slow by the recorder's own finding", {{H::HeartRate, 70}, {H::BradyFinding, 1}}, "70", {PageFinding::Slow}},
        {"pause and rhythm", {{H::HeartRate, 72}, {H::PauseFinding, 1}, {H::RhythmFinding, 2}}, "72",
         {PageFinding::Pause, PageFinding::Rhythm}},
        {"waveform counts without a picture", {{H::HeartRate, 72}, {H::WaveformFinding, 1}}, "72", {}},
        {"no rate", {{H::HeartRate, 0}, {H::PauseFinding, 1}}, "--", {}},
        {"noise hides a rate", {{H::HeartRate, 72}, {H::NoiseFinding, 1}, {H::PauseFinding, 1}}, "--", {}},
    };
    for (const Case& c : cases) {
        FHR_BLOCK block;
        block.Bytes[H::TachyThreshold] = 100;
        block.Bytes[H::BradyThreshold] = 60;
        for (auto [offset, value] : c.bytes) block.Bytes[offset] = value;
        const report::PageValues v = report::PageValuesOf(&block, record);
        EXPECT_EQ(v.heartRate, QString::fromLatin1(c.rate)) << c.name;
        for (int f = 0; f < report::kPageFindings; ++f) {
            const bool expected = std::find(c.lit.begin(), c.lit.end(), PageFinding(f)) != c.lit.end();
            EXPECT_EQ(v.lit[f], expected) << c.name << ", picture " << f;
        }
    }

    // The recorder's clock when it holds a date, else the file's start date and time.
    FHR_BLOCK dated;
    const uint8_t clock[] = {0x21, 0x11, 0x02, 0x09, 0x08, 0x07};
    std::copy(std::begin(clock), std::end(clock), dated.Bytes.begin() + H::YearBcd);
    EXPECT_EQ(report::PageValuesOf(&dated, record).dateTime, "2021/11/02 09:08:07");
    const FHR_BLOCK zeros;
    EXPECT_EQ(report::PageValuesOf(&zeros, record).dateTime, "2013/05/07 14:25:30");
    const report::PageValues foreign = report::PageValuesOf(nullptr, record);
    EXPECT_EQ(foreign.heartRate, "--");
    EXPECT_EQ(foreign.dateTime, "2013/05/07 14:25:30");
    EXPECT_EQ(std::count(std::begin(foreign.lit), std::end(foreign.lit), true), 0);
    EXPECT_EQ(report::EdfDateText("99.12.31", "23.59.59"), "1999/12/31 23:59:59");
}

TEST(ReportLayout, TraceWindowPrintableAreaAndPaper)
{
    // 40 whole seconds: seconds 9 to 39; shorter than 31 s: from the first sample.
    EXPECT_EQ(report::ReportTraceWindow(40, 256).start, 9 * 256);
    EXPECT_EQ(report::ReportTraceWindow(40, 256).end, 39 * 256);
    EXPECT_EQ(report::ReportTraceWindow(20, 128).start, 0);
    EXPECT_EQ(report::ReportTraceWindow(20, 128).end, 20 * 128);

    const auto printable = [](double left, double top, double right, double bottom) {
        return QRectF(QPointF(left, top), QPointF(210 - right, 297 - bottom));
    };
    EXPECT_TRUE(report::FitsPrintableArea(printable(0, 0, 0, 0)));           // PDF
    EXPECT_TRUE(report::FitsPrintableArea(printable(4.23, 4.23, 4.23, 4.23)));  // a common laser printer
    EXPECT_FALSE(report::FitsPrintableArea(printable(3, 3, 3, 12)));         // a wide bottom edge
    EXPECT_FALSE(report::FitsPrintableArea(printable(3, 6, 3, 3)));

    // What a printer's page offers: the paper and its minimum margins.
    const auto paper = [](QPageSize::PageSizeId id, QPageLayout::Orientation o, double edge, double bottom) {
        const QMarginsF min(edge, edge, edge, bottom);
        return report::CheckPaper(QPageLayout(QPageSize(id), o, min, QPageLayout::Millimeter, min));
    };
    using report::PaperFit;
    EXPECT_EQ(paper(QPageSize::A4, QPageLayout::Portrait, 0, 0), PaperFit::Fits);
    EXPECT_EQ(paper(QPageSize::A4, QPageLayout::Portrait, 4.23, 4.23), PaperFit::Fits);
    EXPECT_EQ(paper(QPageSize::A4, QPageLayout::Portrait, 3, 12), PaperFit::PrintableAreaTooSmall);
    EXPECT_EQ(paper(QPageSize::A4, QPageLayout::Landscape, 0, 0), PaperFit::NotA4Portrait);
    EXPECT_EQ(paper(QPageSize::Letter, QPageLayout::Portrait, 0, 0), PaperFit::NotA4Portrait);
}

class ReportPdfTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        TextTable::current().SelectLanguage(TextTable::kEnglish);
    }
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
};

TEST_F(ReportPdfTest, CommandLinePagesAreA4WithExactPaperSpeedGridAndTexts)
{
    // A recording with the recorder's block, and a foreign one with a partial last second.
    const QString signed256 = path("signed.edf"), foreign128 = path("foreign.edf"), pdf = path("report.pdf");
    ASSERT_TRUE(chartfix::WriteRecording(signed256, HalfSecondSpikes(256)));
    ASSERT_TRUE(AppendRecorderBlock(signed256, 72));
    ASSERT_TRUE(chartfix::WriteRecording(foreign128, HalfSecondSpikes(128, 39)));

    const ProgramRun cli = RunProgram(TALMON_BIN_DIR "/ecg-cli", {"report", signed256, foreign128, "--pdf", pdf});
    ASSERT_EQ(cli.exitCode, 0) << cli.err.toStdString();

    const ProgramRun info = RunProgram("pdfinfo", {pdf});
    EXPECT_TRUE(info.out.contains(QRegularExpression("Pages:\\s+2\\n"))) << info.out.toStdString();
    EXPECT_TRUE(info.out.contains(QRegularExpression("Page size:\\s+595(\\.\\d+)? x 84[12](\\.\\d+)? pts \\(A4\\)")))
        << info.out.toStdString();

    const ProgramRun first = RunProgram("pdftotext", {"-f", "1", "-l", "1", pdf, "-"});
    for (const char* text : {"Information", "Name:", "Gender:", "Date of birth:", "Remarks:", "Date / Time:",
                             "Measuring", "position:", "KX20 result", "Heart Rate", "(bpm)", "1 mV", "200 ms",
                             "2013/05/07 14:25:30", "72"})
        EXPECT_TRUE(first.out.contains(QString::fromUtf8(text))) << text << " missing in\n" << first.out.toStdString();
    const ProgramRun second = RunProgram("pdftotext", {"-f", "2", "-l", "2", pdf, "-"});
    EXPECT_TRUE(second.out.contains("--")) << second.out.toStdString();
    EXPECT_TRUE(second.out.contains("2013/05/07 14:25:30")) << second.out.toStdString();
    EXPECT_FALSE(second.out.contains("72"));

    for (int page : {1, 2}) {
        SCOPED_TRACE(page == 1 ? "256/s" : "128/s with a partial last second");
        const QImage raster = Raster(pdf, page, path("page") + QString::number(page));
        ASSERT_EQ(raster.width(), 2100);
        ASSERT_NEAR(raster.height(), 2970, 1);

        // Downward spikes every half second, looked for under each row's baseline.
        const auto downSpikes = [&](int row) {
            const int base = PaperY(report::kBlockTop + 30 * (row + 1));
            return ColumnRunCentres(raster, PaperX(0), PaperX(175), base + 50, base + 100, IsTrace);
        };
        const std::vector<double> row1 = downSpikes(0);
        ASSERT_EQ(row1.size(), 7u);  // seconds 9.5 .. 15.5
        // The first row starts at second 9 (the high-cut filter delays the trace by a few milliseconds).
        EXPECT_NEAR(row1.front() - PaperX(0), 12.5 * kPxPerMm, 5.0);
        for (size_t i = 1; i < row1.size(); ++i) EXPECT_NEAR(row1[i] - row1[i - 1], 250.0, 2.0);
        EXPECT_NEAR(row1.back() - row1.front(), 1500.0, 3.0);
        EXPECT_EQ(downSpikes(4).size(), 2u);  // the fifth row ends one second before the end: 37.5, 38.5

        // 5-mm grid lines along a line of the block free of trace and labels.
        const std::vector<double> lines =
            ColumnRunCentres(raster, PaperX(0) - 5, PaperX(175) + 5, PaperY(102.5), PaperY(102.5) + 1, IsMajorGrid);
        ASSERT_EQ(lines.size(), 36u);
        for (size_t i = 1; i < lines.size(); ++i) EXPECT_NEAR(lines[i] - lines[i - 1], 50.0, 1.0);
    }
}

TEST_F(ReportPdfTest, CalibrationPulseFollowsTheGain)
{
    const QString edf = path("r.edf");
    ASSERT_TRUE(chartfix::WriteRecording(edf, HalfSecondSpikes(256)));
    for (int gain : {2, 4}) {
        const QString pdf = dir.filePath(QStringLiteral("gain%1.pdf").arg(gain));
        const ProgramRun cli = RunProgram(TALMON_BIN_DIR "/ecg-cli",
                                   {"report", edf, "--pdf", pdf, "--gain", QString::number(gain)});
        ASSERT_EQ(cli.exitCode, 0) << cli.err.toStdString();
        const QImage raster = Raster(pdf, 1, pdf + "-page");
        const int top = PaperY(report::kBlockTop);
        const double base = RowRunCentre(raster, PaperX(7.5), top, top + 500, IsPulse);
        const double high = RowRunCentre(raster, PaperX(12.5), top, top + 500, IsPulse);
        EXPECT_NEAR(base - top, 7.5 * gain * kPxPerMm, 2.0) << "gain " << gain;
        EXPECT_NEAR(base - high, 5.0 * gain * kPxPerMm, 2.0) << "gain " << gain;
    }
}

TEST_F(ReportPdfTest, OneMillivoltIsTenMillimetresAtTheStandardGain)
{
    // 40 s at 256/s: 0 until second 20, then 186 units (1 mV); second 20 lies in the second row.
    EDF_RECORD r = chartfix::SpikeRecording(40, 256, 0);
    auto& samples = r.Channels.front().Samples;
    std::fill(samples.begin() + 20 * 256, samples.end(), int16_t(186));
    const QString edf = path("step.edf"), pdf = path("step.pdf");
    ASSERT_TRUE(chartfix::WriteRecording(edf, r));

    ecg::FilterSwitches off;
    off.lowCut = false;
    off.highCut = false;
    off.notchesDisabled = true;
    report::ReportPage page;
    ASSERT_TRUE(report::LoadReportPage(edf, off, 2.0f, TextTable::kEnglish, page).ok());
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(report::WriteReportPdf(file, {page}));
    file.close();

    const QImage raster = Raster(pdf, 1, path("step"));
    const int base = PaperY(report::kBlockTop + 60);
    // Second 20 is 4 s into the row (seconds 16 .. 23).
    const double before = RowRunCentre(raster, PaperX(2 * 25.0), base - 150, base + 50, IsTrace);
    const double after = RowRunCentre(raster, PaperX(6 * 25.0), base - 150, base + 50, IsTrace);
    EXPECT_NEAR(before, base, 2.0);
    EXPECT_NEAR(before - after, 10.0 * kPxPerMm, 2.0);
}

TEST_F(ReportPdfTest, RefusedFilesAndUnwritableOutputAreNamed)
{
    const QString good = path("good.edf"), bad = path("bad.edf"), pdf = path("out.pdf");
    ASSERT_TRUE(chartfix::WriteRecording(good, HalfSecondSpikes(128)));
    QFile junk(bad);
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(300, 'x'));
    junk.close();

    // The readable recording is printed; the refused one is named and fails the run.
    ProgramRun r = RunProgram(TALMON_BIN_DIR "/ecg-cli", {"report", bad, good, "--pdf", pdf});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(bad)) << r.err.toStdString();
    EXPECT_TRUE(RunProgram("pdfinfo", {pdf}).out.contains(QRegularExpression("Pages:\\s+1\\n")));

    // Nothing readable: no PDF at all.
    const QString none = path("none.pdf");
    r = RunProgram(TALMON_BIN_DIR "/ecg-cli", {"report", bad, "--pdf", none});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(QFile::exists(none));

    const QString unwritable = path("missing-folder/out.pdf");
    r = RunProgram(TALMON_BIN_DIR "/ecg-cli", {"report", good, "--pdf", unwritable});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(unwritable)) << r.err.toStdString();
}

// What a page covers on paper, in millimetres, when painted at `dpi`.
QRectF InkBoxMm(const report::ReportPage& page, int dpi)
{
    const double perMm = dpi / 25.4;
    QImage image(int(210 * perMm), int(297 * perMm), QImage::Format_RGB32);
    image.setDotsPerMeterX(int(std::lround(perMm * 1000)));
    image.setDotsPerMeterY(int(std::lround(perMm * 1000)));
    image.fill(Qt::white);
    QPainter p(&image);
    report::PaintReportPage(p, page);
    p.end();
    int left = image.width(), top = image.height(), right = -1, bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if ((line[x] & 0xFFFFFF) != 0xFFFFFF) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    }
    return QRectF(QPointF(left / perMm, top / perMm), QPointF((right + 1) / perMm, (bottom + 1) / perMm));
}

TEST_F(ReportPdfTest, PageKeepsItsSizeOnPaperAtEveryResolution)
{
    const QString edf = path("r.edf");
    ASSERT_TRUE(chartfix::WriteRecording(edf, HalfSecondSpikes(256)));
    ASSERT_TRUE(AppendRecorderBlock(edf, 72));
    report::ReportPage page;
    ASSERT_TRUE(report::LoadReportPage(edf, {}, 6.0f, TextTable::kEnglish, page).ok());
    const QRectF content = report::kContentBox.translated(report::kLayoutOrigin);
    const QRectF at300 = InkBoxMm(page, 300);
    EXPECT_TRUE(content.contains(at300)) << at300.left() << " " << at300.top() << " " << at300.right() << " "
                                         << at300.bottom();
    for (int dpi : {100, 200, 400}) {
        const QRectF other = InkBoxMm(page, dpi);
        EXPECT_NEAR(other.left(), at300.left(), 0.3) << dpi;
        EXPECT_NEAR(other.top(), at300.top(), 0.3) << dpi;
        EXPECT_NEAR(other.right(), at300.right(), 0.3) << dpi;
        EXPECT_NEAR(other.bottom(), at300.bottom(), 0.3) << dpi;
    }
}

TEST_F(ReportPdfTest, TheSameRecordingPrintsTheSamePageEachTime)
{
    const QString edf = path("r.edf");
    ASSERT_TRUE(chartfix::WriteRecording(edf, HalfSecondSpikes(256)));
    const auto render = [&] {
        report::ReportPage page;
        EXPECT_TRUE(report::LoadReportPage(edf, {}, 2.0f, TextTable::kEnglish, page).ok());
        QImage image(1050, 1485, QImage::Format_RGB32);  // A4 at 5 pixels per millimetre
        image.setDotsPerMeterX(5000);
        image.setDotsPerMeterY(5000);
        image.fill(Qt::white);
        QPainter p(&image);
        report::PaintReportPage(p, page);
        return image;
    };
    EXPECT_TRUE(render() == render());
}

}  // namespace
