// The main window on the offscreen platform: layout, start-up toggle, close
// rules, language positions, help, moving and minimising.
#include "TestApp.h"
#include "app/InstanceGuard.h"
#include "app/MainForm.h"
#include "app/Startup.h"
#include "dialogs/MessageBox.h"
#include "dialogs/SkinPictureButton.h"
#include "lang/TextTable.h"
#include "store/ProfileFile.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QAction>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <gtest/gtest.h>
#include <functional>
#include <memory>

namespace {

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        QDir().mkpath(settings());
    }
    void TearDown() override { TMessageBoxForm::setModalRunner({}); }

    QString settings() const { return home.filePath("Documents/talmon/"); }
    QString heartlet() const { return settings() + "Heartlet.ini"; }
    QString key(const char* name) const { return ProfileFile(heartlet()).readString("INFO", name, "<missing>"); }
    void writeFile(const QString& name, const QByteArray& data)
    {
        QFile f(settings() + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    }

    // One start of the program, up to a shown main window.
    std::unique_ptr<TECGMain> start()
    {
        guard = std::make_unique<InstanceGuard>();
        const StartupResult r = RunStartup(home.filePath("Documents"), TextTable::current(), *guard);
        EXPECT_EQ(r.outcome, StartupOutcome::Ready);
        MainWindowOptions options;
        options.showWelcome = false;
        options.programFolder = "/opt/talmon";
        options.openUrl = [this](const QUrl& url) {
            opened.append(url);
            return openResult;
        };
        options.chooseRecordingFile = [] { return QString(); };
        options.chooseFolder = [] { return std::optional<QString>(); };
        auto window = std::make_unique<TECGMain>(r.state, options);
        window->FormCreate();
        window->show();
        return window;
    }
    void stop(std::unique_ptr<TECGMain>& window)
    {
        window->close();
        window.reset();
        guard.reset();
    }

    QTemporaryDir home;
    std::unique_ptr<InstanceGuard> guard;
    QList<QUrl> opened;
    bool openResult = true;
};

TEST_F(MainFormTest, FirstStartBuildsTheLayout)
{
    auto w = start();
    EXPECT_EQ(w->size(), QSize(1025, 660));
    EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(w->windowTitle(), "Talmon ECG Manager");
    const QRegion mask = w->mask();
    EXPECT_FALSE(mask.contains(QPoint(0, 0)));
    EXPECT_FALSE(mask.contains(QPoint(1024, 659)));
    EXPECT_TRUE(mask.contains(QPoint(512, 0)));
    EXPECT_TRUE(mask.contains(QPoint(6, 6)));

    struct Place {
        const char* name;
        QRect rect;
    };
    const Place places[] = {
        {"bgImage", {0, 0, 1025, 660}},     {"CloseBtn", {992, 5, 19, 17}},  {"MinBtn", {970, 5, 17, 17}},
        {"ECGChart1", {28, 50, 742, 15}},   {"ECGChart2", {769, 50, 17, 455}}, {"ScrollBox1", {8, 65, 760, 440}},
        {"ZoomOut", {357, 520, 20, 20}},    {"Recover", {458, 520, 20, 20}}, {"ECGColor", {35, 522, 14, 14}},
        {"Connected", {984, 568, 23, 15}},  {"HRImage", {150, 598, 12, 10}},  // moved for 1033
        {"OK", {336, 604, 45, 27}},         {"Rhythm", {544, 604, 45, 27}},  {"Download", {787, 600, 40, 40}},
        {"Settings", {834, 600, 40, 40}},   {"Printer1", {881, 600, 40, 40}}, {"About", {922, 600, 40, 40}},
        {"Delete", {962, 600, 40, 40}},     {"Upload", {693, 600, 40, 40}},  {"Account", {648, 600, 40, 40}},
        {"ShowPanel", {795, 31, 224, 523}}, {"DataListImage", {0, 0, 224, 20}},
    };
    for (const Place& p : places) {
        QWidget* c = w->findChild<QWidget*>(p.name);
        ASSERT_NE(c, nullptr) << p.name;
        EXPECT_EQ(c->geometry(), p.rect) << p.name;
    }
    EXPECT_EQ(w->ECGChart->geometry(), QRect(27, 0, 733, 438));
    for (const char* visible : {"Download", "Settings", "Printer1", "About", "Delete", "CloseBtn", "MinBtn"})
        EXPECT_TRUE(w->findChild<QWidget*>(visible)->isVisible()) << visible;
    for (const char* hidden : {"Upload", "Help", "Account", "Internet", "ZoomIn", "ZoomOut", "Recover", "ECGColor",
                               "UnstableImg", "Start", "DelAll", "SamplingBtn", "ZoomRadioN", "undef10",
                               "DeviceIDLabel", "ChgImg"})
        EXPECT_FALSE(w->findChild<QWidget*>(hidden)->isVisible()) << hidden;

    EXPECT_EQ(w->DataListLabel->text(), "Data list");
    EXPECT_EQ(w->RecordInfoLabel->text(), "Data set information");
    EXPECT_EQ(w->HRLabel->text(), "Heart rate");
    EXPECT_EQ(w->ConnLabe->text(), "Connection status:");
    EXPECT_EQ(w->bpmLabel->text(), "(bpm)");
    EXPECT_TRUE(w->RecordDataLabel->text().isEmpty());
    EXPECT_FALSE(w->Memo1->isEnabled());
    EXPECT_EQ(w->findChild<QTreeWidget*>("DataList"), w->DataList);
    EXPECT_EQ(w->findChild<QPlainTextEdit*>("Memo1"), w->Memo1);

    // The start-up toggle shrank the list and stored the new marker.
    EXPECT_EQ(w->DataList->height(), 276);
    EXPECT_EQ(w->Memo1->geometry(), QRect(0, 316, 224, 207));
    EXPECT_EQ(w->CtlImg->geometry(), QRect(197, 299, 15, 14));
    EXPECT_EQ(key("CTL"), "2");
    stop(w);
}

TEST_F(MainFormTest, LayoutToggleRoundTripsThroughClose)
{
    auto w = start();
    emit w->CtlImg->clicked();
    EXPECT_EQ(w->DataList->height(), 482);
    EXPECT_EQ(w->Memo1->height(), 1);
    EXPECT_EQ(w->CtlImg->normalLook(), "image\\Tree-tit-ic01.bmp");
    EXPECT_EQ(key("CTL"), "1");
    stop(w);
    EXPECT_EQ(key("CTL"), "2");  // closed tall

    w = start();
    EXPECT_EQ(w->DataList->height(), 482);  // tall again
    EXPECT_EQ(key("CTL"), "1");
    emit w->CtlImg->clicked();
    EXPECT_EQ(w->DataList->height(), 276);
    stop(w);
    EXPECT_EQ(key("CTL"), "1");  // closed short

    w = start();
    EXPECT_EQ(w->DataList->height(), 276);
    stop(w);
}

TEST_F(MainFormTest, ColourRoundTrip)
{
    struct Case {
        QByteArray ini;
        const char* look;
        const char* stored;
    };
    const Case cases[] = {
        {"[INFO]\nCTL=1\n", "image\\change-ecg color-g.bmp", "0"},  // no COLOR: green paper
        {"[INFO]\nCOLOR=0\n", "image\\change-ecg color-p.bmp", "0"},
        {"[INFO]\nCOLOR=1\n", "image\\change-ecg color-g.bmp", "1"},
    };
    for (const Case& c : cases) {
        writeFile("Heartlet.ini", c.ini);
        auto w = start();
        EXPECT_EQ(w->ECGColor->normalLook(), c.look) << c.ini.constData();
        stop(w);
        EXPECT_EQ(key("COLOR"), c.stored) << c.ini.constData();
        EXPECT_EQ(key("HOST_NAME"), "<missing>");  // an existing file is never completed
    }
}

TEST_F(MainFormTest, LanguagePositionsAndCaptions)
{
    struct Case {
        const char* setinfo;
        int conn, deviceId, recordDate, hrImage, heartRate, bpm;
        const char* dataListCaption;
    };
    const Case cases[] = {
        {" 1028 ", 930, 800, 100, 150, 180, 245, "資料列表"},
        {"1049", 850, 758, 120, 150, 180, 245, nullptr},
        {"01033", 883, 758, 120, 110, 150, 193, "Data list"},
        {"1031", 883, 758, 120, 150, 180, 245, nullptr},
    };
    for (const Case& c : cases) {
        writeFile("setinfo.ini", c.setinfo);
        auto w = start();
        EXPECT_EQ(w->ConnLabe->x(), c.conn) << c.setinfo;
        EXPECT_EQ(w->DeviceIDLabel->x(), c.deviceId) << c.setinfo;
        EXPECT_EQ(w->RecordDate->x(), c.recordDate) << c.setinfo;
        EXPECT_EQ(w->HRImage->x(), c.hrImage) << c.setinfo;
        EXPECT_EQ(w->HeartRate->x(), c.heartRate) << c.setinfo;
        EXPECT_EQ(w->bpmLabel->x(), c.bpm) << c.setinfo;
        if (c.dataListCaption) {
            EXPECT_EQ(w->DataListLabel->text(), QString::fromUtf8(c.dataListCaption)) << c.setinfo;
        }
        stop(w);
    }
}

TEST_F(MainFormTest, MenuDeleteKeepsItsCaptionAndHeartRateIsLayoutGrey)
{
    for (const char* setinfo : {"1031", "1028", "1033"}) {
        writeFile("setinfo.ini", setinfo);
        auto w = start();
        EXPECT_EQ(w->MenuDelete->text(), "Delete") << setinfo;
        w->HeartRate->setText("72");
        w->HeartRate->ensurePolished();
        EXPECT_EQ(w->HeartRate->palette().color(w->HeartRate->foregroundRole()), QColor(107, 107, 107)) << setinfo;
        stop(w);
    }
}

TEST_F(MainFormTest, HelpOpensTheDocumentOfTheLanguageAndReportsFailure)
{
    for (const auto& [setinfo, document] : {std::pair{"1028", "Help_tc.pdf"}, std::pair{"1031", "Help_en.pdf"},
                                            std::pair{"1033", "Help_en.pdf"}}) {
        writeFile("setinfo.ini", setinfo);
        auto w = start();
        opened.clear();
        w->HelpClick();
        ASSERT_EQ(opened.size(), 1);
        EXPECT_EQ(opened[0], QUrl::fromLocalFile(QString("/opt/talmon/") + document)) << setinfo;
        stop(w);
    }

    writeFile("setinfo.ini", "1033");
    auto w = start();
    openResult = false;
    QString shown;
    TMessageBoxForm::setModalRunner([&](TMessageBoxForm& box) {
        shown = box.Msg->text();
        EXPECT_TRUE(box.clickButton(MsgButton::OK));
    });
    w->HelpClick();
    EXPECT_EQ(shown, "For reading the document, please install Acrobat Reader from Adobe.");
    w->InternetClick();
    EXPECT_EQ(opened.back(), QUrl(TECGMain::kHomePage));
    stop(w);
}

TEST_F(MainFormTest, ButtonsShowTheirLooksAndToolTipsAndDoNoHarm)
{
    auto w = start();
    SkinPictureButton* download = w->Download;
    EXPECT_EQ(download->pictureName(), "image\\Main_ic-download.bmp");
    EXPECT_TRUE(download->toolTip().isEmpty());
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), download->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(download, &enter);
    EXPECT_EQ(download->toolTip(), "Download");
    EXPECT_EQ(download->pictureName(), "image\\Main_ic-download-1.bmp");
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), download->mapToGlobal(QPointF(5, 5)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(download, &press);
    EXPECT_EQ(download->pictureName(), "image\\Main_ic-download-2.bmp");
    QEvent leave(QEvent::Leave);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), download->mapToGlobal(QPointF(5, 5)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(download, &release);
    QApplication::sendEvent(download, &leave);
    EXPECT_EQ(download->pictureName(), "image\\Main_ic-download.bmp");

    // Commands that answer with a message box get it answered at once; a
    // dialog they open (Account) is closed as soon as it shows.
    TMessageBoxForm::setModalRunner([](TMessageBoxForm& box) { box.clickButton(MsgButton::OK); });
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->reject();
    });
    closer.start(20);
    for (SkinPictureButton* b : {w->Download, w->Settings, w->Printer1, w->Delete, w->Upload, w->Account})
        emit b->clicked();
    closer.stop();
    for (QPushButton* b : w->findChildren<QPushButton*>())
        b->click();  // the hidden engineering controls
    EXPECT_TRUE(w->isVisible());
    stop(w);
}

TEST_F(MainFormTest, BackgroundMovesAndMinButtonMinimises)
{
    auto w = start();
    w->move(100, 100);
    const QPoint start = w->pos();
    const auto send = [&](QEvent::Type type, QPoint global, Qt::MouseButtons buttons) {
        const QPointF local = w->bgImage->mapFromGlobal(QPointF(global));
        QMouseEvent e(type, local, QPointF(global), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(w->bgImage, &e);
    };
    const QPoint grab = w->mapToGlobal(QPoint(400, 300));
    send(QEvent::MouseButtonPress, grab, Qt::LeftButton);
    send(QEvent::MouseMove, grab + QPoint(30, 20), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, grab + QPoint(30, 20), Qt::NoButton);
    EXPECT_EQ(w->pos(), start + QPoint(30, 20));

    emit w->MinBtn->clicked();
    EXPECT_TRUE(w->windowState() & Qt::WindowMinimized);
    stop(w);
}

}  // namespace

// Boxes and dialogs ask for their place over the main window themselves: a
// window manager left to place them on its own puts them at the screen's corner.
TEST_F(MainFormTest, BoxesAndDialogsAreCentredOverTheWindow)
{
    auto w = start();
    w->move(20, 10);  // within the test screen, so the box is not pulled back onto it
    QRect placed;
    bool asked = false;
    const auto note = [&](QWidget& box) {
        placed = box.frameGeometry();
        asked = box.testAttribute(Qt::WA_Moved);
    };
    TMessageBoxForm::setModalRunner([&](TMessageBoxForm& box) {
        box.show();
        note(box);
        box.clickButton(MsgButton::OK);
        box.hide();
    });
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            note(*dialog);
            dialog->reject();
        }
    });
    closer.start(20);
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"message box", [&] { emit w->Delete->clicked(); }},  // nothing ticked: the box says so
        {"about", [&] { emit w->About->clicked(); }},
    };
    for (const auto& [name, open] : cases) {
        placed = {};
        asked = false;
        open();
        ASSERT_TRUE(placed.isValid()) << name;
        EXPECT_TRUE(asked) << name;
        EXPECT_LE((placed.center() - w->frameGeometry().center()).manhattanLength(), 3) << name;
    }
    closer.stop();
    stop(w);
}
