#pragma once
#include "device/DeviceEnvironment.h"
#include "device/DeviceJobBoard.h"
#include "device/Link.h"
#include <QString>
#include <functional>
#include <memory>
#include <optional>

// The main window's device handlers without the widgets: the Settings and
// Download buttons (information read, then their dialogs) and the monitor
// timer (connection picture and the hidden device-ID label). The window calls
// these from its click and timer handlers and applies what they return.

namespace device {

// Text-table slots these handlers show.
constexpr int SlotDisconnected = 18;
constexpr int SlotConnected = 19;
constexpr int SlotIdNumber = 93;
constexpr int SlotCheckDeviceConnected = 118;

struct MainWindowDeviceHooks {
    // The current language's text of a slot; when empty, the English text is used.
    std::function<QString(int slot)> text;
    // Discards and re-creates the window's message box before a request.
    std::function<void()> recreateMessageBox;
    // Shows a text in the window's message box with an OK button.
    std::function<void(const QString& text)> showMessage;
    // Open the dialogs modally after a successful read. While a dialog is not there yet, the
    // recorder's information is shown in the message box instead.
    std::function<void()> openSettingsDialog;
    std::function<void()> openDownloadDialog;
    // After the download dialog closed: rebuild the data list, select the recording named timeText
    // when it is not empty, and open the selected recording.
    std::function<void(const QString& timeText)> afterDownloadDialog;
};

// What the monitor timer asks the window to show. Nothing changes when `update` is false.
struct ConnectionIndicator {
    bool update = false;
    QString picture;  // "image/connected.bmp" or "image/disconnected.bmp"
    QString hint;     // "Connected" / "Disconnected" in the current language
    // New text of the hidden DeviceIDLabel; nullopt leaves it as it is.
    std::optional<QString> deviceIdLabel;
};

class MainDeviceControls {
public:
    MainDeviceControls(DeviceJobBoard& board, Link& link, DeviceEnvironment& env, MainWindowDeviceHooks hooks);
    ~MainDeviceControls();
    MainDeviceControls(const MainDeviceControls&) = delete;
    MainDeviceControls& operator=(const MainDeviceControls&) = delete;

    // Settings button. Ignored while a press of it is still waiting. A press that arrives while a
    // device step is in progress is served once the step is over.
    void SettingsClick();
    // Download button, with its own guard and the same deferral.
    void DownloadClick();
    // The 1000 ms monitor timer.
    ConnectionIndicator MonitorTimer();

    bool settingsBusy() const { return settingsBusy_; }
    bool downloadBusy() const { return downloadBusy_; }

private:
    QString text(int slot) const;
    bool requestInfo(bool clearBlockAfterRequest);
    void showMessage(const QString& text);
    // True when the press was put off until the running device step is over.
    bool deferWhileStepRuns(bool& deferred, void (MainDeviceControls::*press)());

    DeviceJobBoard& board_;
    Link& link_;
    DeviceEnvironment& env_;
    MainWindowDeviceHooks hooks_;
    bool settingsBusy_ = false;
    bool downloadBusy_ = false;
    bool settingsDeferred_ = false;
    bool downloadDeferred_ = false;
    // Lets a press still waiting in the message queue find out that the controls are gone.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace device
