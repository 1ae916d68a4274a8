// Building the main window's controls from the layout tables.
#include "app/MainForm.h"
#include "app/MainLayout.h"
#include "app/PanelLayout.h"
#include "dialogs/SkinPicture.h"
#include "dialogs/SkinPictureButton.h"
#include "dialogs/SkinStyle.h"
#include "dialogs/SkinWindowDrag.h"
#include "lang/TextTable.h"
#include "lang/Words.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QShortcut>
#include <QTreeWidget>

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, QPoint pos, int pointSize, bool bold, bool black,
                  const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(SkinFont(parent->font(), pointSize, bold));
    const QColor c = black ? QColor(Qt::black) : MainLayout::kLabelGrey;
    label->setStyleSheet(QString("color: %1; background: transparent;").arg(c.name()));
    label->move(pos);
    label->adjustSize();
    return label;
}

}  // namespace

void TECGMain::buildWindowControls()
{
    using namespace MainLayout;
    bgImage = new SkinPicture(this, QColor(226, 232, 238));
    bgImage->setObjectName("bgImage");
    bgImage->setGeometry(0, 0, kWidth, kHeight);
    bgImage->setPicture("image\\mainBG.bmp");
    EnableWindowDrag(bgImage, this);

    for (const Picture& p : WindowPictures()) {
        auto* picture = new SkinPicture(this, QColor(0, 0, 0, 0));
        picture->setObjectName(QLatin1String(p.name));
        picture->setGeometry(p.rect);
        picture->setPicture(QString::fromLatin1(p.picture));
        picture->setVisible(p.visible);
    }
    for (const PictureButton& b : WindowPictureButtons()) {
        auto* button = new SkinPictureButton(this);
        button->setObjectName(QLatin1String(b.name));
        button->setGeometry(b.rect);
        button->setLooksFrom(QString::fromLatin1(b.normalLook));
        button->setVisible(b.visible);
    }
    for (const Label& l : WindowLabels())
        MakeLabel(this, l.name, l.pos, l.pointSize, l.bold, l.black, QString::fromUtf8(l.text));
    for (const CommandButton& c : CommandButtons()) {
        auto* button = new SkinPictureButton(this);
        button->setObjectName(QLatin1String(c.name));
        button->setGeometry(c.left, kCommandTop, kCommandSize, kCommandSize);
        button->setLooksFrom(QString::fromLatin1(c.normalLook));
        button->setToolTipSlot(c.toolTipSlot);
        button->setVisible(c.visible);
    }

    const auto picture = [this](const char* name) { return control<SkinPicture>(name); };
    const auto button = [this](const char* name) { return control<SkinPictureButton>(name); };
    const auto label = [this](const char* name) { return control<QLabel>(name); };
    LeadImage = picture("LeadImage");
    ECGChart1 = picture("ECGChart1");
    ECGChart2 = picture("ECGChart2");
    ECGChart3 = picture("ECGChart3");
    ECGChart4 = picture("ECGChart4");
    Connected = picture("Connected");
    HRImage = picture("HRImage");
    UnstableImg = picture("UnstableImg");
    OK = picture("OK");
    Slow = picture("Slow");
    Fast = picture("Fast");
    Pause = picture("Pause");
    Rhythm = picture("Rhythm");
    Waveform = picture("Waveform");
    CloseBtn = button("CloseBtn");
    MinBtn = button("MinBtn");
    Internet = button("Internet");
    ZoomOut = button("ZoomOut");
    ZoomIn = button("ZoomIn");
    Recover = button("Recover");
    ECGColor = button("ECGColor");
    Download = button("Download");
    Settings = button("Settings");
    Printer1 = button("Printer1");
    About = button("About");
    Delete = button("Delete");
    Upload = button("Upload");
    Help = button("Help");
    Account = button("Account");
    RecordDataLabel = label("RecordDataLabel");
    RecordDate = label("RecordDate");
    ConnLabe = label("ConnLabe");
    HRLabel = label("HRLabel");
    HeartRate = label("HeartRate");
    bpmLabel = label("bpmLabel");
    DeviceIDLabel = label("DeviceIDLabel");
    DeviceIDLabel->hide();
    nameWindowPictures();

    buildScrollBox();
    buildShowPanel();
    buildEngineeringControls();
    orderTabStops();

    connect(CloseBtn, &SkinPictureButton::clicked, this, &TECGMain::CloseBtnClick);
    connect(MinBtn, &SkinPictureButton::clicked, this, &TECGMain::MinBtnClick);
    connect(Internet, &SkinPictureButton::clicked, this, &TECGMain::InternetClick);
    connect(ZoomIn, &SkinPictureButton::clicked, this, &TECGMain::ZoomInClick);
    connect(ZoomOut, &SkinPictureButton::clicked, this, &TECGMain::ZoomOutClick);
    connect(Recover, &SkinPictureButton::clicked, this, &TECGMain::RecoverClick);
    connect(ECGColor, &SkinPictureButton::clicked, this, &TECGMain::ECGColorClick);
    connect(Download, &SkinPictureButton::clicked, this, &TECGMain::DownloadClick);
    connect(Settings, &SkinPictureButton::clicked, this, &TECGMain::SettingsClick);
    connect(Printer1, &SkinPictureButton::clicked, this, &TECGMain::Printer1Click);
    connect(About, &SkinPictureButton::clicked, this, &TECGMain::AboutClick);
    connect(Delete, &SkinPictureButton::clicked, this, &TECGMain::DeleteClick);
    connect(Upload, &SkinPictureButton::clicked, this, &TECGMain::UploadClick);
    connect(Help, &SkinPictureButton::clicked, this, &TECGMain::HelpClick);
    new QShortcut(QKeySequence::HelpContents, this, this, &TECGMain::HelpClick);  // F1
    connect(Account, &SkinPictureButton::clicked, this, &TECGMain::AccountClick);
}

// Names for assistive technology: what each picture shows, in the window's
// language; pictures that only decorate are marked so.
void TECGMain::nameWindowPictures()
{
    for (SkinPicture* decoration : {bgImage, LeadImage, ECGChart1, ECGChart2, HRImage})
        decoration->markDecorative();
    ECGChart3->setAccessibleName(TextOf(82));  // "Unit: Seconds"
    Connected->setAccessibleName(TextOf(18));  // "Disconnected" until the recorder is seen
    UnstableImg->setAccessibleName(TextOf(77));
    CloseBtn->setAccessibleName(WordOf(Word::WindowClose));
    MinBtn->setAccessibleName(WordOf(Word::WindowMinimise));
    Internet->setAccessibleName(TextOf(26));
    OK->setAccessibleName(WordOf(Word::FindingNormal));
    const std::pair<SkinPicture*, int> findings[] = {{Slow, 5}, {Fast, 6}, {Pause, 7}, {Rhythm, 8}, {Waveform, 9}};
    for (const auto& [picture, slot] : findings) picture->setAccessibleName(TextOf(slot));
}

// Tab goes through the window as it reads: the data list and its note, the chart's
// controls, the command row from left to right, and the title bar's own buttons
// last. The keyboard starts in the data list: on the close button, where creation
// order would put it, the first Enter or Space would end the program.
void TECGMain::orderTabStops()
{
    QWidget* const order[] = {DataList, CtlImg,   Memo1,    ZoomOut,  ZoomIn,   Recover,  ECGColor,
                              Account,  Upload,   Help,     Download, Settings, Printer1, About,
                              Delete,   Internet, MinBtn,   CloseBtn};
    for (std::size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    DataList->setFocus(Qt::OtherFocusReason);
}

void TECGMain::buildScrollBox()
{
    using namespace MainLayout;
    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName("ScrollBox1");
    ScrollBox1->setAccessibleName(TextOf(113));  // "Electrocardiograph": the chart
    ScrollBox1->setGeometry(kScrollBox1);
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    ScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ScrollBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Its content is exactly its size, so there is never anything to scroll: as a Tab
    // stop it would only hold the keyboard's focus where no mark can show it.
    ScrollBox1->setFocusPolicy(Qt::NoFocus);
    auto* content = new QWidget;
    content->setObjectName("ScrollBox1Content");
    content->setAutoFillBackground(true);
    QPalette white = content->palette();
    white.setColor(QPalette::Window, Qt::white);  // the scroll box's window colour
    content->setPalette(white);
    content->setFixedSize(kScrollBox1.size());
    mVImage = new QLabel(content);
    mVImage->setObjectName("mVImage");
    mVImage->setGeometry(kMVImage);
    ECGChart = new QLabel(content);
    ECGChart->setObjectName("ECGChart");
    ECGChart->setGeometry(kECGChart);
    EnableWindowDrag(ECGChart, this);  // a press on the chart moves the window, as on the background
    ScrollBox1->setWidget(content);
}

void TECGMain::buildShowPanel()
{
    using namespace MainLayout;
    ShowPanel = new QWidget(this);
    ShowPanel->setObjectName("ShowPanel");
    ShowPanel->setGeometry(kShowPanel);
    ShowPanel->setAutoFillBackground(true);

    DataListImage = new SkinPicture(ShowPanel, QColor(70, 96, 120));
    DataListImage->setObjectName("DataListImage");
    DataListImage->markDecorative();
    DataListImage->setGeometry(kDataListImage);
    DataListImage->setPicture("image\\Tree-tit01.bmp");
    DataListLabel = MakeLabel(ShowPanel, "DataListLabel", kDataListLabel, 8, true, true, "Data list");

    DataList = new QTreeWidget(ShowPanel);
    DataList->setObjectName("DataList");
    DataList->setAccessibleName(TextOf(0));
    DataList->setGeometry(0, kDataListImage.height(), kShowPanel.width(), PanelLayout::kDesignListHeight);
    DataList->setHeaderHidden(true);
    DataList->setIndentation(23);
    DataList->setIconSize(QSize(20, 20));
    DataList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DataList->setFrameShape(QFrame::NoFrame);
    DataList->setContextMenuPolicy(Qt::CustomContextMenu);
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    // The menu item keeps its layout caption in every language.
    MenuDelete = PopupMenu1->addAction(QStringLiteral("Delete"));
    MenuDelete->setObjectName("MenuDelete");
    connect(DataList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(DataList->viewport()->mapToGlobal(at)); });

    FileInfoImage = new SkinPicture(ShowPanel, QColor(70, 96, 120));
    FileInfoImage->setObjectName("FileInfoImage");
    FileInfoImage->markDecorative();
    FileInfoImage->setPicture("image\\Tree-tit02-2.bmp");
    RecordInfoLabel =
        MakeLabel(ShowPanel, "RecordInfoLabel", kRecordInfoLabel, 8, true, false, "Data set information");

    CtlImg = new SkinPictureButton(ShowPanel);
    CtlImg->setObjectName("CtlImg");
    CtlImg->setAccessibleName(WordOf(Word::DataListSize));
    CtlImg->setGeometry(kCtlImg);
    connect(CtlImg, &SkinPictureButton::clicked, this, &TECGMain::CtlImgClick);
    ChgImg = new SkinPicture(ShowPanel, QColor(0, 0, 0, 0));
    ChgImg->setObjectName("ChgImg");
    ChgImg->markDecorative();
    ChgImg->setGeometry(kChgImg);
    ChgImg->hide();

    Memo1 = new QPlainTextEdit(ShowPanel);
    Memo1->setObjectName("Memo1");
    Memo1->setAccessibleName(TextOf(1));
    Memo1->setFrameShape(QFrame::NoFrame);

    applyListHeight(PanelLayout::kDesignListHeight);
    updateCtlLooks();
}

void TECGMain::applyListHeight(int listHeight)
{
    using namespace MainLayout;
    const int title = kDataListImage.height();
    DataList->setFixedHeight(listHeight);
    FileInfoImage->setGeometry(0, title + listHeight, kShowPanel.width(), title);
    Memo1->setGeometry(0, 2 * title + listHeight, kShowPanel.width(),
                       std::max(0, kShowPanel.height() - 2 * title - listHeight));
    // The caption and the toggle lie on the title picture, above it in z-order.
    RecordInfoLabel->raise();
    CtlImg->raise();
}
