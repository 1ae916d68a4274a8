#include "dialogs/ClockFieldEntry.h"

#include <QDateTimeEdit>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

namespace {

class ClickSelectsPart : public QObject {
public:
    explicit ClickSelectsPart(QDateTimeEdit* field) : QObject(field), field_(field) {}

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::FocusIn) {
            focusByClick_ = static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            // The field places its cursor while handling the click; the part
            // is selected once that is done.
            const bool first = focusByClick_;
            focusByClick_ = false;
            QPointer<QDateTimeEdit> field = field_;
            QTimer::singleShot(0, field_, [field, first] {
                if (!field || !field->hasFocus()) return;
                QDateTimeEdit::Section part = field->currentSection();
                if (first || part == QDateTimeEdit::NoSection) part = field->sectionAt(0);
                field->setCurrentSection(part);
                field->setSelectedSection(part);
            });
        }
        return false;
    }

private:
    QDateTimeEdit* field_;
    bool focusByClick_ = false;
};

class SeparatorAfterFullPart : public QObject {
public:
    explicit SeparatorAfterFullPart(QDateTimeEdit* field) : QObject(field), field_(field) {}

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress) return false;
        const QString text = static_cast<QKeyEvent*>(event)->text();
        if (text.isEmpty()) return false;  // Shift, pressed for a separator such as ':'
        const bool digit = text.size() == 1 && text.at(0).isDigit();
        const bool separator = text.size() == 1 && !digit && !text.at(0).isLetter() &&
                               field_->displayFormat().contains(text.at(0));
        const bool afterDigit = lastWasDigit_;
        lastWasDigit_ = digit;
        // A digit that fills its part leaves the next part selected (a digit that
        // does not leaves the cursor behind it): the field has moved on already,
        // and the separator that closes the full part is no further move.
        const QLineEdit* line = field_->findChild<QLineEdit*>();
        return separator && afterDigit && line && line->hasSelectedText();
    }

private:
    QDateTimeEdit* field_;
    bool lastWasDigit_ = false;
};

}  // namespace

void AcceptTypedSeparators(QDateTimeEdit* field)
{
    field->installEventFilter(new SeparatorAfterFullPart(field));
}

void AcceptTypingAfterClick(QDateTimeEdit* field)
{
    auto* filter = new ClickSelectsPart(field);
    // Focus and clicks arrive at the field's text line, not at the field.
    if (auto* text = field->findChild<QLineEdit*>()) text->installEventFilter(filter);
    field->installEventFilter(filter);
}
