#include "dialogs/ClockFieldEntry.h"

#include <QDateTimeEdit>
#include <QEvent>
#include <QFocusEvent>
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

}  // namespace

void AcceptTypingAfterClick(QDateTimeEdit* field)
{
    auto* filter = new ClickSelectsPart(field);
    // Focus and clicks arrive at the field's text line, not at the field.
    if (auto* text = field->findChild<QLineEdit*>()) text->installEventFilter(filter);
    field->installEventFilter(filter);
}
