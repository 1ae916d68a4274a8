// The chart in the main window: a recording opened from the data list is
// drawn with its findings; the viewer controls redraw it. With
// TALMON_SCREENSHOT_DIR set, the window is also saved on pink and green
// paper at gains 2 and 6 with annotations (run under xvfb-run for the docs).
#include "TestApp.h"
#include "app/ChartController.h"
#include "app/UploadController.h"
#include "dialogs/DataListView.h"
#include "app/InstanceGuard.h"
#include "app/MainForm.h"
#include "app/Startup.h"
#include "dialogs/MessageBox.h"
#include "dialogs/SkinPicture.h"
#include "dialogs/SkinPictureButton.h"
#include "lang/TextTable.h"
#include "signal/MitAnnotations.h"
#include "sim/ecg/EcgSynth.h"
#include "store/DataListModel.h"
#include "store/RecordingLibrary.h"
#include "tests/store/StoreFixtures.h"
#include "tools/beatscore/MitRecords.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QTimer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Pixels of the chart darker than every grid line: the trace and annotations.
int InkPixels(const QLabel* chart)
{
    const QImage image = chart->pixmap().toImage();
    int ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) ink += qGray(image.pixel(x, y)) < 140;
    return ink;
}

class ChartWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        startup_ = RunStartup(home_.filePath("Documents"), TextTable::current(), guard_);
        ASSERT_EQ(startup_.outcome, StartupOutcome::Ready);
        MainWindowOptions options;
        options.showWelcome = false;
        window_ = std::make_unique<TECGMain>(startup_.state, options);
        window_->FormCreate();
        // The test writes the analyser's file itself: the real analyser beside
        // the program would rewrite it at its own time and redraw the chart.
        window_->library()->hooks().startExternalAnalyser = [](const QString& p) {
            return p.left(p.size() - 4) + ".atr";
        };
    }
    void TearDown() override
    {
        if (window_) window_->close();
    }

    // A 40-s recording from the recorder with its findings (rhythm, weak signal)
    // and, when asked, the analyser's annotations beside it.
    QString addRecording(const QString& time, bool withAnnotations, double pvc = 0.0)
    {
        sim::SynthOptions o;
        o.seconds = 40;
        o.sampleRate = 256;
        o.heartRate = 75;
        o.pvcProbability = pvc;
        o.seed = 7;
        const sim::SynthResult ecg = sim::SynthesiseEcg(o);
        const QString path = startup_.state.paths.dataFolder + "/0000A1F3/201305/07/" + time + ".edf";
        QDir().mkpath(QFileInfo(path).absolutePath());
        DEVICE_RECORD_HEADER header = fixtures::recorderHeader(uint32_t(ecg.samples.size()));
        header.setU8(DEVICE_RECORD_HEADER::NoiseFinding, 0);
        header.setU8(DEVICE_RECORD_HEADER::TachyFinding, 0);
        header.setU8(DEVICE_RECORD_HEADER::BradyFinding, 0);
        EXPECT_TRUE(WriteDownloadedEdf(path, header,
                                       LittleEndianSamples(ecg.samples), fixtures::series())
                        .ok());
        if (withAnnotations) {
            std::vector<ecg::MitAnnotation> list;
            for (const sim::SynthBeat& b : ecg.beats) {
                ecg::MitAnnotation a;
                a.sample = b.sample;
                a.code = b.kind == sim::BeatKind::PrematureVentricular ? 5 : 1;
                list.push_back(a);
            }
            const auto bytes = ecg::EncodeMitAnnotations(list);
            QFile atr(path.left(path.size() - 4) + ".atr");
            EXPECT_TRUE(atr.open(QIODevice::WriteOnly));
            atr.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
        }
        return path;
    }

    void open(const QString& caption)
    {
        RecordingLibrary& lib = *window_->library();
        lib.RebuildDataList();
        for (DataNode* n : lib.model().nodesInOrder())
            if (n->caption == caption) lib.model().select(n);
        window_->DataListClick();
    }

    QTemporaryDir home_;
    InstanceGuard guard_;
    StartupResult startup_;
    std::unique_ptr<TECGMain> window_;
};

TEST_F(ChartWindow, OpenedRecordingIsDrawnWithItsFindings)
{
    TECGMain& w = *window_;
    const int emptyInk = InkPixels(w.ECGChart);
    EXPECT_FALSE(w.ZoomIn->isVisibleTo(&w));
    addRecording("142530", false);
    open("14:25:30");

    EXPECT_GT(InkPixels(w.ECGChart), emptyInk + 500);
    for (QWidget* c : {w.ZoomIn, w.ZoomOut, w.Recover, w.ECGColor}) EXPECT_TRUE(c->isVisibleTo(&w));
    // The recorder's findings: heart rate 72, rhythm found, weak signal.
    EXPECT_EQ(w.HeartRate->text(), "72");
    EXPECT_EQ(w.Rhythm->pictureName(), "image\\Wave-ic05-1.bmp");
    EXPECT_EQ(w.OK->pictureName(), "image\\Wave-ic01.bmp");
    EXPECT_EQ(w.Fast->pictureName(), "image\\Wave-ic03.bmp");
    EXPECT_TRUE(w.UnstableImg->isVisibleTo(&w));
    EXPECT_EQ(w.Slow->toolTip(), TextOf(5) + " : < 50 (bpm)");
    EXPECT_EQ(w.Rhythm->toolTip(), TextOf(8) + " : " + TextOf(10));
}

TEST_F(ChartWindow, ViewerControlsRedrawAndStopAtTheirLimits)
{
    TECGMain& w = *window_;
    addRecording("142530", false);
    open("14:25:30");
    ChartController& chart = *w.chart();
    const QImage standard = w.ECGChart->pixmap().toImage();

    for (int i = 0; i < 3; ++i) w.ZoomInClick();
    EXPECT_EQ(chart.state().ChartGain, 5.0f);
    w.ZoomInClick();
    const QImage atSix = w.ECGChart->pixmap().toImage();
    EXPECT_NE(atSix, standard);
    w.ZoomInClick();  // at the limit: nothing changes
    EXPECT_EQ(chart.state().ChartGain, 6.0f);
    w.RecoverClick();
    EXPECT_EQ(chart.state().ChartGain, 2.0f);
    EXPECT_EQ(w.ECGChart->pixmap().toImage(), standard);

    const QString before = w.chartColour();
    w.ECGColorClick();
    EXPECT_NE(w.chartColour(), before);
    EXPECT_NE(w.ECGChart->pixmap().toImage(), standard);
    EXPECT_EQ(w.ECGColor->normalLook(), w.chartColour() == "0" ? "image\\change-ecg color-p.bmp"
                                                                : "image\\change-ecg color-g.bmp");

    // An engineering view and back to the normal trace.
    w.EngineeringClick("Dis1");
    EXPECT_EQ(chart.state().ChartMode, 4);
    w.EngineeringClick("DisplayBtn");
    EXPECT_EQ(chart.state().ChartMode, 5);
    EXPECT_EQ(w.control<QPushButton>("DisplayBtn")->text(), "5");
}

// The low-cut and high-cut switches are ticked check boxes; a press unticks
// the box, turns its filter off and redraws, the next press turns it on again.
TEST_F(ChartWindow, FilterCheckBoxesSwitchTheirFilters)
{
    TECGMain& w = *window_;
    addRecording("142530", false);
    open("14:25:30");
    const ecg::FilterSwitches& f = w.chart()->filters().switches();
    const QImage filtered = w.ECGChart->pixmap().toImage();
    for (const char* name : {"LowCut", "HighCut"}) {
        SCOPED_TRACE(name);
        auto* box = w.control<QCheckBox>(name);
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->isChecked());
        box->click();
        EXPECT_FALSE(box->isChecked());
        EXPECT_FALSE(std::string(name) == "LowCut" ? f.lowCut : f.highCut);
        EXPECT_NE(w.ECGChart->pixmap().toImage(), filtered);
        box->click();
        EXPECT_TRUE(std::string(name) == "LowCut" ? f.lowCut : f.highCut);
        EXPECT_EQ(w.ECGChart->pixmap().toImage(), filtered);
    }
}

TEST_F(ChartWindow, ClickingTheOpenRecordingAgainKeepsThePanel)
{
    TECGMain& w = *window_;
    addRecording("142530", true);
    open("14:25:30");
    const QImage drawn = w.ECGChart->pixmap().toImage();
    const QString date = w.RecordDate->text();
    ASSERT_FALSE(date.isEmpty());
    w.DataListClick();
    EXPECT_EQ(w.RecordDate->text(), date);
    EXPECT_EQ(w.ECGChart->pixmap().toImage(), drawn);
    EXPECT_FALSE(w.chart()->annotationFile().isEmpty());
}

TEST_F(ChartWindow, AnnotationsAppearWhenTheAnalyserHasWrittenThem)
{
    TECGMain& w = *window_;
    const QString path = addRecording("142530", true);
    const QString atr = path.left(path.size() - 4) + ".atr";
    ASSERT_TRUE(QFile::rename(atr, atr + ".later"));  // the analyser has not finished yet
    w.library()->hooks().startExternalAnalyser = [](const QString& p) { return p.left(p.size() - 4) + ".atr"; };
    open("14:25:30");
    const QImage before = w.ECGChart->pixmap().toImage();
    ASSERT_EQ(QFileInfo(w.chart()->annotationFile()).fileName(), "142530.atr");

    ASSERT_TRUE(QFile::rename(atr + ".later", atr));  // written under another name, then renamed
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.ECGChart->pixmap().toImage() != before; }, 5000));
}

// The analyser may finish while the first drawing is under way: the file is
// there before the window looks for it again, and must still be drawn.
TEST_F(ChartWindow, AnnotationsFinishedDuringTheFirstDrawingAreShown)
{
    TECGMain& w = *window_;
    w.show();
    const QString path = addRecording("142530", true);  // its day folder is new since the start
    const QString atr = path.left(path.size() - 4) + ".atr";
    ASSERT_TRUE(QFile::rename(atr, atr + ".later"));
    open("14:25:30");  // drawn without codes
    const QImage without = w.ECGChart->pixmap().toImage();

    // Opened again from the list after switching away: the analyser renames its
    // file in place right after the chart is painted, before the controls show.
    struct RenameOnShow : QObject {
        QString from, to;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::Show && !from.isEmpty()) {
                QFile::rename(from, to);
                from.clear();
            }
            return false;
        }
    } renamer;
    renamer.from = atr + ".later";
    renamer.to = atr;
    w.ZoomIn->installEventFilter(&renamer);
    open("Data");
    open("14:25:30");
    ASSERT_TRUE(renamer.from.isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.ECGChart->pixmap().toImage() != without; }, 3000));
}

// The chart with the real analyser's classes above the beats of a recording
// with ventricular beats, for the documentation:
//   TALMON_SCREENSHOT_DIR=docs build/bin/test_app --gtest_filter='ChartWindow.ScreenshotOfTheAnalysersClasses'
// With TALMON_MIT_PIECES="RECORD:PIECE ..." it also draws those 30-s pieces of
// reference records from ../shared/data/mitdb (as the recorder would have
// recorded them at 256/s), one picture each: rhyscan-RECORD-PIECE.png.
TEST_F(ChartWindow, ScreenshotOfTheAnalysersClasses)
{
    const QString folder = qEnvironmentVariable("TALMON_SCREENSHOT_DIR");
    if (folder.isEmpty()) GTEST_SKIP() << "TALMON_SCREENSHOT_DIR not set";
    TECGMain& w = *window_;
    const auto analyseAndSave = [&](const QString& path, const QString& caption, const QString& picture) {
        QProcess analyser;
        analyser.start(QStringLiteral(TALMON_BIN_DIR "/rhyscan"), {path});
        ASSERT_TRUE(analyser.waitForFinished(30000));
        ASSERT_EQ(analyser.exitCode(), 0);
        open(caption);
        ASSERT_FALSE(w.chart()->annotationFile().isEmpty());
        QTest::qWait(200);
        ASSERT_TRUE(w.ECGChart->pixmap().save(QDir(folder).filePath(picture)));
    };
    analyseAndSave(addRecording("142530", false, 0.3), "14:25:30", "rhyscan-beat-classes.png");

    int minute = 0;
    for (const QString& item : qEnvironmentVariable("TALMON_MIT_PIECES").split(' ', Qt::SkipEmptyParts)) {
        const QStringList parts = item.split(':');
        ASSERT_EQ(parts.size(), 2) << item.toStdString();
        const auto pieces = beatscore::CutRecord(TALMON_SHARED_DATA_DIR "/mitdb",
                                                 parts[0].toStdString(), 256, 30);
        const int index = parts[1].toInt();
        ASSERT_LT(index, int(pieces.size())) << item.toStdString();
        const std::vector<int16_t>& samples = pieces[size_t(index)].samples;
        const QString time = QStringLiteral("15%1").arg(minute, 2, 10, QLatin1Char('0')) + "00";
        const QString path = startup_.state.paths.dataFolder + "/0000A1F3/201305/07/" + time + ".edf";
        DEVICE_RECORD_HEADER header = fixtures::recorderHeader(uint32_t(samples.size()));
        header.setU8(DEVICE_RECORD_HEADER::NoiseFinding, 0);
        header.setU8(DEVICE_RECORD_HEADER::TachyFinding, 0);
        header.setU8(DEVICE_RECORD_HEADER::BradyFinding, 0);
        ASSERT_TRUE(WriteDownloadedEdf(path, header, LittleEndianSamples(samples), fixtures::series()).ok());
        analyseAndSave(path, QStringLiteral("15:%1:00").arg(minute, 2, 10, QLatin1Char('0')),
                       QStringLiteral("rhyscan-%1-%2.png").arg(parts[0], parts[1]));
        ++minute;
    }
}

TEST_F(ChartWindow, DamagedRecordingIsExplainedInPlainWordsFirst)
{
    TECGMain& w = *window_;
    const QString path = startup_.state.paths.dataFolder + "/0000A1F3/201305/07/101010.edf";
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile damaged(path);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(300, 'x'));
    damaged.close();

    QString shown;
    TMessageBoxForm::setModalRunner([&](TMessageBoxForm& box) {
        shown = box.Msg->text();
        box.clickButton(MsgButton::OK);
    });
    open("10:10:10");
    TMessageBoxForm::setModalRunner({});
    EXPECT_TRUE(shown.startsWith("This recording cannot be shown: the file is damaged or is not a recording of the "
                                 "Heart Let recorder."))
        << shown.toStdString();
    EXPECT_TRUE(shown.contains("byte")) << shown.toStdString();  // the technical detail follows
    EXPECT_FALSE(w.ZoomIn->isVisibleTo(&w));
}

TEST_F(ChartWindow, Screenshots)
{
    const QString out = qEnvironmentVariable("TALMON_SCREENSHOT_DIR");
    if (out.isEmpty()) GTEST_SKIP() << "set TALMON_SCREENSHOT_DIR to write the screenshots";
    TECGMain& w = *window_;
    addRecording("142530", true, 0.12);
    w.show();
    open("14:25:30");
    if (w.chartColour() != "1") w.ECGColorClick();
    ASSERT_TRUE(w.grab().save(QDir(out).filePath("chart-pink-gain2.png")));
    for (int i = 0; i < 4; ++i) w.ZoomInClick();
    ASSERT_TRUE(w.grab().save(QDir(out).filePath("chart-pink-gain6.png")));
    w.ECGColorClick();
    ASSERT_TRUE(w.grab().save(QDir(out).filePath("chart-green-gain6.png")));
    w.RecoverClick();
    ASSERT_TRUE(w.grab().save(QDir(out).filePath("chart-green-gain2.png")));
}

}  // namespace

namespace {

bool AnyFindingLit(const TECGMain& w)
{
    for (const SkinPicture* p : {w.Slow, w.Fast, w.Pause, w.Rhythm, w.Waveform})
        if (p && p->pictureName().endsWith("-1.bmp")) return true;
    return false;
}

}  // namespace

// After a rebuild of the list the open recording stays in sight, and when the
// chart is emptied the panel follows: no finding is left lit for a recording
// that is no longer shown.
TEST_F(ChartWindow, PanelAndListFollowWhatIsOpen)
{
    TECGMain& w = *window_;
    const QString path = addRecording("142530", true);
    open("14:25:30");
    ASSERT_TRUE(AnyFindingLit(w));

    w.library()->RebuildDataList();
    w.dataListView()->Fill();
    const DataNode* selected = w.library()->model().selected();
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(QFileInfo(selected->path).canonicalFilePath(), QFileInfo(path).canonicalFilePath());
    for (const DataNode* n = selected->parent; n; n = n->parent) EXPECT_TRUE(n->expanded) << n->caption.toStdString();

    // The upload window closed without an upload: the chart is emptied, and so is the panel.
    w.uploadController()->adjustSetup = [](UploadDialogSetup&) {};
    for (DataNode* n : w.library()->model().nodesInOrder())
        if (n == selected) w.library()->DataListCheckChanged(n, true);
    QTimer closer;
    bool closed = false;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            dialog->reject();
            closed = true;
        }
    });
    closer.start(20);
    w.UploadClick();
    closer.stop();
    ASSERT_TRUE(closed);
    EXPECT_FALSE(w.chart()->hasRecording());
    EXPECT_FALSE(AnyFindingLit(w));
}
