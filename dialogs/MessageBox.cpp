#include "dialogs/MessageBox.h"

#include "dialogs/SkinPicture.h"
#include "dialogs/SkinPictureButton.h"
#include "dialogs/SkinStyle.h"

#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <utility>

std::uint8_t TMessageBoxForm::resultCode_ = 0;
TMessageBoxForm::ModalRunner TMessageBoxForm::modalRunner_;

namespace {

const char* const kButtonNames[kMsgButtonCount] = {"Yes",    "No",  "OK",      "Cancel",   "Abort", "Retry",
                                                   "Ignore", "All", "NoToAll", "YesToAll", "Help"};

constexpr int kTextVerticalMargin = 10;  // least room above and below the text

}  // namespace

TMessageBoxForm::TMessageBoxForm(QWidget* parent) : TBaseForm(parent)
{
    setObjectName("MessageBoxForm");
    FitFrame(410, 200);
    setCanvasColour(QColor(230, 230, 230));
    TitleMsg->setStyleSheet("color: rgb(255, 255, 255);");

    Panel1 = new QWidget(this);
    Panel1->setObjectName("Panel1");
    Panel1->setAutoFillBackground(true);
    QPalette white = Panel1->palette();
    white.setColor(QPalette::Window, Qt::white);
    Panel1->setPalette(white);

    MsgImg = new SkinPicture(Panel1, QColor(0, 0, 0, 0));
    MsgImg->setObjectName("MsgImg");
    MsgImg->markDecorative();  // the caption says the kind of message
    MsgImg->setGeometry(34, 0, 32, 32);

    Msg = new QLabel(Panel1);
    Msg->setObjectName("Msg");
    Msg->setStyleSheet("color: rgb(40, 40, 40);");
    Msg->setTextFormat(Qt::PlainText);
    Msg->setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void TMessageBoxForm::setModalRunner(ModalRunner runner)
{
    modalRunner_ = std::move(runner);
}

std::uint8_t TMessageBoxForm::ShowMessageBox(const QString& text, MsgKind kind, int languageId, MsgButtons buttons)
{
    languageId_ = languageId;
    Msg->setFont(SkinFont(font(), languageId == 1028 ? 8 : 10));

    MessageBoxGeometry g = MessageBoxGeometryFor(text);

    // Title and picture first: a plain message has no picture and starts further left.
    if (title().isEmpty())
        setTitle(MsgDefaultTitle(kind, languageId));
    if (kind == MsgKind::Warning || kind == MsgKind::Information) {
        MsgImg->setPicture(kind == MsgKind::Warning ? "image\\inMain_ic-warry.bmp" : "image\\inMain_ic-info.bmp");
        MsgImg->show();
    } else if (kind == MsgKind::Plain) {
        MsgImg->hide();
    }
    const int msgLeft = MsgImg->isHidden() ? g.msgLeft - MsgImg->width() : g.msgLeft;

    // The text wraps at W - 66, but never past the panel's right edge (W - 88 from
    // left 80), so a message that fits up to that edge stays on one line.
    const int msgWidth = std::min(g.msgWidth, g.panel.width() - msgLeft);
    Msg->setText(text);
    Msg->setWordWrap(true);
    // A text of many lines would be cut by the box's usual height: the box grows
    // downwards until every line shows.
    const int msgHeight = Msg->heightForWidth(msgWidth);
    const int grow = msgHeight + 2 * kTextVerticalMargin - g.panel.height();
    if (grow > 0) {
        g.height += grow;
        g.panel.setHeight(g.panel.height() + grow);
    }
    Panel1->setGeometry(g.panel);
    FitFrame(g.width, g.height);
    Msg->setGeometry(msgLeft, CentredTop(g.panel.height(), msgHeight), msgWidth, msgHeight);
    MsgImg->move(g.pictureLeft, CentredTop(g.panel.height(), MsgImg->height()));

    for (const PlacedMsgButton& place : MessageBoxButtonPlaces(g.width, g.height, buttons)) {
        auto* b = new QPushButton(MsgButtonCaption(place.kind, languageId), this);
        b->setObjectName(QLatin1String(kButtonNames[static_cast<int>(place.kind)]));
        b->setGeometry(place.rect);
        b->setStyleSheet(SkinButtonStyle());
        const MsgButton kindOfButton = place.kind;
        connect(b, &QPushButton::clicked, this, [this, kindOfButton] {
            setResult(MsgResultCode(kindOfButton));
            accept();
        });
        b->show();
        buttons_.append(b);
        buttonKinds_.append(place.kind);
    }
    if (!buttons_.isEmpty())
        buttons_.front()->setFocus();

    if (modalRunner_)
        modalRunner_(*this);
    else
        exec();

    qDeleteAll(buttons_);
    buttons_.clear();
    buttonKinds_.clear();
    return resultCode_;
}

QPushButton* TMessageBoxForm::button(MsgButton kind) const
{
    const qsizetype at = buttonKinds_.indexOf(kind);
    return at < 0 ? nullptr : buttons_[at];
}

bool TMessageBoxForm::clickButton(MsgButton kind)
{
    QPushButton* b = button(kind);
    if (!b)
        return false;
    b->click();
    return true;
}

void TMessageBoxForm::closeByCloseButton()
{
    closeImgClick();
}

void TMessageBoxForm::setResult(std::uint8_t code)
{
    resultCode_ = code;
}

void TMessageBoxForm::closeImgClick()
{
    setResult(2);
    QDialog::reject();
}

// Escape and the window manager's close count as the close button, so a box
// closed without a click never returns an answer left over from an earlier box.
void TMessageBoxForm::reject()
{
    setResult(2);
    QDialog::reject();
}
