#include "dialogs/MDDownload.h"

#include "device/DownloadSequence.h"
#include "device/JobRequest.h"
#include "dialogs/DownloadReport.h"
#include "dialogs/MessageBox.h"
#include "dialogs/PictureFrame.h"
#include "dialogs/SkinPicture.h"
#include "dialogs/SkinPictureButton.h"
#include "dialogs/SkinStyle.h"
#include "dialogs/SkinWindowDrag.h"
#include "art/Pictures.h"
#include "dialogs/SlotText.h"
#include "lang/TextTable.h"
#include "lang/Words.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPointer>
#include <QPushButton>

namespace {

constexpr int kWidth = 440;
constexpr int kHeight = 330;
// The gauge's light blue (blue 244, green 204, red 168).
const char* const kGaugeStyle =
    "QProgressBar { border: 1px solid rgb(160, 178, 190); background: white; text-align: center; }"
    "QProgressBar::chunk { background: rgb(168, 204, 244); }";

QLabel* MakeLabel(QWidget* parent, const char* name, int x, int y)
{
    return MakeDialogLabel(parent, name, {x, y}, "color: rgb(60, 60, 60);");
}

}  // namespace

TDownload::TDownload(device::DeviceJobBoard& board, device::DeviceEnvironment& env, int languageId, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), board_(board), env_(env), languageId_(languageId)
{
    const PictureFrame frame =
        BuildPictureFrame(this, "Download", {kWidth, kHeight}, QColor(243, 246, 248),
                          languageId == 1036 ? "image\\fdownload.bmp" : "image\\dlg-download.bmp", {18, 7},
                          {kWidth - 23, 5});
    BGImg = frame.background;
    TitleLabel = frame.title;
    CloseBtn = frame.close;
    connect(CloseBtn, &SkinPictureButton::clicked, this, &TDownload::CancelClick);

    DeviceIDLabel = MakeLabel(this, "DeviceIDLabel", 20, 40);
    TotalFileLabel = MakeLabel(this, "TotalFileLabel", 20, 60);
    TotalSizeLabel = MakeLabel(this, "TotalSizeLabel", languageId == 1036 ? 235 : 200, 60);

    DataList = new QListWidget(this);
    DataList->setObjectName("DataList");
    DataList->setGeometry(20, 82, 400, 142);
    DataList->setIconSize(QSize(16, 16));
    DataList->setSelectionMode(QAbstractItemView::SingleSelection);
    DataList->setAccessibleName(TextOf(0));

    CGauge1 = new QProgressBar(this);
    CGauge1->setObjectName("CGauge1");
    CGauge1->setGeometry(20, 234, 400, 16);
    CGauge1->setRange(0, 100);
    CGauge1->setStyleSheet(kGaugeStyle);

    FileLabel = MakeLabel(this, "FileLabel", 20, 256);
    AutoDel = new QCheckBox(this);
    AutoDel->setObjectName("AutoDel");
    AutoDel->move(18, 276);

    OK = new QPushButton(this);
    OK->setObjectName("OK");
    Cancel = new QPushButton(this);
    Cancel->setObjectName("Cancel");
    OK->setGeometry(languageId == 1032 ? 253 : 262, 298, languageId == 1032 ? 74 : 76, 24);
    Cancel->setGeometry(languageId == 1032 ? 335 : 344, 298, languageId == 1032 ? 74 : 76, 24);
    OK->setStyleSheet(SkinButtonStyle());
    Cancel->setStyleSheet(SkinButtonStyle());
    connect(OK, &QPushButton::clicked, this, &TDownload::OKClick);
    connect(Cancel, &QPushButton::clicked, this, &TDownload::CancelClick);

    MsgBox = new TMessageBoxForm(this);
    FormCreate();
    // The keyboard starts on what the window is for, not in its list, empty until the download.
    (OK->isEnabled() ? OK : Cancel)->setFocus();
    board_.downloadProgress = [this] { showProgress(); };
}

TDownload::~TDownload()
{
    board_.downloadProgress = nullptr;
}

void TDownload::FormCreate()
{
    FileLabel->clear();
    // Empty, the progress line keeps no room: at a label's first size it would
    // reach down over the delete option's line.
    FileLabel->adjustSize();
    board_.download = device::DownloadCounters{};
    const auto& info = board_.infoBlock;
    count_ = device::protocol::RecordCount(info);
    ShowSlotText(TotalFileLabel, 36, TextSizing::FollowsText, " : " + QString::number(count_));
    ShowSlotText(TotalSizeLabel, 37, TextSizing::FollowsText, " : " + QString::number(info.bytesStored) + " " + TextOf(40));
    ShowSlotText(DeviceIDLabel, 51, TextSizing::FollowsText,
                 " : " + QString::fromStdString(device::protocol::DeviceIdText(info.deviceId)));
    ShowSlotText(AutoDel, 41, TextSizing::FollowsText);
    ShowSlotText(OK, 17, TextSizing::Fixed);
    ShowSlotText(TitleLabel, 17, TextSizing::FollowsText);
    ShowSlotText(Cancel, 43, TextSizing::Fixed);
    // The progress line at its longest: the last recording of all, every byte done.
    const QString all = QString::number(count_);
    const QString bytes = QString::number(info.bytesStored);
    NoteSlotText(FileLabel, 38, TextSizing::FollowsText,
                 ": " + all + " / " + all + "     " + TextOf(39) + ": " + bytes + " / " + bytes + " " + TextOf(40));
    for (QLabel* l : {TitleLabel, DeviceIDLabel, TotalFileLabel, TotalSizeLabel})
        l->adjustSize();
    AutoDel->adjustSize();
    DataList->clear();
    // An absurd count gets no rows: it is refused, not allocated.
    if (count_ > device::MaxDownloadRecordings) {
        OK->setEnabled(false);
        FileLabel->setText(WordOf(Word::DownloadTooManyListed).arg(count_));
        FileLabel->adjustSize();
        return;
    }
    for (std::uint32_t i = 0; i <= count_; ++i)
        DataList->addItem(QString());
    OK->setEnabled(count_ > 0);
}

void TDownload::showProgress()
{
    const device::DownloadCounters& c = board_.download;
    const device::DownloadResult& r = c.result;
    static const QPixmap done = LoadPicture("image\\Upload-ic02.bmp");
    static const QPixmap failed = LoadPicture("image\\inMain_ic-warry.bmp").scaled(16, 16, Qt::KeepAspectRatio,
                                                                                  Qt::SmoothTransformation);
    // Rows before the first one still open are final and shown already.
    const std::size_t rows = std::min<std::size_t>(r.rows.size(), static_cast<std::size_t>(DataList->count()));
    for (std::size_t i = settledRows_; i < rows; ++i) {
        const device::DownloadRow& row = r.rows[i];
        if (row.path.isEmpty() && row.outcome == device::RecordingOutcome::Waiting)
            break;
        QListWidgetItem* item = DataList->item(static_cast<int>(i));
        item->setText(DownloadRowText(row));
        if (row.outcome == device::RecordingOutcome::Waiting)
            break;
        item->setIcon(QIcon(device::IsSafelyStored(row.outcome) ? done : failed));
        if (settledRows_ == i && static_cast<std::int32_t>(i) < c.recordIndex)
            settledRows_ = i + 1;
    }
    const int index = c.recordIndex;
    if (index >= 0 && index < DataList->count()) {
        DataList->setCurrentRow(index);
        DataList->scrollToItem(DataList->item(index));
    }
    CGauge1->setValue(c.bytesTotal > 0 ? static_cast<int>(c.bytesDone / c.bytesTotal * 100) : 0);
    FileLabel->setText(TextOf(38) + ": " + QString::number(index + 1) + " / " + QString::number(c.recordCount) +
                       "     " + TextOf(39) + ": " + QString::number(static_cast<qint64>(c.bytesDone)) + " / " +
                       QString::number(static_cast<qint64>(c.bytesTotal)) + " " + TextOf(40));
    FileLabel->adjustSize();
}

void TDownload::showMessage(const QString& text)
{
    MsgBox->ShowMessageBox(text, MsgKind::Information, languageId_, {MsgButton::OK});
}

void TDownload::OKClick()
{
    if (busy_)
        return;
    // Pressed while a device step runs (the arrival read after a hot-plug event, whose transfers
    // pump messages): the download could only start once that step is over, which a wait here
    // would prevent. The press goes back to the message loop until the step has ended.
    if (board_.stepRunning) {
        if (!deferred_) {
            deferred_ = true;
            OK->setEnabled(false);
            env_.Post([self = QPointer<TDownload>(this)] {
                if (!self || !self->deferred_)
                    return;  // closed meanwhile
                self->deferred_ = false;
                self->OKClick();
            });
        }
        return;
    }
    busy_ = true;
    OK->setEnabled(false);
    AutoDel->setEnabled(false);
    if (DataList->count() > 0)
        DataList->item(0)->setText(QString());
    switch (device::DownloadThenErase(board_, env_, AutoDel->isChecked())) {
    case device::DownloadClose::Downloaded: showMessage(TextOf(121)); break;
    case device::DownloadClose::Erased: showMessage(TextOf(119)); break;
    case device::DownloadClose::EraseFailed:
        showMessage(TextOf(120) + "\n" + EraseRefusalText(board_.eraseRefusal));
        break;
    case device::DownloadClose::NotComplete: {
        const QString why = DownloadProblemText(board_.download.result);
        showMessage(why.isEmpty() ? TextOf(122) : TextOf(122) + "\n" + why);
        OK->setEnabled(count_ > 0);
        AutoDel->setEnabled(true);
        while (board_.JobState == device::JobCancelled)
            device::PumpingSleep(env_, device::ButtonWaitStepMs);
        break;
    }
    }
    busy_ = false;
    QDialog::reject();
}

void TDownload::CancelClick()
{
    if (busy_) {
        // The job runs below this click (its transfers pump messages): it sees the request before its
        // next recording, and the dialog closes once it has stopped.
        board_.cancelRequest = true;
        if (board_.JobState == device::JobRunning) {
            board_.JobState = device::JobCancelled;
            board_.RequestedJob = device::NoJob;
        }
        return;
    }
    deferred_ = false;  // a press still waiting for a device step is dropped with the dialog
    QDialog::reject();
}

void TDownload::reject()
{
    // Escape and the window manager's close behave as Cancel.
    CancelClick();
}
