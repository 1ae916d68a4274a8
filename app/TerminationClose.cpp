#include "app/TerminationClose.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <csignal>

namespace {

volatile std::sig_atomic_t terminationAsked = 0;

extern "C" void NoteTermination(int)
{
    terminationAsked = 1;
}

// How often the user-interface thread looks for a noted signal, ms: a handler may do nothing
// but note it.
constexpr int kLookEveryMs = 100;

}  // namespace

void CloseOnTermination(QWidget& window)
{
    terminationAsked = 0;
    std::signal(SIGTERM, NoteTermination);
    std::signal(SIGINT, NoteTermination);
    auto* look = new QTimer(&window);
    look->setInterval(kLookEveryMs);
    QObject::connect(look, &QTimer::timeout, &window, [&window, look] {
        if (terminationAsked == 0)
            return;
        // A dialog open over the window holds its own event loop: closing the
        // window under it would end nothing. Close the dialogs first, one per
        // look, each through its own close handling (a running job is
        // cancelled there), then the window once none is left.
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            dialog->close();
            return;
        }
        terminationAsked = 0;
        look->stop();
        window.close();
    });
    look->start();
}
