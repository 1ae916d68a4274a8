#include "dialogs/FocusMarks.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace {

class FocusMarksAtShow : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // The styles draw the mark once a window has seen a keyboard focus change.
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            if (widget->isWindow()) widget->setAttribute(Qt::WA_KeyboardFocusChange);
        }
        return false;
    }
};

}  // namespace

void ShowFocusMarksFromTheStart()
{
    static FocusMarksAtShow* marks = nullptr;
    if (marks || !qApp) return;
    marks = new FocusMarksAtShow(qApp);
    qApp->installEventFilter(marks);
}
