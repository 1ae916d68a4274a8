#include "dialogs/MDWelcome.h"

#include "dialogs/SkinPicture.h"
#include "dialogs/SkinStyle.h"
#include "dialogs/SkinWindowDrag.h"
#include "dialogs/SlotText.h"
#include "lang/TextTable.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>

TWelcome::TWelcome(QWidget* parent, int tickMs) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName("Welcome");
    setFixedSize(475, 255);
    setFont(SkinFont(font(), 9));

    BGImage = new SkinPicture(this, QColor(236, 241, 245));
    BGImage->setObjectName("BGImage");
    BGImage->markDecorative();
    BGImage->setGeometry(0, 0, 475, 255);
    BGImage->setPicture("image\\welcome.bmp");
    EnableWindowDrag(BGImage, this);

    const auto label = [this](const char* name, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        l->setStyleSheet("color: rgb(96, 106, 116);");
        l->setAttribute(Qt::WA_TransparentForMouseEvents);
        return l;
    };
    // The product's subtitle under its name in the picture's band.
    SubtitleLabel = label("SubtitleLabel", QString());
    QFont subtitle = font();
    subtitle.setPixelSize(13);
    SubtitleLabel->setFont(subtitle);
    SubtitleLabel->setStyleSheet("color: rgb(205, 230, 232); background: transparent;");
    ShowWordText(SubtitleLabel, Word::WelcomeSubtitle, TextSizing::FollowsText);
    SubtitleLabel->adjustSize();
    SubtitleLabel->move(113, 82);
    InitLabel = label("InitLabel", QString());
    // The timer adds a dot on each of its ticks.
    ShowSlotText(InitLabel, 78, TextSizing::Fixed, {}, QString(kTicks, QLatin1Char('.')));
    InitLabel->setGeometry(24, 222, 240, 18);
    VersionLabel = label("VersionLabel", QString());
    ShowSlotText(VersionLabel, 69, TextSizing::FollowsText, ":");
    VersionLabel->adjustSize();
    VerLabel = label("VerLabel", QString());
    ShowSlotText(VerLabel, 79, TextSizing::FollowsText);
    VerLabel->adjustSize();
    VerLabel->move(475 - 24 - VerLabel->width(), 222);
    VersionLabel->move(VerLabel->x() - 4 - VersionLabel->width(), 222);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(tickMs);
    connect(Timer1, &QTimer::timeout, this, &TWelcome::Timer1Timer);
}

void TWelcome::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    if (ticks_ < kTicks)
        Timer1->start();
}

void TWelcome::Timer1Timer()
{
    InitLabel->setText(InitLabel->text() + ".");
    if (++ticks_ >= kTicks) {
        Timer1->stop();
        accept();
    }
}
