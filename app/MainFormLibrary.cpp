// The data list and note panel: the recording library behind the tree view,
// its questions in the window's message box, and the hidden engineering
// functions that work on the library (other folder, 256/s conversion, batch).
#include "app/MainForm.h"
#include "app/ChartController.h"
#include "app/ReportController.h"
#include "dialogs/DataListView.h"
#include "dialogs/MDSelectPath.h"
#include "dialogs/MessageBox.h"
#include "dialogs/SkinPicture.h"
#include "art/Pictures.h"
#include "lang/TextTable.h"
#include "lang/Words.h"
#include "store/ExternalAnalyser.h"
#include "store/RecordingAnalysis.h"
#include "store/RecordingLibrary.h"
#include "store/SamplingConversion.h"

#include <QFileDialog>
#include <algorithm>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

int TECGMain::askInMessageBox(const QString& english, bool withCancel)
{
    const MsgButtons buttons = withCancel ? MsgButtons{MsgButton::OK, MsgButton::Cancel} : MsgButtons{MsgButton::OK};
    return MsgBox->ShowMessageBox(TextForEnglish(english), MsgKind::Information, state_.languageId, buttons);
}

// Plain words first (what the user can do about it), the technical detail
// (field and byte) after, for a bug report or the maker's support.
void TECGMain::showRefusal(const EdfProblem& problem, const QString& path)
{
    QString plain;
    switch (problem.code) {
    case EdfError::CannotOpen:
        plain = WordOf(Word::OpenCannotRead);
        break;
    case EdfError::UnsupportedRate:
        plain = WordOf(Word::OpenWrongRate);
        break;
    default:
        plain = WordOf(Word::OpenDamaged);
        break;
    }
    MsgBox->ShowMessageBox(QStringLiteral("%1\n\n%2 %3\n%4").arg(plain, WordOf(Word::OpenDetail), problem.message(), path),
                           MsgKind::Information, state_.languageId, {MsgButton::OK});
}

void TECGMain::attachLibrary()
{
    RecordingLibrary::Hooks hooks;
    hooks.ask = [this](const QString& text, bool withCancel) { return askInMessageBox(text, withCancel); };
    hooks.analyse = RecordingAnalysisHook();
    hooks.startExternalAnalyser = [analyser = std::make_shared<ExternalAnalyser>()](const QString& path) {
        return analyser->Start(path).annotationPath;
    };
    hooks.clearCharts = [this] { chart_->ClearChart(); };
    hooks.hideChartControls = [this] { chart_->hideControls(); };
    hooks.prepareChart = [this](const OpenedRecording& opened) { chart_->prepare(opened); };
    hooks.refreshFindings = [this] {
        showLibraryState();
        chart_->UpdateFindings();
    };
    hooks.refuse = [this](const EdfProblem& problem, const QString& path) { showRefusal(problem, path); };
    hooks.choosePath = [this] { return options_.chooseFolder ? options_.chooseFolder() : TSelectPath::Choose(this); };
    library_ = std::make_unique<RecordingLibrary>(state_.paths.dataFolder, std::move(hooks));
    library_->setLanguageId(state_.languageId);
    chart_ = new ChartController(*this, *library_);
    report_ = new ReportController(*this, *library_, *chart_);

    dataListView_ = new DataListView(DataList, *library_, this);
    dataListView_->setIcons(QIcon(LoadPicture("image\\Tree-ic01.bmp")), QIcon(LoadPicture("image\\Tree-ic02.bmp")));
    dataListView_->bindMemo(Memo1);
    dataListView_->bindMenu(PopupMenu1, MenuDelete);
    connect(dataListView_, &DataListView::nodeOpened, this, &TECGMain::showLibraryState);

    library_->RebuildDataList();
    dataListView_->Fill();
}

// The captions that follow the open recording.
void TECGMain::showLibraryState()
{
    RecordDate->setText(library_->recordDate());
    RecordDate->adjustSize();
    RecordDataLabel->setText(TextForEnglish(library_->recordDataLabel()));
    RecordDataLabel->adjustSize();
}

void TECGMain::DeleteClick()
{
    dataListView_->DeleteClick();
}

void TECGMain::MenuDeleteClick()
{
    dataListView_->DeleteClick();
}

void TECGMain::DataListClick()
{
    dataListView_->DataListClick();
}

void TECGMain::Memo1Change()
{
    library_->Memo1Change(Memo1->toPlainText());
}

void TECGMain::chooseOtherFolder()
{
    library_->UKnowClick();
    dataListView_->Fill();
}

void TECGMain::runSamplingConversion()
{
    const QString chosen = options_.chooseRecordingFile
                               ? options_.chooseRecordingFile()
                               : QFileDialog::getOpenFileName(this, QStringLiteral("360 t0 256"),
                                                              state_.paths.dataFolder,
                                                              QStringLiteral("EDF (*.edf *.EDF)"));
    if (chosen.isEmpty())
        return;
    const EdfProblem problem = ConvertTo256(chosen);
    MsgBox->ShowMessageBox(problem.ok() ? QStringLiteral("OK!!") : problem.message(), MsgKind::Information,
                           state_.languageId, {MsgButton::OK});
}

void TECGMain::runBatchComparison()
{
    const BatchRun run = RunBatchComparison(state_.paths.dataFolder);
    constexpr int kLabels = 10;  // undef1 .. undef10; the last one takes what is left over
    int index = 1;
    for (const auto& [label, count] : ecg::BatchLabels(run.tally)) {
        auto* target = control<QLabel>(QStringLiteral("undef%1").arg(std::min(index, kLabels)).toLatin1().constData());
        const QString text = QStringLiteral("%1%2").arg(QString::fromStdString(label)).arg(count);
        if (target)
            target->setText(index > kLabels ? target->text() + ' ' + text : text);
        ++index;
    }
}
