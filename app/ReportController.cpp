#include "app/ReportController.h"

#include "app/ChartController.h"
#include "app/MainForm.h"
#include "dialogs/MessageBox.h"
#include "display/ReportLayout.h"
#include "display/ReportPage.h"
#include "display/ReportPdf.h"
#include "lang/TextTable.h"
#include "lang/Words.h"
#include "store/RecordingLibrary.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <vector>

ReportController::ReportController(TECGMain& window, RecordingLibrary& library, ChartController& chart)
    : QObject(&window), window_(window), library_(library), chart_(chart)
{
}

void ReportController::tell(const QString& text)
{
    window_.messageBox()->ShowMessageBox(text, MsgKind::Information, window_.languageId(), {MsgButton::OK});
}

// The page is printed at its own size or not at all: shrinking it to the
// printable area would break the 25 mm/s and 10 mm/mV scale.
bool ReportController::paperFits(QPrinter& printer)
{
    const report::PaperFit fit = report::CheckPaper(printer.pageLayout());
    if (fit == report::PaperFit::NotA4Portrait) {
        outcome_ = Outcome::WrongPaper;
        tell(WordOf(Word::PrintWrongPaper));
        return false;
    }
    if (fit == report::PaperFit::PrintableAreaTooSmall) {
        const QRectF content = report::kContentBox.translated(report::kLayoutOrigin);
        outcome_ = Outcome::DoesNotFit;
        tell(WordOf(Word::PrintMarginsTooSmall)
                 .arg(printer.printerName())
                 .arg(content.top(), 0, 'f', 1)
                 .arg(report::kPaperSize.height() - content.bottom(), 0, 'f', 1));
        return false;
    }
    return true;
}

void ReportController::Printer1Click()
{
    printed_ = 0;
    refused_.clear();
    library_.GatherCheckedRecordings();
    const std::vector<QString> paths = library_.gatheredPaths();
    if (paths.empty()) {
        outcome_ = Outcome::NothingTicked;
        tell(TextOf(168));
        return;
    }

    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setFullPage(true);  // the painter's origin is the paper's corner
    printer.setDocName(QStringLiteral("Talmon ECG report"));
    printer.setCreator(QStringLiteral("Talmon ECG Manager"));
    QPrintDialog dialog(&printer, &window_);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    if (dialog.exec() != QDialog::Accepted) {
        outcome_ = Outcome::Cancelled;
        return;
    }
    // A PDF gets the resolution the pictures are made for: the same page as the command line's.
    if (printer.outputFormat() == QPrinter::PdfFormat) printer.setResolution(report::kPdfDpi);
    if (!paperFits(printer)) return;

    // Every recording is read before the job starts, so a refused file never leaves half a job behind.
    const float gain = chart_.state().ChartGain;
    const ecg::FilterSwitches switches = chart_.filters().switches();
    std::vector<report::ReportPage> pages;
    for (const QString& path : paths) {
        report::ReportPage page;
        const EdfProblem problem = report::LoadReportPage(path, switches, gain, window_.languageId(), page);
        if (problem.ok()) pages.push_back(std::move(page));
        else refused_ << QStringLiteral("%1\n    %2").arg(path, problem.message());
    }
    const QString refusedText =
        refused_.isEmpty() ? QString()
                           : WordOf(Word::PrintUnreadable)
                                 .arg(refused_.join(QLatin1Char('\n')));
    if (pages.empty()) {
        outcome_ = Outcome::NothingReadable;
        tell(refusedText);
        return;
    }

    QPainter painter;
    bool ok = painter.begin(&printer);
    for (size_t i = 0; ok && i < pages.size(); ++i) {
        if (i > 0) ok = printer.newPage();
        if (ok) report::PaintReportPage(painter, pages[i]);
    }
    if (ok) {
        ok = painter.end();
    } else if (painter.isActive()) {
        printer.abort();  // half a job is never handed to the printer
        painter.end();
    }
    if (!ok || printer.printerState() == QPrinter::Error || printer.printerState() == QPrinter::Aborted) {
        outcome_ = Outcome::JobFailed;
        const QString target = printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
        tell(WordOf(Word::PrintJobFailed)
                 .arg(target, refusedText.isEmpty() ? QString() : QStringLiteral("\n\n") + refusedText));
        return;
    }
    outcome_ = Outcome::Printed;
    printed_ = static_cast<int>(pages.size());
    if (!refusedText.isEmpty())
        tell(WordOf(Word::PrintPartly)
                 .arg(printed_)
                 .arg(paths.size())
                 .arg(refusedText));
}
