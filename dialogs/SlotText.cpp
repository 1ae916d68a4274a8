#include "dialogs/SlotText.h"

#include "dialogs/SkinPictureButton.h"
#include "lang/TextTable.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QToolTip>
#include <QVariant>
#include <algorithm>

namespace {

constexpr char kSlotProperty[] = "talmonTextSlot";
constexpr char kWordProperty[] = "talmonTextWord";
constexpr char kFixedProperty[] = "talmonTextFixed";
constexpr char kLongestSuffixProperty[] = "talmonTextLongestSuffix";

// Frame and padding a push button keeps on each side of its caption.
constexpr int kButtonInnerMargin = 4;
// A tool tip's frame and margins around its text.
constexpr int kToolTipMargins = 8;
// A group box title's inset from the frame's edge (left offset and padding);
// the title must end as far from the right edge.
constexpr int kGroupTitleInset = 13;

void SetCaption(QWidget* control, const QString& text)
{
    if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(text);
    else if (auto* group = qobject_cast<QGroupBox*>(control))
        group->setTitle(text);
}

// Pixels a check box or radio button keeps left of its caption for the indicator.
int IndicatorRoom(const QAbstractButton& button)
{
    const QStyle* style = button.style();
    if (qobject_cast<const QRadioButton*>(&button))
        return style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, &button) +
               style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, &button);
    if (qobject_cast<const QCheckBox*>(&button))
        return style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, &button) +
               style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, &button);
    return 0;
}

// The pixels the text's letters cover from the control's left edge, found by
// drawing it: the blank after the last letter's ink is not cut by anything,
// and an anti-aliasing fringe fainter than a quarter does not show.
int TextWidth(const QFont& font, const QString& text)
{
    if (text.isEmpty())
        return 0;
    const QFontMetrics fm(font);
    QImage image(fm.horizontalAdvance(text) + fm.height(), fm.height() + 4, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(0, fm.ascent() + 2, text);
    painter.end();
    int right = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = image.width() - 1; x > right; --x) {
            if (qAlpha(line[x]) >= 64) {
                right = x;
                break;
            }
        }
    }
    return right + 1;
}

// Room from the label's left edge to the nearest neighbour on its line or its parent's edge.
int RoomBeside(const QWidget& control, int textHeight)
{
    const QWidget* parent = control.parentWidget();
    if (!parent)
        return control.width();
    const QRect line(control.x(), control.y(), parent->width() - control.x(), std::max(control.height(), textHeight));
    int right = parent->width();
    for (const QObject* child : parent->children()) {
        const auto* other = qobject_cast<const QWidget*>(child);
        if (!other || other == &control || other->isHidden() || other->isWindow())
            continue;
        const QRect r = other->geometry();
        if (r.contains(control.pos()) || r.left() <= control.x() || !r.intersects(line))
            continue;
        right = std::min(right, r.left());
    }
    return right - control.x();
}

}  // namespace

void NoteSlotText(QWidget* control, int slot, TextSizing sizing, const QString& longestSuffix)
{
    control->setProperty(kSlotProperty, slot);
    control->setProperty(kFixedProperty, sizing == TextSizing::Fixed);
    control->setProperty(kLongestSuffixProperty, longestSuffix);
}

void ShowSlotText(QWidget* control, int slot, TextSizing sizing, const QString& suffix, const QString& longestSuffix)
{
    NoteSlotText(control, slot, sizing, longestSuffix.isEmpty() ? suffix : longestSuffix);
    SetCaption(control, TextOf(slot) + suffix);
}

void ShowWordText(QWidget* control, Word word, TextSizing sizing)
{
    control->setProperty(kWordProperty, int(word));
    control->setProperty(kFixedProperty, sizing == TextSizing::Fixed);
    SetCaption(control, WordOf(word));
}

QList<TextFit> MeasureSlotTexts(const QWidget& window)
{
    QList<TextFit> fits;
    for (const QWidget* control : window.findChildren<const QWidget*>()) {
        const QVariant slot = control->property(kSlotProperty);
        const QVariant word = control->property(kWordProperty);
        if (slot.isValid() || word.isValid()) {
            TextFit fit;
            fit.control = control->objectName();
            if (word.isValid()) {
                fit.word = WordKey(Word(word.toInt()));
                fit.text = WordOf(Word(word.toInt()));
            } else {
                fit.slot = slot.toInt();
                fit.text = TextOf(fit.slot) + control->property(kLongestSuffixProperty).toString();
            }
            fit.width = TextWidth(control->font(), fit.text);
            const bool fixed = control->property(kFixedProperty).toBool();
            const int textHeight = QFontMetrics(control->font()).height();
            if (qobject_cast<const QPushButton*>(control)) {
                fit.room = control->width() - 2 * kButtonInnerMargin;
            } else if (const auto* choice = qobject_cast<const QAbstractButton*>(control)) {
                // A check box or radio button: the caption starts after the indicator.
                const int indicator = IndicatorRoom(*choice);
                fit.room = RoomBeside(*control, textHeight) - indicator;
                if (fixed)
                    fit.room = std::min(fit.room, control->width() - indicator);
            } else if (qobject_cast<const QGroupBox*>(control)) {
                // The skin draws group titles in bold.
                QFont bold = control->font();
                bold.setBold(true);
                fit.width = TextWidth(bold, fit.text);
                fit.room = control->width() - 2 * kGroupTitleInset;
            } else {
                fit.room = RoomBeside(*control, textHeight);
                if (fixed)
                    fit.room = std::min(fit.room, control->contentsRect().width());
            }
            fits.append(fit);
        } else if (const auto* button = qobject_cast<const QPushButton*>(control);
                   button && !button->isHidden() && !button->text().isEmpty()) {
            TextFit fit;
            fit.control = button->objectName();
            fit.text = button->text();
            fit.text.remove(QLatin1Char('&'));
            fit.width = TextWidth(button->font(), fit.text);
            fit.room = button->width() - 2 * kButtonInnerMargin;
            fits.append(fit);
        }
        if (const auto* picture = qobject_cast<const SkinPictureButton*>(control);
            picture && picture->toolTipSlot() >= 0) {
            TextFit fit;
            fit.control = picture->objectName() + QStringLiteral(" tool tip");
            fit.slot = picture->toolTipSlot();
            fit.text = TextOf(fit.slot);
            fit.width = TextWidth(QToolTip::font(), fit.text) + kToolTipMargins;
            fit.room = window.width();
            fits.append(fit);
        }
    }
    return fits;
}
