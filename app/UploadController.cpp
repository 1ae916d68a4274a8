#include "app/UploadController.h"

#include "app/MainForm.h"
#include "app/UpgradeController.h"
#include "dialogs/DataListView.h"
#include "dialogs/MDIdpwd.h"
#include "dialogs/MDUpload.h"
#include "dialogs/MessageBox.h"
#include "dialogs/SkinPictureButton.h"
#include "lang/TextTable.h"
#include "net/UploadMessages.h"
#include "sim/web/WebService.h"
#include "store/AccountSettings.h"
#include "store/RecordingLibrary.h"

UploadController::UploadController(TECGMain& window, std::function<bool(const QUrl&)> openUrl)
    : QObject(&window), window_(window), openUrl_(std::move(openUrl))
{
}

UploadController::~UploadController() = default;

void UploadController::useService(const QString& directoryHost, quint16 port)
{
    directoryHost_ = directoryHost;
    port_ = port;
}

bool UploadController::startDemoService()
{
    demoService_ = std::make_unique<sim::WebService>();
    if (!demoService_->listen(0, nullptr)) {
        demoService_.reset();
        return false;
    }
    useService(sim::WebService::directoryAddress().toString(), demoService_->port());
    // The same stand-in offers a firmware image to the hidden Upgrade command.
    window_.upgradeController()->useService(sim::WebService::directoryAddress().toString(), demoService_->port());
    AccountSettings account(window_.paths().heartletIni);
    // Without its account the demo would ask for a login the user cannot know: say so.
    if (account.account().isEmpty() && account.password().isEmpty() && !account.store("demo", "demo", true))
        window_.messageBox()->ShowMessageBox(TextOf(upload::kSlotAccountNotSaved), MsgKind::Information,
                                             window_.languageId(), {MsgButton::OK});
    window_.Upload->show();
    window_.Account->show();
    return true;
}

void UploadController::UploadClick()
{
    RecordingLibrary* library = window_.library();
    if (!library) return;
    library->GatherCheckedRecordings();
    QStringList paths;
    for (const QString& p : library->gatheredPaths()) paths << p;
    if (paths.isEmpty()) {
        window_.messageBox()->ShowMessageBox(TextOf(upload::kSlotSelectFiles), MsgKind::Information,
                                             window_.languageId(), {MsgButton::OK});
        return;
    }
    UploadDialogSetup setup;
    setup.recordings = paths;
    setup.heartletIni = window_.paths().heartletIni;
    setup.languageId = window_.languageId();
    setup.directoryHost = directoryHost_;
    setup.port = port_;
    setup.openUrl = openUrl_;
    if (adjustSetup) adjustSetup(setup);
    bool attempted = false, removeEntries = false;
    {
        TUpload dialog(std::move(setup), &window_);
        dialog.exec();
        attempted = dialog.uploadAttempted();
        removeEntries = dialog.removeEntries();
    }
    if (attempted) {
        library->RemoveCheckedNodes(removeEntries);
        if (window_.dataListView()) window_.dataListView()->Sync();
    }
    for (SkinPictureButton* b : {window_.ZoomIn, window_.ZoomOut, window_.Recover, window_.ECGColor})
        if (b) b->hide();
    library->CloseOpenRecording();
    if (window_.dataListView()) window_.dataListView()->ShowNothingOpen();
}

void UploadController::AccountClick()
{
    TIdPwd dialog(window_.paths().heartletIni, openUrl_, &window_);
    dialog.exec();
}
