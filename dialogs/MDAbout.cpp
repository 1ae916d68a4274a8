#include "dialogs/MDAbout.h"

#include "dialogs/SkinPicture.h"
#include "dialogs/SkinPictureButton.h"
#include "dialogs/SkinStyle.h"
#include "dialogs/SkinWindowDrag.h"
#include "dialogs/SlotText.h"
#include "lang/TextTable.h"

#include <QLabel>
#include <QPushButton>

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QString& style)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setStyleSheet(style);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

}  // namespace

TAbout::TAbout(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName("About");
    setFixedSize(300, 245);
    const QFont base = SkinFont(font(), 8);
    setFont(base);

    BGImage = new SkinPicture(this, QColor(236, 241, 245));
    BGImage->setObjectName("BGImage");
    BGImage->markDecorative();
    BGImage->setGeometry(0, 0, 300, 245);
    BGImage->setPicture("image\\about.bmp");
    EnableWindowDrag(BGImage, this);

    TitleLabel = MakeLabel(this, "TitleLabel", QString(), "color: white; font-weight: bold;");
    ShowSlotText(TitleLabel, 87, TextSizing::FollowsText);
    TitleLabel->move(18, 8);
    TitleLabel->adjustSize();

    CloseBtn = new SkinPictureButton(this);
    CloseBtn->setObjectName("CloseBtn");
    CloseBtn->setGeometry(277, 5, 19, 17);
    CloseBtn->setLooksFrom("image\\UI-ic03.bmp");
    CloseBtn->makeDialogCloseCross();
    connect(CloseBtn, &SkinPictureButton::clicked, this, &QDialog::reject);

    // The product's subtitle under its name in the picture.
    SubtitleLabel = MakeLabel(this, "SubtitleLabel", QString(), "color: rgb(107, 119, 128); background: transparent;");
    QFont subtitle = base;
    subtitle.setPixelSize(11);
    SubtitleLabel->setFont(subtitle);
    ShowWordText(SubtitleLabel, Word::WelcomeSubtitle, TextSizing::FollowsText);
    SubtitleLabel->adjustSize();
    SubtitleLabel->move(72, 66);

    VersionLabel = MakeLabel(this, "VersionLabel", QString(), "color: rgb(120, 120, 120);");
    ShowSlotText(VersionLabel, 69, TextSizing::FollowsText, ":");
    VersionLabel->adjustSize();
    VersionLabel->move(182, 92);

    VerLabel = MakeLabel(this, "VerLabel", QString(), "color: rgb(111, 111, 111);");
    ShowSlotText(VerLabel, 79, TextSizing::Fixed);
    QFont arial = base;
    arial.setFamilies({"Arial", "Liberation Sans", "DejaVu Sans"});
    VerLabel->setFont(arial);
    VerLabel->setGeometry(238, 92, 36, 14);

    OK = new QPushButton(this);
    ShowSlotText(OK, 45, TextSizing::Fixed);
    OK->setObjectName("OK");
    OK->setGeometry(224, 215, 66, 22);
    OK->setStyleSheet(SkinButtonStyle());
    connect(OK, &QPushButton::clicked, this, &QDialog::accept);
}
