// Engineering mode shows the service controls, which are hidden otherwise;
// F1 opens the help document of the language.
#include "WindowFixture.h"

#include <QKeyEvent>
#include <QTest>
#include <QWidget>

namespace {

constexpr const char* kShown[] = {"UpgradeBtn", "Start",    "Stop",   "DisplayBtn", "DisplayTrace",
                                  "Dis1",       "PenWidth", "Plus",   "ShowAnno",   "LowCut",
                                  "HighCut",    "Filter",   "iir",    "filterSwBtn", "sampSwitchBtn",
                                  "Upload",     "Account"};
constexpr const char* kStayHidden[] = {"DelAll", "Battery", "Edf2MUC", "OffSet", "SamplingBtn", "Batch", "UKnow", "Help"};

class EngineeringModeTest : public WindowFixture {};

TEST_F(EngineeringModeTest, HiddenByDefaultShownInEngineeringMode)
{
    auto window = open();
    for (const char* name : kShown) {
        QWidget* control = window->findChild<QWidget*>(name);
        ASSERT_NE(control, nullptr) << name;
        EXPECT_FALSE(control->isVisible()) << name;
    }
    window->ShowEngineeringControls();
    for (const char* name : kShown)
        EXPECT_TRUE(window->findChild<QWidget*>(name)->isVisible()) << name;
    for (const char* name : kStayHidden)
        EXPECT_FALSE(window->findChild<QWidget*>(name)->isVisible()) << name;
}

TEST_F(EngineeringModeTest, F1OpensTheHelpDocumentOfTheLanguage)
{
    for (const auto& [language, document] : {std::pair{1033, "Help_en.pdf"}, std::pair{1028, "Help_tc.pdf"}}) {
        SCOPED_TRACE(language);
        StartupState chosen = state;
        chosen.languageId = language;
        QList<QUrl> opened;
        bool viewerSetUp = true;
        MainWindowOptions options;
        options.showWelcome = false;
        options.programFolder = "/opt/talmon";
        options.openUrl = [&](const QUrl& url) {
            opened << url;
            return viewerSetUp;
        };
        TECGMain window(chosen, options);
        window.FormCreate();
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, Qt::Key_F1);
        ASSERT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(QString("/opt/talmon/") + document)});

        // Without a viewer the user is told so.
        viewerSetUp = false;
        shown.clear();
        QTest::keyClick(&window, Qt::Key_F1);
        EXPECT_EQ(shown, QStringList{TextOf(170)});
        window.close();
    }
}

}  // namespace
