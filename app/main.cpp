#include "app/AppPaths.h"
#include "app/DeviceServices.h"
#include "app/InstanceGuard.h"
#include "app/MainForm.h"
#include "app/Startup.h"
#include "app/StartupReport.h"
#include "app/TerminationClose.h"
#include "app/UploadController.h"
#include "art/Pictures.h"
#include "lang/TextTable.h"

#include <QApplication>
#include <QIcon>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string_view>

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

int Run(QApplication& app, bool demo)
{
    InstanceGuard guard;  // held until the process ends
    // The demo keeps its own settings and data folders: it never writes into the user's library.
    const QString documents = demo ? sim::DemoRecorder::DemoDocumentsFolder() : DocumentsFolder();
    const StartupResult start = RunStartup(documents, TextTable::current(), guard);
    if (start.outcome != StartupOutcome::Ready) {
        ReportStartupMessage(start.message, start.detail);
        return kStartupRefusedExit;
    }

    DeviceServices device(demo);  // outlives the window, whose close stops its worker
    device.ResetForStartup();
    TECGMain window(start.state);
    window.attachDevice(&device);
    window.FormCreate();
    if (demo)
        window.uploadController()->startDemoService();  // Upload and Account without a network
    if (QScreen* screen = QGuiApplication::primaryScreen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    window.show();
    CloseOnTermination(window);
    ScheduleExitIfAsked(window);
    return app.exec();
}

}  // namespace

// Program entry. Refuses to start a window when no display is reachable,
// instead of letting the platform plug-in abort.
int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::printf("Usage: ecg-manager [--demo]\n\n"
                        "The Talmon ECG Manager: download, view, annotate, print and manage the recordings\n"
                        "of the Heart Let ECG recorder.\n\n"
                        "  --demo     attach a simulated recorder (own settings and data folders)\n"
                        "  --version  show the version\n");
            return 0;
        }
        if (arg == "--version") {
            std::printf("ecg-manager (Talmon ECG Manager) %s\n", TALMON_VERSION);
            return 0;
        }
    }
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
    QApplication::setDesktopFileName("org.talmon.EcgManager");
    QIcon icon;
    for (const char* size : {"48", "128", "256"})
        icon.addPixmap(LoadPicture(QString("image\\icon-%1.png").arg(size)));
    QApplication::setWindowIcon(icon);
    try {
        return Run(app, QApplication::arguments().contains(QStringLiteral("--demo")));
    } catch (const std::exception& e) {
        ReportStartupMessage(QStringLiteral("Talmon ECG Manager stopped: %1").arg(QString::fromLocal8Bit(e.what())));
    } catch (...) {
        ReportStartupMessage(QStringLiteral("Talmon ECG Manager stopped after an unexpected error."));
    }
    return 1;
}
