// The window's print command on a machine without printers: the ticked
// recordings go through the system's print dialog into a PDF whose pages are
// the command line's pages; the window's open recording is left alone.
#include "TestApp.h"
#include "app/ChartController.h"
#include "app/InstanceGuard.h"
#include "app/MainForm.h"
#include "app/ReportController.h"
#include "app/Startup.h"
#include "dialogs/MessageBox.h"
#include "lang/TextTable.h"
#include "sim/ecg/EcgSynth.h"
#include "store/DataListModel.h"
#include "store/EdfWriter.h"
#include "store/RecordingLibrary.h"
#include "tests/store/StoreFixtures.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

int RunTool(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(120000);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// Page `page` of a PDF as poppler rasters it (5 pixels per millimetre).
QImage Raster(const QString& pdf, int page)
{
    const QString prefix = pdf + "-p" + QString::number(page);
    const QString n = QString::number(page);
    RunTool("pdftoppm", {"-r", "127", "-png", "-singlefile", "-f", n, "-l", n, pdf, prefix});
    return QImage(prefix + ".png").convertToFormat(QImage::Format_RGB32);
}

int PageCount(const QString& pdf)
{
    QProcess p;
    p.start("pdfinfo", {pdf});
    p.waitForFinished(60000);
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    const qsizetype at = out.indexOf("Pages:");
    return at < 0 ? -1 : out.mid(at + 6).section('\n', 0, 0).trimmed().toInt();
}

class ReportPrint : public ::testing::Test {
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
        TMessageBoxForm::setModalRunner([this](TMessageBoxForm& box) {
            messages_ << box.Msg->text();
            box.clickButton(MsgButton::OK);
        });
    }
    void TearDown() override
    {
        TMessageBoxForm::setModalRunner({});
        if (window_) window_->close();
    }

    // A 40-s recording as downloaded from the recorder (heart rate 72, rhythm finding).
    QString addRecording(const QString& time, int seed)
    {
        sim::SynthOptions o;
        o.seconds = 40;
        o.sampleRate = 256;
        o.heartRate = 75;
        o.seed = seed;
        const sim::SynthResult ecg = sim::SynthesiseEcg(o);
        const QString path = startup_.state.paths.dataFolder + "/0000A1F3/201305/07/" + time + ".edf";
        QDir().mkpath(QFileInfo(path).absolutePath());
        DEVICE_RECORD_HEADER header = fixtures::recorderHeader(uint32_t(ecg.samples.size()));
        header.setU8(DEVICE_RECORD_HEADER::NoiseFinding, 0);  // a clean recording with a rhythm finding
        header.setU8(DEVICE_RECORD_HEADER::TachyFinding, 0);
        header.setU8(DEVICE_RECORD_HEADER::BradyFinding, 0);
        EXPECT_TRUE(
            WriteDownloadedEdf(path, header, LittleEndianSamples(ecg.samples), fixtures::series()).ok());
        return path;
    }

    DataNode* node(const QString& caption)
    {
        for (DataNode* n : window_->library()->model().nodesInOrder())
            if (n->caption == caption) return n;
        return nullptr;
    }

    // Runs the print command; `dialog` drives the print dialog when it shows.
    void print(std::function<void(QPrintDialog&)> dialog)
    {
        dialogShown_ = false;
        QTimer watch;
        watch.setInterval(20);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (auto* d = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget())) {
                watch.stop();
                dialogShown_ = true;
                dialog(*d);
            }
        });
        watch.start();
        window_->Printer1Click();
        watch.stop();
    }

    // Chooses PDF output into `file` and presses the dialog's print button.
    static void PrintToFile(QPrintDialog& d, const QString& file, bool& offersPdf)
    {
        auto* printers = d.findChild<QComboBox*>("printers");
        offersPdf = false;
        for (int i = 0; printers && i < printers->count(); ++i)
            if (printers->itemText(i).contains("PDF")) {
                printers->setCurrentIndex(i);
                offersPdf = true;
            }
        if (auto* name = d.findChild<QLineEdit*>("filename")) name->setText(file);
        d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    }

    QTemporaryDir home_;
    InstanceGuard guard_;
    StartupResult startup_;
    std::unique_ptr<TECGMain> window_;
    QStringList messages_;
    bool dialogShown_ = false;
};

TEST_F(ReportPrint, TickedRecordingsPrintToPdfAsTheCommandLinePrintsThem)
{
    const QString first = addRecording("101010", 3), second = addRecording("142530", 7);
    const QString damaged = startup_.state.paths.dataFolder + "/0000A1F3/201305/07/150000.edf";
    QFile junk(damaged);
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(600, 'x'));
    junk.close();

    RecordingLibrary& lib = *window_->library();
    lib.RebuildDataList();
    // The open recording, its gain and its note must survive printing.
    lib.model().select(node("14:25:30"));
    window_->DataListClick();
    window_->Memo1->setPlainText("after lunch");
    window_->ZoomInClick();
    window_->ZoomInClick();
    const float gain = window_->chart()->state().ChartGain;
    ASSERT_EQ(gain, 4.0f);
    const QString openBefore = lib.openRecordingPath();

    // Nothing ticked: the message, and no print dialog.
    print([](QPrintDialog& d) { d.reject(); });
    EXPECT_FALSE(dialogShown_);
    EXPECT_EQ(window_->report()->lastOutcome(), ReportController::Outcome::NothingTicked);
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_EQ(messages_.takeFirst(), TextOf(168));

    for (const char* caption : {"10:10:10", "14:25:30", "15:00:00"}) {
        DataNode* n = node(caption);
        ASSERT_NE(n, nullptr) << caption;
        lib.DataListCheckChanged(n, true);
    }

    // Cancelling the dialog prints nothing.
    print([](QPrintDialog& d) { d.reject(); });
    EXPECT_TRUE(dialogShown_);
    EXPECT_EQ(window_->report()->lastOutcome(), ReportController::Outcome::Cancelled);
    EXPECT_TRUE(messages_.isEmpty());

    const QString pdf = home_.filePath("printed.pdf");
    bool offersPdf = false;
    print([&](QPrintDialog& d) { PrintToFile(d, pdf, offersPdf); });
    EXPECT_TRUE(offersPdf);
    EXPECT_EQ(window_->report()->lastOutcome(), ReportController::Outcome::Printed);
    EXPECT_EQ(window_->report()->printedPages(), 2);
    // The damaged file is named; the others printed in list order.
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_TRUE(messages_.front().contains("150000.edf")) << messages_.front().toStdString();
    EXPECT_TRUE(messages_.front().contains("2 of 3")) << messages_.front().toStdString();
    EXPECT_EQ(PageCount(pdf), 2);

    EXPECT_EQ(lib.openRecordingPath(), openBefore);
    EXPECT_EQ(window_->chart()->state().ChartGain, gain);
    EXPECT_EQ(window_->Memo1->toPlainText(), "after lunch");

    const QString cliPdf = home_.filePath("cli.pdf");
    ASSERT_EQ(RunTool(TALMON_BIN_DIR "/ecg-cli", {"report", first, second, "--pdf", cliPdf, "--gain", "4"}), 0);
    for (int page : {1, 2}) {
        const QImage printed = Raster(pdf, page), command = Raster(cliPdf, page);
        ASSERT_FALSE(printed.isNull());
        EXPECT_TRUE(printed == command) << "page " << page;
    }
    // The page for the documentation, at the standard gain and 100 dpi.
    const QString shots = QString::fromLocal8Bit(qgetenv("TALMON_SCREENSHOT_DIR"));
    if (!shots.isEmpty()) {
        const QString docPdf = shots + "/report-page.pdf";
        RunTool(TALMON_BIN_DIR "/ecg-cli", {"report", second, "--pdf", docPdf});
        RunTool("pdftoppm", {"-r", "100", "-png", "-singlefile", docPdf, shots + "/report-page"});
        QFile::remove(docPdf);
    }
}

}  // namespace
