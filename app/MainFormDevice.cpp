// The main window's recorder commands: Download and Settings read the
// recorder's information first; the monitor timer shows the connection.
#include "app/DeviceServices.h"
#include "app/MainForm.h"
#include "device/DownloadJob.h"
#include "device/JobRequest.h"
#include "dialogs/DataListView.h"
#include "dialogs/MDDownload.h"
#include "dialogs/MDSetting.h"
#include "dialogs/MessageBox.h"
#include "dialogs/SkinPicture.h"
#include "lang/TextTable.h"
#include "store/RecordingLibrary.h"

#include <QLabel>

void TECGMain::startDevice()
{
    if (!device_)
        return;
    MainWindowDeviceHooks hooks;
    hooks.text = [](int slot) { return TextOf(slot); };
    hooks.recreateMessageBox = [this] { MsgBox->setTitle(QString()); };
    hooks.showMessage = [this](const QString& text) {
        MsgBox->ShowMessageBox(text, MsgKind::Information, state_.languageId, {MsgButton::OK});
    };
    // The settings window, filled from the block the information read just brought.
    hooks.openSettingsDialog = [this] {
        TSetting dialog(device_->board().infoBlock, device_->board(), device_->env(), this);
        dialog.exec();
    };
    hooks.openDownloadDialog = [this] {
        device_->board().dataFolder = state_.paths.dataFolder;
        TDownload dialog(device_->board(), device_->env(), state_.languageId, this);
        dialog.exec();
    };
    hooks.afterDownloadDialog = [this](const QString& timeText) {
        const device::DownloadCounters& c = device_->board().download;
        library_->RebuildDataList();
        if (!timeText.isEmpty() && library_->SelectNewRecording(c.deviceIdText, c.monthFolderText, c.dayText, timeText))
            dataListView_->DataListClick();
        else
            dataListView_->Sync();
    };
    device_->Start(this, std::move(hooks));
}

void TECGMain::DownloadClick()
{
    if (device_ && device_->controls())
        device_->controls()->DownloadClick();
}

void TECGMain::SettingsClick()
{
    if (device_ && device_->controls())
        device_->controls()->SettingsClick();
}

void TECGMain::MonitorTimer()
{
    if (!device_ || !device_->controls())
        return;
    const ConnectionIndicator shown = device_->controls()->MonitorTimer();
    if (!shown.update)
        return;
    Connected->setPicture(shown.picture);
    Connected->setToolTip(shown.hint);
    Connected->setAccessibleName(shown.hint);
    if (shown.deviceIdLabel) {
        DeviceIDLabel->setText(*shown.deviceIdLabel);
        DeviceIDLabel->adjustSize();
    }
}

// Hidden "Delete All": erases every recording in the recorder, but only with the proof of the last
// download: it brought everything home from the recorder that is attached now, holding the same bytes.
void TECGMain::eraseRecorder()
{
    if (!device_)
        return;
    device::DeviceJobBoard& board = device_->board();
    board.eraseOnlyIf = device::EraseConditionAfter(board.download.result);
    const std::uint8_t end = device::RequestJobAndWait(board, device_->env(), device::EraseJobCode,
                                                       device::SlowWaitStepMs);
    MsgBox->ShowMessageBox(TextOf(end == device::JobSucceeded ? 119 : 120), MsgKind::Information,
                           state_.languageId, {MsgButton::OK});
}
