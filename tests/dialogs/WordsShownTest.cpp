// The windows show the words beside the slot table in the chosen language:
// the download's reasons and problems, the data list's root and the welcome
// window's subtitle.
#include "TestApp.h"
#include "dialogs/DataListView.h"
#include "dialogs/DownloadReport.h"
#include "dialogs/MDWelcome.h"
#include "lang/TextTable.h"
#include "lang/Words.h"
#include "store/RecordingLibrary.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

// Chooses a language for one test and gives the previous one back.
struct LanguageScope {
    explicit LanguageScope(int id) : before(TextTable::current().languageId()) { TextTable::current().SelectLanguage(id); }
    ~LanguageScope() { TextTable::current().SelectLanguage(before); }
    int before;
};

TEST(WordsShown, WindowsShowTheWordsOfTheChosenLanguage)
{
    TestApp();
    for (int id : {1031, 1028, 3082}) {
        SCOPED_TRACE(id);
        LanguageScope language(id);
        const QString stored = WordIn(id, Word::DownloadAlreadyStored);
        ASSERT_NE(stored, WordIn(TextTable::kEnglish, Word::DownloadAlreadyStored));

        device::DownloadRow row;
        row.outcome = device::RecordingOutcome::AlreadyStored;
        row.relativePath = QStringLiteral("0000A1F3/201305/07/142530.edf");
        EXPECT_TRUE(DownloadRowText(row).endsWith("  (" + stored + ")")) << DownloadRowText(row).toStdString();

        device::DownloadResult result;
        result.end = device::DownloadEnd::NoAnswer;
        EXPECT_EQ(DownloadProblemText(result), WordIn(id, Word::DownloadNoAnswer));
        result.end = device::DownloadEnd::WaitsInBootLoader;
        EXPECT_EQ(DownloadProblemText(result), WordIn(id, Word::DeviceWaitsInBootLoader));
        EXPECT_EQ(EraseRefusalText(device::EraseRefusal::OtherRecorder), WordIn(id, Word::EraseOtherRecorder));

        QTemporaryDir data;
        RecordingLibrary library(data.path(), {});
        library.RebuildDataList();
        QTreeWidget tree;
        DataListView view(&tree, library);
        view.Fill();
        ASSERT_EQ(tree.topLevelItemCount(), 1);
        EXPECT_EQ(tree.topLevelItem(0)->text(0), WordIn(id, Word::DataListRoot));

        TWelcome welcome(nullptr, 1);
        EXPECT_EQ(welcome.SubtitleLabel->text(), WordIn(id, Word::WelcomeSubtitle));
    }
}

}  // namespace
