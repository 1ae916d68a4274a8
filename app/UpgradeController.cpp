#include "app/UpgradeController.h"

#include "app/DeviceServices.h"
#include "app/MainForm.h"
#include "dialogs/MDUpgrade.h"

UpgradeController::UpgradeController(TECGMain& window) : QObject(&window), window_(window) {}

void UpgradeController::useService(const QString& directoryHost, quint16 port)
{
    directoryHost_ = directoryHost;
    port_ = port;
}

void UpgradeController::UpgradeBtnClick(DeviceServices* device)
{
    if (!device) return;
    UpgradeDialogSetup setup;
    setup.heartletIni = window_.paths().heartletIni;
    setup.settingsFolder = window_.paths().settingsFolder;
    setup.languageId = window_.languageId();
    setup.directoryHost = directoryHost_;
    setup.port = port_;
    setup.board = &device->board();
    if (adjustSetup) adjustSetup(setup);
    TUpgrade dialog(std::move(setup), &window_);
    dialog.exec();
}
