#include "dialogs/MDIdpwd.h"

#include "dialogs/SkinPicture.h"
#include "dialogs/SkinPictureButton.h"
#include "dialogs/SkinStyle.h"
#include "dialogs/SkinWindowDrag.h"
#include "dialogs/SlotText.h"
#include "lang/TextTable.h"
#include "dialogs/MessageBox.h"
#include "store/AccountSettings.h"
#include "lang/Words.h"
#include "net/UploadMessages.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QString& style, QPoint at)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setStyleSheet(style);
    label->move(at);
    label->adjustSize();
    return label;
}

}  // namespace

TIdPwd::TIdPwd(QString heartletIni, std::function<bool(const QUrl&)> openUrl, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), heartletIni_(std::move(heartletIni)),
      openUrl_(std::move(openUrl))
{
    setObjectName("IdPwd");
    setFixedSize(320, 260);
    setFont(SkinFont(font(), 8));
    BGImage = new SkinPicture(this, QColor(236, 241, 245));
    BGImage->setObjectName("BGImage");
    BGImage->markDecorative();
    BGImage->setGeometry(0, 0, 320, 260);
    BGImage->setPicture("image\\dlg-account.bmp");
    EnableWindowDrag(BGImage, this);

    const QString grey = QStringLiteral("color: rgb(107, 107, 107);");
    TitleLabel = MakeLabel(this, "TitleLabel", QString(), "color: white; font-weight: bold;", {18, 8});
    CloseBtn = new SkinPictureButton(this);
    CloseBtn->setObjectName("CloseBtn");
    CloseBtn->setGeometry(297, 5, 19, 17);
    CloseBtn->setLooksFrom("image\\UI-ic03.bmp");
    CloseBtn->makeDialogCloseCross();
    connect(CloseBtn, &SkinPictureButton::clicked, this, &TIdPwd::CancelClick);

    AccountLabel = MakeLabel(this, "AccountLabel", QString(), grey, {43, 83});
    PasswordLabel = MakeLabel(this, "PasswordLabel", QString(), grey, {43, 116});
    ID = new QLineEdit(this);
    ID->setObjectName("ID");
    ID->setGeometry(101, 80, 168, 21);
    Password = new QLineEdit(this);
    // The captions name the fields for assistive technology.
    AccountLabel->setBuddy(ID);
    PasswordLabel->setBuddy(Password);
    Password->setObjectName("Password");
    Password->setGeometry(101, 113, 168, 21);
    Password->setEchoMode(QLineEdit::Password);
    // The sample texts are hints in the empty edits, never values: OK on an
    // untouched dialog hands over empty texts, not "ID" and "Password".
    ID->setPlaceholderText(QStringLiteral("ID"));
    Password->setPlaceholderText(TextOf(24));

    // The link is a command: Tab reaches it (after the password), a tint shows its focus,
    // and Space or Enter opens the page as a click does.
    RegisterLinkLabel = MakeLabel(this, "RegisterLinkLabel", QString(),
                                  "QLabel { color: rgb(19, 117, 127); text-decoration: underline; }"
                                  " QLabel:focus { background: rgb(205, 228, 231); }",
                                  {223, 138});
    RegisterLinkLabel->setCursor(Qt::PointingHandCursor);
    RegisterLinkLabel->setFocusPolicy(Qt::StrongFocus);
    const QString light = QStringLiteral("color: rgb(150, 150, 150);");
    RegisterLabel = MakeLabel(this, "RegisterLabel", QString(), light, {43, 160});
    RegisterLabel1 = MakeLabel(this, "RegisterLabel1", QString(), light, {43, 175});
    RegisterLabel2 = MakeLabel(this, "RegisterLabel2", QString(), light, {43, 190});
    for (QLabel* l : {RegisterLinkLabel, RegisterLabel, RegisterLabel1, RegisterLabel2}) l->installEventFilter(this);

    Remember = new QCheckBox(this);
    Remember->setObjectName("Remember");
    Remember->move(23, 232);
    Remember->hide();

    OK = new QPushButton(this);
    OK->setObjectName("OK");
    OK->setGeometry(159, 230, 66, 22);
    Cancel = new QPushButton(this);
    Cancel->setObjectName("Cancel");
    Cancel->setGeometry(231, 230, 66, 22);
    for (QPushButton* b : {OK, Cancel}) b->setStyleSheet(SkinButtonStyle());
    connect(OK, &QPushButton::clicked, this, &TIdPwd::Button1Click);
    connect(Cancel, &QPushButton::clicked, this, &TIdPwd::CancelClick);
    OK->setDefault(true);
    // Escape closes like Cancel.
    connect(this, &QDialog::rejected, this, [this] {
        if (result_ == 0) result_ = 2;
    });

    FormCreate();
}

void TIdPwd::FormCreate()
{
    const AccountSettings stored(heartletIni_);
    if (stored.remembered()) {
        ID->setText(stored.account());
        Password->setText(stored.password());
        Remember->setChecked(true);
    }
    ShowSlotText(TitleLabel, 22, TextSizing::FollowsText);
    ShowSlotText(AccountLabel, 23, TextSizing::FollowsText);
    ShowSlotText(PasswordLabel, 24, TextSizing::FollowsText);
    RegisterLinkLabel->setText(TextTable::current().extraText(3));
    RegisterLabel->setText(TextTable::current().extraText(0));
    RegisterLabel1->setText(TextTable::current().extraText(1));
    RegisterLabel2->setText(TextTable::current().extraText(2));
    Remember->setText(TextOf(46));
    ShowSlotText(OK, 45, TextSizing::Fixed);
    ShowSlotText(Cancel, 43, TextSizing::Fixed);
    for (QLabel* l : findChildren<QLabel*>()) l->adjustSize();
}

void TIdPwd::Button1Click()
{
    account_ = ID->text();
    password_ = Password->text();
    // What the file could not give back unchanged is refused here, not found
    // out at the next upload.
    if (!AccountSettings::CanKeep(account_) || !AccountSettings::CanKeep(password_)) {
        tell(WordOf(Word::AccountCannotKeep));
        return;
    }
    // A file that cannot be written keeps the credentials it had; the user
    // learns that they were not kept, and the entered ones still serve now.
    if (!AccountSettings(heartletIni_).store(account_, password_, Remember->isChecked()))
        tell(TextOf(upload::kSlotAccountNotSaved));
    result_ = 1;
    accept();
}

void TIdPwd::CancelClick()
{
    result_ = 2;
    reject();
}

void TIdPwd::openRegistration()
{
    const QUrl page(QString::fromLatin1(kRegisterPage));
    const bool opened = openUrl_ ? openUrl_(page) : QDesktopServices::openUrl(page);
    // Without a browser the user still gets the address, to copy.
    if (!opened) tell(WordOf(Word::AccountNoBrowser) + QLatin1Char('\n') + page.toString());
}

void TIdPwd::tell(const QString& text)
{
    if (!msgBox_) msgBox_ = new TMessageBoxForm(this);
    msgBox_->Msg->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    msgBox_->ShowMessageBox(text, MsgKind::Information, TextTable::current().languageId(), MsgButtons{MsgButton::OK});
}

bool TIdPwd::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && watched == RegisterLinkLabel) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
            openRegistration();
            return true;  // not the dialog's OK
        }
    }
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        openRegistration();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
