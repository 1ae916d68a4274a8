#pragma once
#include <QObject>
#include <QString>
#include <QStringList>

class TECGMain;
class RecordingLibrary;
class ChartController;
class QPrinter;

// The window's print command: one report page per ticked recording, in data
// list order, as one print job through the system's print dialog (which
// offers PDF output when no printer is installed). Each recording is read
// into a page of its own, so the recording open in the window, its note and
// the chart's gain are left as they were.
class ReportController : public QObject {
    Q_OBJECT
public:
    ReportController(TECGMain& window, RecordingLibrary& library, ChartController& chart);

    void Printer1Click();

    // What the last print command ended with (for the window's tests).
    enum class Outcome { NothingTicked, Cancelled, WrongPaper, DoesNotFit, NothingReadable, JobFailed, Printed };
    Outcome lastOutcome() const { return outcome_; }
    // The pages the last job printed, and the files it refused.
    int printedPages() const { return printed_; }
    const QStringList& refusedFiles() const { return refused_; }

private:
    void tell(const QString& text);
    bool paperFits(QPrinter& printer);

    TECGMain& window_;
    RecordingLibrary& library_;
    ChartController& chart_;
    Outcome outcome_ = Outcome::NothingTicked;
    int printed_ = 0;
    QStringList refused_;
};
