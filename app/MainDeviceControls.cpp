#include "app/MainDeviceControls.h"
#include "device/JobRequest.h"
#include "device/protocol/SettingsPacket.h"
#include "lang/ProgramTexts.h"

using namespace device;

namespace {

QString EnglishText(int slot)
{
    switch (slot) {
    case SlotDisconnected: return QStringLiteral("Disconnected");
    case SlotConnected: return QStringLiteral("Connected");
    case SlotIdNumber: return QStringLiteral("ID Number");
    case SlotDeviceId: return QStringLiteral("Device ID");
    case SlotFirmwareVersion: return QStringLiteral("Firmware Version");
    case SlotNumberOfFiles: return QStringLiteral("Number of files");
    case SlotCheckDeviceConnected: return QStringLiteral("Check that the ECG device is connected.");
    default: return {};
    }
}

// Clears a busy flag however the handler is left.
struct Guard {
    explicit Guard(bool& flag) : flag_(flag) { flag_ = true; }
    ~Guard() { flag_ = false; }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
    bool& flag_;
};

}  // namespace

MainDeviceControls::MainDeviceControls(DeviceJobBoard& board, Link& link, DeviceEnvironment& env,
                                       MainWindowDeviceHooks hooks)
    : board_(board), link_(link), env_(env), hooks_(std::move(hooks))
{
}

MainDeviceControls::~MainDeviceControls()
{
    *alive_ = false;
}

bool MainDeviceControls::deferWhileStepRuns(bool& deferred, void (MainDeviceControls::*press)())
{
    if (!board_.stepRunning)
        return false;
    // The press came through a message pump inside a device step (the arrival read after plugging
    // in, for one). Its job could only start after that step, and the step cannot end while the
    // press waits inside it, so the press is handed back to the message loop until the step is over.
    if (deferred)
        return true;
    deferred = true;
    env_.Post([this, alive = std::weak_ptr<bool>(alive_), &deferred, press] {
        const auto stillHere = alive.lock();
        if (!stillHere || !*stillHere)
            return;
        deferred = false;
        (this->*press)();
    });
    return true;
}

QString MainDeviceControls::text(int slot) const
{
    if (hooks_.text) {
        const QString t = hooks_.text(slot);
        if (!t.isEmpty())
            return t;
    }
    return EnglishText(slot);
}

void MainDeviceControls::showMessage(const QString& message)
{
    if (hooks_.showMessage)
        hooks_.showMessage(message);
}

bool MainDeviceControls::requestInfo(bool clearBlockAfterRequest)
{
    if (hooks_.recreateMessageBox)
        hooks_.recreateMessageBox();
    const std::uint32_t ticket = PostJob(board_, ReadInfoJobCode);
    if (clearBlockAfterRequest)
        board_.ClearInfoBlock();
    // The request is already posted, so waiting starts from the pending state.
    while (!EndOf(board_, ticket)) {
        env_.Pump();
        if (EndOf(board_, ticket))
            break;
        PumpingSleep(env_, ButtonWaitStepMs);
    }
    return EndOf(board_, ticket)->state == JobSucceeded;
}

QString MainDeviceControls::infoFailureText() const
{
    if (board_.failure == JobFailure::NoPermission)
        return DeviceAccessDeniedText();
    if (board_.failure == JobFailure::Streaming)
        return DeviceStreamingText();
    if (board_.failure == JobFailure::WaitsInBootLoader)
        return DeviceWaitsInBootLoaderText();
    return text(SlotCheckDeviceConnected);
}

QString MainDeviceControls::recorderSummary() const
{
    const protocol::DEVICE_INFO_BLOCK& b = board_.infoBlock;
    return text(SlotDeviceId) + QStringLiteral(" : ") + QString::fromStdString(protocol::DeviceIdText(b.deviceId)) +
           QLatin1Char('\n') + text(SlotFirmwareVersion) + QStringLiteral(" : ") +
           QString::fromStdString(protocol::FirmwareVersionText(b.firmwareVersion)) + QLatin1Char('\n') +
           text(SlotNumberOfFiles) + QStringLiteral(" : ") + QString::number(protocol::RecordCount(b));
}

void MainDeviceControls::SettingsClick()
{
    if (settingsBusy_ || deferWhileStepRuns(settingsDeferred_, &MainDeviceControls::SettingsClick))
        return;
    Guard guard(settingsBusy_);
    if (!requestInfo(false)) {
        showMessage(infoFailureText());
        return;
    }
    if (hooks_.openSettingsDialog)
        hooks_.openSettingsDialog();
    else
        showMessage(recorderSummary());
}

void MainDeviceControls::DownloadClick()
{
    if (downloadBusy_ || deferWhileStepRuns(downloadDeferred_, &MainDeviceControls::DownloadClick))
        return;
    Guard guard(downloadBusy_);
    if (!requestInfo(true)) {
        showMessage(infoFailureText());
        return;
    }
    if (!hooks_.openDownloadDialog) {
        showMessage(recorderSummary());
        return;
    }
    hooks_.openDownloadDialog();
    if (hooks_.afterDownloadDialog)
        hooks_.afterDownloadDialog(board_.download.timeText);
}

ConnectionIndicator MainDeviceControls::MonitorTimer()
{
    ConnectionIndicator view;
    LinkState& s = link_.state();
    if (s.DevicePresence == DeviceAttached) {
        if (s.arrivalStage == 2) {
            view.deviceIdLabel = text(SlotIdNumber) + QStringLiteral(" : ") +
                                 QString::fromStdString(protocol::DeviceIdText(board_.infoBlock.deviceId));
            s.arrivalStage = 0;
        }
        view.update = true;
        view.hint = text(SlotConnected);
        view.picture = QStringLiteral("image/connected.bmp");
    } else if (s.DevicePresence == DeviceDetached) {
        view.update = true;
        view.deviceIdLabel = QString();
        view.hint = text(SlotDisconnected);
        view.picture = QStringLiteral("image/disconnected.bmp");
    }
    return view;
}
