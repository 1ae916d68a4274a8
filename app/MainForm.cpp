#include "app/MainForm.h"

#include "app/ChartController.h"
#include "app/DesktopOpener.h"
#include "app/ReportController.h"
#include "app/Configuration.h"
#include "app/MainLayout.h"
#include "app/PanelLayout.h"
#include "app/UpgradeController.h"
#include "app/UploadController.h"
#include "dialogs/DialogPlacement.h"
#include "dialogs/FocusMarks.h"
#include "dialogs/MDAbout.h"
#include "dialogs/MDWelcome.h"
#include "dialogs/MessageBox.h"
#include "dialogs/SkinPicture.h"
#include "dialogs/SkinPictureButton.h"
#include "dialogs/SkinStyle.h"
#include "dialogs/SlotText.h"
#include "lang/TextTable.h"
#include "app/DeviceServices.h"
#include "dialogs/DataListView.h"
#include "store/ProfileFile.h"
#include "store/RecordingLibrary.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QRegion>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

namespace {

// The window region: a rectangle with elliptic corners 13 wide and 12 high.
QRegion RoundedWindowRegion(int width, int height)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, width, height), MainLayout::kCornerEllipseWidth / 2.0,
                        MainLayout::kCornerEllipseHeight / 2.0);
    return QRegion(path.toFillPolygon().toPolygon());
}

// The folder that holds the help documents: beside the program in a build,
// the shared data folder in an installation.
QString DefaultProgramFolder()
{
    const QString bin = QCoreApplication::applicationDirPath() + '/';
    const QString shared = QDir::cleanPath(bin + "../share/talmon-ecg-manager") + '/';
    if (!QFileInfo::exists(bin + "Help_en.pdf") && QFileInfo::exists(shared + "Help_en.pdf"))
        return shared;
    return bin;
}

void WriteKey(const QString& iniPath, const char* key, const QString& value)
{
    ProfileFile(iniPath).writeString(HeartletKey::kSection, key, value);
}

}  // namespace

TECGMain::TECGMain(const StartupState& state, MainWindowOptions options, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), state_(state), options_(std::move(options)),
      ChartColour(state.chartColour)
{
    setObjectName("ECGMain");
    setWindowTitle(kCaption);
    setFont(SkinFont(font(), 8));
    setFixedSize(MainLayout::kWidth, MainLayout::kHeight);
    setMask(RoundedWindowRegion(MainLayout::kWidth, MainLayout::kHeight));
    // The picture commands and findings speak only through their tool tips:
    // show them also while another window is active (or no window manager
    // has made this one active), as the tips name what a picture means.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    if (options_.programFolder.isEmpty())
        options_.programFolder = DefaultProgramFolder();
    if (!options_.openUrl)
        options_.openUrl = [](const QUrl& url) { return OpenWithDesktop(url, SystemDesktopOpener()); };

    PlaceDialogsOverTheirWindows();
    ShowFocusMarksFromTheStart();
    buildWindowControls();
    upload_ = new UploadController(*this, options_.openUrl);
    upgrade_ = new UpgradeController(*this);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TECGMain::MonitorTimer);
}

TECGMain::~TECGMain()
{
    // The worker's steps run on this window's thread: it must not outlive the window.
    if (device_)
        device_->Stop();
}

void TECGMain::applyLeftEdges(const QList<LeftEdge>& edges)
{
    for (const LeftEdge& edge : edges) {
        if (QWidget* w = findChild<QWidget*>(QLatin1String(edge.control)))
            w->move(edge.left, w->y());
    }
}

void TECGMain::FormCreate()
{
    // Chart size: 733 wide, width / 10 * 6 high.
    constexpr int chartHeight = MainLayout::kChartWidth / 10 * 6;
    ECGChart->setFixedSize(MainLayout::kChartWidth, chartHeight);

    applyLeftEdges(FirstLanguagePositions(state_.languageText));
    const auto caption = [](QLabel* label, int slot) {
        ShowSlotText(label, slot, TextSizing::FollowsText);
        label->adjustSize();
    };
    caption(DataListLabel, 0);
    caption(RecordInfoLabel, 1);
    caption(RecordDataLabel, 2);
    caption(HRLabel, 4);
    caption(ConnLabe, 89);

    ECGColor->setLooks(ChartColour == QLatin1String("0") ? "image\\change-ecg color-p.bmp"
                                                         : "image\\change-ecg color-g.bmp",
                       ChartColour == QLatin1String("0") ? "image\\change-ecg color-p1.bmp"
                                                         : "image\\change-ecg color-g1.bmp",
                       ChartColour == QLatin1String("0") ? "image\\change-ecg color-p2.bmp"
                                                         : "image\\change-ecg color-g2.bmp");

    MsgBox = new TMessageBoxForm(this);
    RecordDate->clear();
    RecordDataLabel->clear();
    attachLibrary();
    startDevice();
    runLayoutToggle();
    chart_->ClearChart();

    if (options_.showWelcome) {
        TWelcome welcome(nullptr, options_.welcomeTickMs);
        welcome.exec();
    }

    UnstableImg->hide();
    HeartRate->clear();
    Memo1->clear();
    Memo1->setEnabled(false);
    applyLeftEdges(SecondLanguagePositions(state_.languageText));
    Timer1->start();
}

void TECGMain::setChartColour(const QString& colour)
{
    ChartColour = colour;
}

void TECGMain::runLayoutToggle()
{
    const QString ctl = ProfileFile(state_.paths.heartletIni).readString(HeartletKey::kSection, HeartletKey::kCtl);
    const PanelToggle t = ToggleDataListLayout(ctl, DataList->height());
    applyListHeight(t.listHeight);
    for (QWidget* w : {static_cast<QWidget*>(CtlImg), static_cast<QWidget*>(RecordInfoLabel),
                       static_cast<QWidget*>(ChgImg)})
        w->move(w->x(), w->y() + t.shift);
    FileInfoImage->setPicture(t.fileInfoPicture);
    updateCtlLooks();
    WriteKey(state_.paths.heartletIni, HeartletKey::kCtl, t.marker);
}

void TECGMain::updateCtlLooks()
{
    const CtlLooks looks = CtlLooksFor(DataList->height());
    CtlImg->setLooks(looks.normal, looks.hovered, looks.pressed);
}

void TECGMain::FormClose()
{
    if (closed_)
        return;
    closed_ = true;
    Timer1->stop();
    WriteKey(state_.paths.heartletIni, HeartletKey::kCtl, CtlAtClose(DataList->height()));
    WriteKey(state_.paths.heartletIni, HeartletKey::kColor, ColorAtClose(ChartColour));
    emit closing();
    if (device_)
        device_->Stop();
}

void TECGMain::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();
}

QString TECGMain::helpDocumentPath() const
{
    QString folder = options_.programFolder;
    if (!folder.endsWith('/'))
        folder += '/';
    return folder + (state_.languageId == 1028 ? "Help_tc.pdf" : "Help_en.pdf");
}

// --- Commands ---------------------------------------------------------------

void TECGMain::CloseBtnClick()
{
    close();
}

void TECGMain::MinBtnClick()
{
    showMinimized();
}

void TECGMain::CtlImgClick()
{
    runLayoutToggle();
}

void TECGMain::AboutClick()
{
    TAbout about(this);
    about.exec();
}

void TECGMain::HelpClick()
{
    // The box starts afresh, so the failure message gets its own first title. The
    // same object is kept, so a pointer from messageBox() never dangles.
    MsgBox->setTitle(QString());
    if (!options_.openUrl(QUrl::fromLocalFile(helpDocumentPath())))
        MsgBox->ShowMessageBox(TextOf(170), MsgKind::Information, state_.languageId, {MsgButton::OK});
}

void TECGMain::InternetClick()
{
    options_.openUrl(QUrl(QString::fromLatin1(kHomePage)));
}

void TECGMain::Printer1Click()
{
    report_->Printer1Click();
}

void TECGMain::UploadClick()
{
    upload_->UploadClick();
}

void TECGMain::AccountClick()
{
    upload_->AccountClick();
}

// The viewer controls belong to the chart.
void TECGMain::ZoomInClick()
{
    chart_->ZoomInClick();
}

void TECGMain::ZoomOutClick()
{
    chart_->ZoomOutClick();
}

void TECGMain::RecoverClick()
{
    chart_->RecoverClick();
}

void TECGMain::ECGColorClick()
{
    chart_->ECGColorClick();
}
