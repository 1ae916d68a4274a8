#include "app/AppPaths.h"
#include "app/CommandLine.h"
#include "app/DeviceServices.h"
#include "app/InstanceGuard.h"
#include "app/MainForm.h"
#include "app/Startup.h"
#include "app/StartupReport.h"
#include "app/TerminationClose.h"
#include "app/UploadController.h"
#include "art/Pictures.h"
#include "lang/LanguageLocale.h"
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

int Run(QApplication& app, const ManagerOptions& options)
{
    const bool demo = options.demo;
    InstanceGuard guard;  // held until the process ends
    // The demo keeps its own settings and data folders: it never writes into the user's library.
    const QString documents = demo ? sim::DemoRecorder::DemoDocumentsFolder() : DocumentsFolder();
    const StartupResult start =
        RunStartup(documents, TextTable::current(), guard, LanguageRequest{options.language, QLocale::system()});
    if (start.outcome != StartupOutcome::Ready) {
        ReportStartupMessage(start.message, start.detail);
        return kStartupRefusedExit;
    }
    InstallQtTranslations(start.state.languageId, app);  // Qt's print and file dialogs

    DeviceServices device(demo);  // outlives the window, whose close stops its worker
    device.ResetForStartup();
    TECGMain window(start.state);
    window.attachDevice(&device);
    window.FormCreate();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    window.show();
    // After show: a message it may give stands over the window, not alone.
    if (demo && !window.uploadController()->startDemoService())  // Upload and Account without a network
        std::fprintf(stderr, "ecg-manager: the demo's stand-in web service could not start; Upload and Account stay hidden.\n");
    if (options.engineering)
        window.ShowEngineeringControls();
    CloseOnTermination(window);
    ScheduleExitIfAsked(window);
    return app.exec();
}

}  // namespace

// Program entry. Refuses to start a window when no display is reachable,
// instead of letting the platform plug-in abort.
int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const ManagerOptions options = ParseManagerOptions(arguments);
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "ecg-manager: %s\n", qPrintable(options.error));
        return 2;
    }
    if (options.help) {
        std::printf("%s", qPrintable(ManagerHelpText()));
        return 0;
    }
    if (options.version) {
        std::printf("ecg-manager (Talmon ECG Manager) %s\n", TALMON_VERSION);
        return 0;
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
        return Run(app, options);
    } catch (const std::exception& e) {
        ReportStartupMessage(QStringLiteral("Talmon ECG Manager stopped: %1").arg(QString::fromLocal8Bit(e.what())));
    } catch (...) {
        ReportStartupMessage(QStringLiteral("Talmon ECG Manager stopped after an unexpected error."));
    }
    return 1;
}
