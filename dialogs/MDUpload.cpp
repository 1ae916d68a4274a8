#include "dialogs/MDUpload.h"

#include "art/Pictures.h"
#include "dialogs/MDIdpwd.h"
#include "dialogs/MessageBox.h"
#include "dialogs/PictureFrame.h"
#include "dialogs/SkinPicture.h"
#include "dialogs/SkinPictureButton.h"
#include "dialogs/SkinStyle.h"
#include "dialogs/SkinWindowDrag.h"
#include "dialogs/SlotText.h"
#include "lang/TextTable.h"
#include "net/UploadFileActions.h"
#include "net/UploadMessages.h"
#include "net/UploadSession.h"
#include "store/AccountSettings.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>

namespace {

// Sizes print in the shortest general form: whole numbers without decimals.
QString SizeText(double bytes)
{
    return QString::number(bytes, 'g', 15);
}

}  // namespace

TUpload::TUpload(UploadDialogSetup setup, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), setup_(std::move(setup))
{
    const PictureFrame frame = BuildPictureFrame(this, "Upload", {416, 330}, QColor(236, 241, 245),
                                                 "image\\dlg-upload.bmp", {18, 8}, {393, 5});
    BGImg = frame.background;
    TitleLabel = frame.title;
    CloseBtn = frame.close;
    connect(CloseBtn, &SkinPictureButton::clicked, this, &TUpload::reject);

    const QString grey = QStringLiteral("color: rgb(80, 80, 80);");
    TotalFileLabel = MakeDialogLabel(this, "TotalFileLabel", {85, 96}, grey);
    TotalSizeLabel = MakeDialogLabel(this, "TotalSizeLabel", {178, 96}, grey);
    DataList = new QTreeWidget(this);
    DataList->setObjectName("DataList");
    DataList->setGeometry(72, 112, 273, 84);
    DataList->setColumnCount(1);
    DataList->setHeaderHidden(true);
    DataList->setRootIsDecorated(false);
    DataList->setIconSize(QSize(16, 16));
    DataList->header()->resizeSection(0, 245);
    DataList->setFocusPolicy(Qt::NoFocus);
    AutoDel = new QCheckBox(this);
    AutoDel->setObjectName("AutoDel");
    AutoDel->setGeometry(72, 202, 212, 17);
    AutoDel->setChecked(true);
    FileLabel = MakeDialogLabel(this, "FileLabel", {140, 230}, grey);
    CGauge1 = new QProgressBar(this);
    CGauge1->setObjectName("CGauge1");
    CGauge1->setGeometry(72, 247, 273, 21);
    CGauge1->setRange(0, 100);
    CGauge1->setValue(0);
    CGauge1->setTextVisible(true);
    OK = new QPushButton(this);
    OK->setObjectName("OK");
    OK->setGeometry(255, 300, 66, 22);
    Cancel = new QPushButton(this);
    Cancel->setObjectName("Cancel");
    Cancel->setGeometry(327, 300, 66, 22);
    for (QPushButton* b : {OK, Cancel}) b->setStyleSheet(SkinButtonStyle());
    connect(OK, &QPushButton::clicked, this, &TUpload::OKClick);
    connect(Cancel, &QPushButton::clicked, this, &TUpload::CancelClick);
    FormCreate();
}

TUpload::~TUpload()
{
    // The session is a child and goes with the dialog; nothing of it calls back.
    if (session_) session_->disconnect(this);
}

bool TUpload::running() const
{
    return session_ && session_->running();
}

void TUpload::FormCreate()
{
    MsgBox = new TMessageBoxForm(this);
    FileLabel->clear();
    DataList->clear();
    new QTreeWidgetItem(DataList, QStringList{QString()});
    const QIcon waiting(LoadPicture("image\\Upload-ic01.bmp"));
    totalSize_ = 0;
    for (const QString& path : setup_.recordings) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) totalSize_ += static_cast<double>(file.size());
        auto* row = new QTreeWidgetItem(DataList, QStringList{TextOf(38) + TextOf(44) + ": " + path.right(20)});
        row->setIcon(0, waiting);
    }
    ShowSlotText(TotalFileLabel, 36, TextSizing::FollowsText, " : " + QString::number(setup_.recordings.size()));
    ShowSlotText(TotalSizeLabel, 37, TextSizing::FollowsText, " : " + SizeText(totalSize_) + " " + TextOf(40));
    ShowSlotText(TitleLabel, 16, TextSizing::FollowsText);
    ShowSlotText(OK, 16, TextSizing::Fixed);
    ShowSlotText(Cancel, 43, TextSizing::Fixed);
    ShowSlotText(AutoDel, 42, TextSizing::Fixed);
    // The progress line at its longest: the last recording, every byte sent.
    const QString all = QString::number(setup_.recordings.size());
    NoteSlotText(FileLabel, 38, TextSizing::FollowsText,
                 all + " / " + all + "     " + TextOf(39) + ": " + SizeText(totalSize_) + " / " + SizeText(totalSize_) +
                     " " + TextOf(40));
    CGauge1->setStyleSheet(QStringLiteral("QProgressBar { border: 1px solid rgb(195, 206, 212); background: white; "
                                          "text-align: center; color: rgb(60, 60, 60); }"
                                          "QProgressBar::chunk { background: rgb(168, 204, 244); }"));
    OK->setEnabled(!setup_.recordings.isEmpty());
    for (QLabel* l : {TitleLabel, TotalFileLabel, TotalSizeLabel}) l->adjustSize();
    // A count of ten or more in a long language pushes the size along rather than running into it.
    TotalSizeLabel->move(std::max(178, TotalFileLabel->geometry().right() + 9), TotalSizeLabel->y());
}

void TUpload::showMessage(const QString& text, bool withCancel, int* answer)
{
    const MsgButtons buttons = withCancel ? MsgButtons{MsgButton::OK, MsgButton::Cancel} : MsgButtons{MsgButton::OK};
    const int result = MsgBox->ShowMessageBox(text, MsgKind::Information, setup_.languageId, buttons);
    if (answer) *answer = result;
}

void TUpload::enableButtons(bool autoDel)
{
    OK->setEnabled(!setup_.recordings.isEmpty());
    Cancel->setEnabled(true);
    if (autoDel) AutoDel->setEnabled(true);
}

std::optional<std::pair<QString, QString>> TUpload::askAccount()
{
    if (setup_.askAccount) return setup_.askAccount();
    TIdPwd dialog(setup_.heartletIni, setup_.openUrl, this);
    dialog.exec();
    if (dialog.accountDialogResult() != 1) return std::nullopt;
    return std::make_pair(dialog.enteredAccount(), dialog.enteredPassword());
}

void TUpload::OKClick()
{
    if (running()) return;
    uploadAttempted_ = true;
    removeEntries_ = false;
    sentCount_ = 0;
    unreadable_.clear();
    noteReplaced_ = false;
    OK->setEnabled(false);
    Cancel->setEnabled(false);
    AutoDel->setEnabled(false);

    const AccountSettings stored(setup_.heartletIni);
    upload::Request request;
    request.account = stored.account();
    request.password = stored.password();
    if (AccountSettings::Missing(request.account) || AccountSettings::Missing(request.password)) {
        const auto entered = askAccount();
        if (!entered) {
            // The option stays off until the dialog is opened anew.
            enableButtons(false);
            return;
        }
        std::tie(request.account, request.password) = *entered;
    }
    request.directoryHost =
        setup_.directoryHost.isEmpty() ? stored.hostName() : setup_.directoryHost;
    request.port = setup_.port;
    // A recording an earlier try delivered and deleted is not offered again:
    // it is at the service, and its missing file is no failure of this try.
    runRows_.clear();
    for (int i = 0; i < setup_.recordings.size(); ++i) {
        const QString& path = setup_.recordings[i];
        if (delivered_.contains(path) && !QFile::exists(path)) continue;
        request.recordings << path;
        runRows_.push_back(i);
    }
    request.languageId = setup_.languageId;
    request.timings = setup_.timings;
    request.resolver = setup_.resolver;

    auto* session = new upload::UploadSession(std::move(request), this);
    session_ = session;
    const QString iniPath = setup_.heartletIni;
    connect(session, &upload::UploadSession::accountServerReached, this, [iniPath](const QString& address) {
        AccountSettings(iniPath).rememberHostIp(address);
    });
    connect(session, &upload::UploadSession::overwriteQuestion, this, &TUpload::onOverwriteQuestion);
    connect(session, &upload::UploadSession::pieceSent, this, &TUpload::onPiece);
    connect(session, &upload::UploadSession::turnEnded, this, &TUpload::onTurnEnded);
    connect(session, &upload::UploadSession::fileSettled, this, &TUpload::onSettled);
    connect(session, &upload::UploadSession::finished, this, &TUpload::onFinished);
    session->start();
}

int TUpload::rowOf(int runIndex) const
{
    return runIndex >= 0 && runIndex < static_cast<int>(runRows_.size()) ? runRows_[runIndex] : runIndex;
}

void TUpload::onPiece(int runIndex, qint64 bytes)
{
    const int index = rowOf(runIndex);
    const int n = static_cast<int>(setup_.recordings.size());
    sentCount_ += static_cast<double>(bytes);
    FileLabel->setText(TextOf(38) + QString::number(index + 1) + " / " + QString::number(n) + "     " + TextOf(39) +
                       ": " + SizeText(sentCount_) + " / " + SizeText(totalSize_) + " " + TextOf(40));
    FileLabel->adjustSize();
    if (QTreeWidgetItem* row = DataList->topLevelItem(index + 1)) {
        DataList->setCurrentItem(row);
        DataList->scrollToItem(row, QAbstractItemView::PositionAtTop);
    }
    // The bar shows the share of recordings finished before the current one.
    CGauge1->setValue(n > 0 ? index * 100 / n : 0);
}

void TUpload::onTurnEnded(int runIndex)
{
    const int index = rowOf(runIndex);
    if (QTreeWidgetItem* row = DataList->topLevelItem(index + 1))
        row->setIcon(0, QIcon(LoadPicture("image\\Upload-ic02.bmp")));
}

void TUpload::onSettled(const upload::FileReport& report)
{
    if (report.delivery == upload::Delivery::Unreadable) unreadable_ << report.path;
    if (!report.isNote && report.delivery == upload::Delivery::Delivered) delivered_.insert(report.path);
    noteReplaced_ = noteReplaced_ || report.noteCharactersReplaced;
    const upload::Applied applied = upload::ApplyDelivery(report, AutoDel->isChecked());
    deletedSomething_ = deletedSomething_ || applied.deleted;
}

void TUpload::onOverwriteQuestion()
{
    // Asked once control is back in the event loop, not inside the session's own call.
    QTimer::singleShot(0, this, [this] {
        if (!session_) return;
        int answer = 2;
        showMessage(TextOf(upload::kSlotOverwrite), true, &answer);
        if (session_) session_->answerOverwrite(answer == 1);
    });
}

void TUpload::onFinished(const upload::Outcome& outcome)
{
    if (session_) session_->deleteLater();
    session_ = nullptr;
    if (closeWhenStopped_) {
        // Closed during the transfer: the list drops what is gone from disk.
        removeEntries_ = deletedSomething_;
        done(QDialog::Rejected);
        return;
    }
    for (const QString& path : unreadable_) showMessage(QString::fromLatin1(upload::kFileProblem) + "\n" + path);
    if (noteReplaced_) showMessage(QString::fromLatin1(upload::kNoteReplaced));
    if (outcome.diskFull) showMessage(TextOf(upload::kSlotDiskFull));
    if (!outcome.error.ok()) {
        const upload::MessageRef m = upload::MessageFor(outcome.error);
        if (!m.none()) showMessage((m.slot >= 0 ? TextOf(m.slot) : m.english) + m.codeLiteral);
        enableButtons(true);
        // Refused credentials: what the account dialog keeps is used by the next try.
        const bool credentials = outcome.error.failure == upload::Failure::AccountTooLong ||
                                 outcome.error.failure == upload::Failure::PasswordTooLong ||
                                 outcome.error.failure == upload::Failure::CredentialsNotInCodePage ||
                                 (outcome.error.failure == upload::Failure::Refused && outcome.error.replyCode == 2);
        if (credentials) askAccount();
        return;
    }
    if (outcome.overwriteDeclined) {
        enableButtons(true);
        return;
    }
    CGauge1->setValue(100);
    const bool all = outcome.allDelivered(static_cast<int>(runRows_.size()));
    // Recordings an earlier try deleted leave the list even when this try keeps its files.
    removeEntries_ = AutoDel->isChecked() || deletedSomething_;
    const int slot = !all ? upload::kSlotFailed : AutoDel->isChecked() ? upload::kSlotAllDeleted : upload::kSlotCompleted;
    showMessage(TextOf(slot));
    accept();
}

void TUpload::CancelClick()
{
    reject();
}

void TUpload::reject()
{
    if (running()) {
        // Stops at the next content piece; the dialog closes when the session has ended.
        closeWhenStopped_ = true;
        session_->stop();
        return;
    }
    // Files an earlier try deleted must not stay listed.
    uploadAttempted_ = deletedSomething_;
    removeEntries_ = deletedSomething_;
    QDialog::reject();
}

void TUpload::closeEvent(QCloseEvent* event)
{
    if (running()) {
        event->ignore();
        reject();
        return;
    }
    QDialog::closeEvent(event);
}
