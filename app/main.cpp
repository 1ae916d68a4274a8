#include <QApplication>
#include <QLabel>
#include <cstdio>
#include <cstdlib>

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
    QLabel placeholder("Talmon ECG Manager");
    placeholder.show();
    return app.exec();
}
