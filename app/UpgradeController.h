#pragma once
#include <QObject>
#include <QString>
#include <functional>

class TECGMain;
class DeviceServices;
struct UpgradeDialogSetup;

// The main window's hidden Upgrade command: opens the upgrade dialog with the
// settings folder (for the temporary image file), the update service named in
// Heartlet.ini and the device step's job board for the firmware job.
class UpgradeController : public QObject {
    Q_OBJECT
public:
    explicit UpgradeController(TECGMain& window);

    // Opens the dialog modally; does nothing without the recorder side.
    void UpgradeBtnClick(DeviceServices* device);

    // Where the fetch goes instead of HOST_NAME on port 1600 (tests, the demo).
    void useService(const QString& directoryHost, quint16 port);
    // Changes the dialog set-up before it is shown (tests: timings).
    std::function<void(UpgradeDialogSetup&)> adjustSetup;

private:
    TECGMain& window_;
    QString directoryHost_;
    quint16 port_ = 1600;
};
