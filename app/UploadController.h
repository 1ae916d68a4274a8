#pragma once
#include "net/UploadTypes.h"

#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

class TECGMain;
struct UploadDialogSetup;
namespace sim {
class WebService;
}

// The main window's Upload and Account commands: gathers the ticked
// recordings, runs the upload dialog, and tidies the data list afterwards
// (only entries whose file is really gone leave it).
class UploadController : public QObject {
    Q_OBJECT
public:
    UploadController(TECGMain& window, std::function<bool(const QUrl&)> openUrl);
    ~UploadController() override;

    void UploadClick();
    void AccountClick();

    // Demo mode: the stand-in service in this process answers instead of the
    // real one, the Upload and Account buttons show, and an empty account
    // becomes the service's "demo" account.
    bool startDemoService();
    // Where uploads go instead of HOST_NAME on port 1600 (tests, the demo).
    void useService(const QString& directoryHost, quint16 port);
    // Changes the dialog set-up before it is shown (tests: timings, account answers).
    std::function<void(UploadDialogSetup&)> adjustSetup;

private:
    TECGMain& window_;
    std::function<bool(const QUrl&)> openUrl_;
    QString directoryHost_;
    quint16 port_ = 1600;
    std::unique_ptr<sim::WebService> demoService_;
};
