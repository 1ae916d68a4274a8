#include "app/AppPaths.h"
#include "app/InstanceGuard.h"
#include "app/MainForm.h"
#include "app/Startup.h"
#include "app/StartupReport.h"
#include "art/Pictures.h"
#include "lang/TextTable.h"

#include <QApplication>
#include <QIcon>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

// TALMON_EXIT_AFTER_MS=<n>: close the main window n milliseconds after it
// appears, running the normal close sequence (for scripted and headless runs).
void ScheduleExitIfAsked(TECGMain& window)
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("TALMON_EXIT_AFTER_MS", &ok);
    if (ok && ms >= 0)
        QTimer::singleShot(ms, &window, &QWidget::close);
}

int Run(QApplication& app)
{
    InstanceGuard guard;  // held until the process ends
    const StartupResult start = RunStartup(DocumentsFolder(), TextTable::current(), guard);
    if (start.outcome != StartupOutcome::Ready) {
        ReportStartupMessage(start.message, start.detail);
        return kStartupRefusedExit;
    }

    TECGMain window(start.state);
    window.FormCreate();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    window.show();
    ScheduleExitIfAsked(window);
    return app.exec();
}

}  // namespace

// Program entry. Refuses to start a window when no display is reachable,
// instead of letting the platform plug-in abort.
int main(int argc, char** argv)
{
    const bool hasDisplay = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY") || std::getenv("QT_QPA_PLATFORM");
    if (!hasDisplay) {
        std::fprintf(stderr,
                     "ecg-manager: no display found. Start it from a desktop session, or run it under a virtual\n"
                     "display with: xvfb-run -a build/bin/ecg-manager\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("Talmon ECG Manager");
    QApplication::setApplicationVersion(TALMON_VERSION);
    QApplication::setDesktopFileName("talmon-ecg-manager");
    QIcon icon;
    for (const char* size : {"48", "128", "256"})
        icon.addPixmap(LoadPicture(QString("image\\icon-%1.png").arg(size)));
    QApplication::setWindowIcon(icon);
    try {
        return Run(app);
    } catch (const std::exception& e) {
        ReportStartupMessage(QStringLiteral("Talmon ECG Manager stopped: %1").arg(QString::fromLocal8Bit(e.what())));
    } catch (...) {
        ReportStartupMessage(QStringLiteral("Talmon ECG Manager stopped after an unexpected error."));
    }
    return 1;
}
