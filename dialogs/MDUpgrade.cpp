#include "dialogs/MDUpgrade.h"

#include "device/FirmwareImageFile.h"
#include "device/JobRequest.h"
#include "dialogs/MessageBox.h"
#include "dialogs/PictureFrame.h"
#include "dialogs/SkinPicture.h"
#include "dialogs/SkinPictureButton.h"
#include "dialogs/SkinStyle.h"
#include "dialogs/SkinWindowDrag.h"
#include "dialogs/SlotText.h"
#include "lang/ProgramTexts.h"
#include "lang/TextTable.h"
#include "lang/Words.h"
#include "net/FirmwareMessages.h"
#include "store/AccountSettings.h"

#include <QCloseEvent>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <cmath>

namespace {

constexpr char kImageFile[] = "tmp.rom";
// The firmware job's status text; the recorder's own words, the same in every language.

QString Number(double value)
{
    return QString::number(value, 'g', 15);
}

// What the user can do about a failed firmware job, beside "Firmware upgrade failed.".
QString FlashProblemText(device::JobFailure failure)
{
    using device::JobFailure;
    switch (failure) {
    case JobFailure::NoPermission: return DeviceAccessDeniedText();
    case JobFailure::NotAttached: return TextOf(118);  // "Check that the ECG device is connected."
    case JobFailure::Streaming: return DeviceStreamingText();
    case JobFailure::PageRefused:
    case JobFailure::BlockRefused:
    case JobFailure::VerifyFailed:
        // Written in part: the recorder waits in its boot loader for a whole image.
        return WordOf(Word::UpgradeTakeWholeImage);
    case JobFailure::StillInBootLoader: return WordOf(Word::UpgradeDidNotRestart);
    default: return QString();
    }
}

}  // namespace

TUpgrade::TUpgrade(UpgradeDialogSetup setup, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), setup_(std::move(setup)), jobWatch_(new QTimer(this))
{
    const PictureFrame frame = BuildPictureFrame(this, "Upgrade", {470, 390}, QColor(243, 246, 248),
                                                 "image\\dlg-upgrade.bmp", {18, 8}, {445, 5});
    BGImg = frame.background;
    TitleLabel = frame.title;
    CloseBtn = frame.close;
    connect(CloseBtn, &SkinPictureButton::clicked, this, &TUpgrade::reject);

    const QString bold = QStringLiteral("font-weight: bold; color: rgb(40, 40, 40);");
    HeadLabel1 = MakeDialogLabel(this, "HeadLabel1", {184, 63}, bold);
    HeadLabel2 = MakeDialogLabel(this, "HeadLabel2", {184, 82}, bold);
    HeadLabel3 = MakeDialogLabel(this, "HeadLabel3", {184, 101}, bold);
    ProLabel = MakeDialogLabel(this, "ProLabel", {184, 152}, "font-weight: bold; color: rgb(0, 17, 43);");
    const QString grey = QStringLiteral("color: rgb(60, 60, 60);");
    ProLabel1_1 = MakeDialogLabel(this, "ProLabel1_1", {197, 171}, grey);
    ProLabel1_2 = MakeDialogLabel(this, "ProLabel1_2", {210, 182}, grey);
    ProLabel2_1 = MakeDialogLabel(this, "ProLabel2_1", {197, 209}, grey);
    ProLabel2_2 = MakeDialogLabel(this, "ProLabel2_2", {210, 220}, grey);
    ProLabel3 = MakeDialogLabel(this, "ProLabel3", {197, 247}, grey);
    // The phase above the progress text rather than beside it: "Total size: 65535 / 65535 Byte(s)"
    // needs up to 200 pixels in some languages, more than the 170 right of x = 300.
    lblUpgrade = MakeDialogLabel(this, "lblUpgrade", {189, 282}, grey);
    FileLabel = MakeDialogLabel(this, "FileLabel", {189, 300}, grey);
    CGauge1 = new QProgressBar(this);
    CGauge1->setObjectName("CGauge1");
    CGauge1->setGeometry(189, 319, 252, 21);
    CGauge1->setRange(0, 100);
    CGauge1->setTextVisible(true);
    Upgrade = new QPushButton(this);
    Upgrade->setObjectName("Upgrade");
    Upgrade->setGeometry(295, 360, 66, 22);
    Cancel = new QPushButton(this);
    Cancel->setObjectName("Cancel");
    Cancel->setGeometry(375, 360, 66, 22);
    for (QPushButton* b : {Upgrade, Cancel}) b->setStyleSheet(SkinButtonStyle());
    connect(Upgrade, &QPushButton::clicked, this, &TUpgrade::UpgradeClick);
    connect(Cancel, &QPushButton::clicked, this, &TUpgrade::CancelClick);
    jobWatch_->setInterval(int(device::ButtonWaitStepMs));
    connect(jobWatch_, &QTimer::timeout, this, &TUpgrade::lookAtJob);
    FormCreate();
}

TUpgrade::~TUpgrade()
{
    // The firmware job may outlive the window (a forced end): it must not call into it.
    if (setup_.board) setup_.board->flashProgress = nullptr;
    if (fetch_) {
        fetch_->disconnect(this);
        fetch_->cancel();
    }
    QFile::remove(setup_.settingsFolder + kImageFile);
}

void TUpgrade::FormCreate()
{
    MsgBox = new TMessageBoxForm(this);
    FileLabel->clear();
    lblUpgrade->clear();
    setGauge(0, 0);
    ShowSlotText(TitleLabel, 70, TextSizing::FollowsText);
    const std::pair<QLabel*, int> captions[] = {{HeadLabel1, 60},  {HeadLabel2, 61},  {HeadLabel3, 62},
                                                {ProLabel, 63},    {ProLabel1_1, 64}, {ProLabel1_2, 65},
                                                {ProLabel2_1, 66}, {ProLabel2_2, 67}, {ProLabel3, 68}};
    for (const auto& [label, slot] : captions) {
        ShowSlotText(label, slot, TextSizing::FollowsText);
        label->adjustSize();
    }
    TitleLabel->adjustSize();
    // A sentence's second line sits one text line below its first (11 pixels in the
    // original font; our fonts are a little taller).
    const int lineStep = std::max(11, ProLabel1_1->height());
    ProLabel1_2->move(ProLabel1_2->x(), ProLabel1_1->y() + lineStep);
    ProLabel2_2->move(ProLabel2_2->x(), ProLabel2_1->y() + lineStep);
    // The phase line while downloading (the firmware job's status is the same in every language).
    NoteSlotText(lblUpgrade, firmware::kSlotDownload, TextSizing::FollowsText, QStringLiteral("..."));
    // The progress line at its longest: the firmware job's, with the largest image.
    NoteSlotText(FileLabel, firmware::kSlotTotalSize, TextSizing::FollowsText,
                 ": 65535 / 65535 " + TextOf(firmware::kSlotBytes));
    ShowSlotText(Upgrade, 70, TextSizing::Fixed);
    ShowSlotText(Cancel, 43, TextSizing::Fixed);
    CGauge1->setStyleSheet(QStringLiteral("QProgressBar { border: 1px solid rgb(195, 206, 212); background: white; "
                                          "text-align: center; color: rgb(60, 60, 60); }"
                                          "QProgressBar::chunk { background: rgb(168, 204, 244); }"));
    Upgrade->setEnabled(true);
}

void TUpgrade::showMessage(const QString& text)
{
    MsgBox->ShowMessageBox(text, MsgKind::Information, setup_.languageId, {MsgButton::OK});
}

void TUpgrade::setGauge(double done, double total)
{
    // Never beyond the bar's end, whatever the counters say.
    const double share = total > 0 ? std::floor(done / total * 100.0) : 0.0;
    CGauge1->setValue(static_cast<int>(std::clamp(share, 0.0, 100.0)));
}

bool TUpgrade::refusedWhileStreaming()
{
    // The recorder talks of nothing but its live signal now: the firmware job could not even reach
    // its boot loader, so say so before anything is fetched or asked.
    if (!setup_.board || !setup_.board->stream.Streaming) return false;
    lastJobState_ = device::JobFailed;
    showMessage(TextOf(firmware::kSlotFailed) + "\n" + FlashProblemText(device::JobFailure::Streaming));
    backToIdle();
    return true;
}

void TUpgrade::UpgradeClick()
{
    if (phase_ != Phase::Idle) return;
    if (refusedWhileStreaming()) return;
    phase_ = Phase::Fetching;
    lblUpgrade->setText(TextOf(firmware::kSlotDownload) + QStringLiteral("..."));
    lblUpgrade->adjustSize();
    FileLabel->clear();
    Upgrade->setEnabled(false);
    setGauge(0, 0);

    const AccountSettings stored(setup_.heartletIni);
    firmware::FetchRequest request;
    request.directoryHost = setup_.directoryHost.isEmpty() ? stored.hostName() : setup_.directoryHost;
    request.port = setup_.port;
    request.account = stored.upgradeAccount(request.account);
    request.imagePath = setup_.settingsFolder + kImageFile;
    request.timings = setup_.timings;
    request.resolver = setup_.resolver;
    auto* fetch = new firmware::FirmwareFetch(std::move(request), this);
    fetch_ = fetch;
    connect(fetch, &firmware::FirmwareFetch::progress, this, &TUpgrade::onFetchProgress);
    connect(fetch, &firmware::FirmwareFetch::finished, this, &TUpgrade::onFetched);
    fetch->start();
}

void TUpgrade::onFetchProgress(qint64 downloaded, quint32 size)
{
    FileLabel->setText(TextOf(firmware::kSlotSize) + ": " + Number(double(downloaded)) + " / " + QString::number(size) +
                       " " + TextOf(firmware::kSlotBytes));
    FileLabel->adjustSize();
    setGauge(double(downloaded), double(size));
}

void TUpgrade::onFetched(const firmware::FetchOutcome& outcome)
{
    if (fetch_) fetch_->deleteLater();
    fetch_ = nullptr;
    const QString imagePath = setup_.settingsFolder + kImageFile;
    if (!outcome.ok()) {
        QFile::remove(imagePath);
        const upload::MessageRef m = firmware::MessageFor(outcome);
        if (!m.none()) showMessage(m.slot >= 0 ? TextOf(m.slot) : m.english);
        return backToIdle();
    }
    const device::FirmwareImageFile check = device::ReadFirmwareImageFile(imagePath);
    // The image is in memory now; the file has served its purpose.
    QFile::remove(imagePath);
    if (!check.ok()) {
        showMessage(TextOf(check.result == device::FirmwareImageFile::Result::OpenFailed ? firmware::kSlotOpenError
                                                                                         : firmware::kSlotFormatError));
        return backToIdle();
    }
    if (refusedWhileStreaming()) return;
    phase_ = Phase::Asking;
    // Asked as every question of the manager is, with its title and picture: the
    // confirmation kind keeps the box's picture as it was, none in a new box, and
    // its title stays on the box for the messages after it.
    const std::uint8_t answer = MsgBox->ShowMessageBox(TextOf(firmware::kSlotAskUpgrade), MsgKind::Information,
                                                       setup_.languageId, {MsgButton::OK, MsgButton::Cancel});
    // Closed while the question was open: the user has left, nothing is written.
    if (phase_ != Phase::Asking) return;
    if (answer != 1) return backToIdle();
    handOver(check.image);
}

void TUpgrade::handOver(const device::protocol::FirmwareImage& image)
{
    device::DeviceJobBoard* board = setup_.board;
    // A request from inside a device step could never start its job.
    if (!board || board->stepRunning) {
        lastJobState_ = device::JobFailed;
        showMessage(TextOf(firmware::kSlotFailed));
        return backToIdle();
    }
    phase_ = Phase::Flashing;
    Upgrade->setEnabled(false);
    Cancel->setEnabled(false);
    CloseBtn->setEnabled(false);
    board->firmwareImage = image;
    board->flash = device::FlashCounters{0, double(image.length), false};
    board->flashProgress = [this] { showFlashProgress(); };
    board->cancelRequest = false;
    ticket_ = device::PostJob(*board, device::FlashJobCode);
    jobWatch_->start();
}

void TUpgrade::showFlashProgress()
{
    const device::FlashCounters& c = setup_.board->flash;
    if (const QString status = WordOf(Word::UpgradeFlashing); lblUpgrade->text() != status) {
        lblUpgrade->setText(status);
        lblUpgrade->adjustSize();
    }
    FileLabel->setText(TextOf(firmware::kSlotTotalSize) + ": " + Number(c.bytesDone) + " / " + Number(c.bytesTotal) +
                       " " + TextOf(firmware::kSlotBytes));
    FileLabel->adjustSize();
    setGauge(c.bytesDone, c.bytesTotal);
}

void TUpgrade::lookAtJob()
{
    // Only the end of this window's own request counts.
    const std::optional<device::JobEnd> end = device::EndOf(*setup_.board, ticket_);
    if (!end) return;
    const std::uint8_t state = end->state;
    jobWatch_->stop();
    setup_.board->flashProgress = nullptr;
    // A job refused before it ran (the live stream) leaves the image behind; no later job may take it.
    setup_.board->firmwareImage.reset();
    lastJobState_ = state;
    if (state == device::JobSucceeded) {
        showMessage(TextOf(firmware::kSlotCompleted));
        phase_ = Phase::Idle;
        accept();
        return;
    }
    QString text = TextOf(state == device::JobFailed ? firmware::kSlotFailed : firmware::kSlotCancelled);
    if (const QString why = FlashProblemText(end->failure); state == device::JobFailed && !why.isEmpty())
        text += "\n" + why;
    showMessage(text);
    backToIdle();
}

void TUpgrade::backToIdle()
{
    phase_ = Phase::Idle;
    Upgrade->setEnabled(true);
    Cancel->setEnabled(true);
    CloseBtn->setEnabled(true);
}

void TUpgrade::CancelClick()
{
    reject();
}

void TUpgrade::reject()
{
    // The recorder is being written: leaving now could leave it without firmware.
    if (phase_ == Phase::Flashing) return;
    if (fetch_) {
        // Ends the download at once; nothing has been handed to the recorder.
        fetch_->disconnect(this);
        fetch_->cancel();
        fetch_->deleteLater();
        fetch_ = nullptr;
    }
    QFile::remove(setup_.settingsFolder + kImageFile);
    phase_ = Phase::Idle;
    QDialog::reject();
}

void TUpgrade::closeEvent(QCloseEvent* event)
{
    if (phase_ == Phase::Flashing) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}
