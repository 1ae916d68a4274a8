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
// timer (connection picture and the hidden device-ID label). The device layer
// reports facts (presence, the job's end state and why it failed); these
// handlers choose the words and pictures. The window calls them from its click
// and timer handlers and applies what they return.

// Text-table slots these handlers show.
constexpr int SlotDisconnected = 18;
constexpr int SlotConnected = 19;
constexpr int SlotDeviceId = 51;
constexpr int SlotFirmwareVersion = 71;
constexpr int SlotNumberOfFiles = 36;
constexpr int SlotIdNumber = 93;
constexpr int SlotCheckDeviceConnected = 118;

struct MainWindowDeviceHooks {
    // The current language's text of a slot; when empty, the English text is used.
    std::function<QString(int slot)> text;
    // Discards and re-creates the window's message box before a request.
    std::function<void()> recreateMessageBox;
    // Shows a text in the window's message box with an OK button.
    std::function<void(const QString& text)> showMessage;
    // Open the dialogs modally after a successful read (the board holds the fresh information
    // block). While a dialog is not given, a short summary of the recorder is shown instead.
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
    MainDeviceControls(device::DeviceJobBoard& board, device::Link& link, device::DeviceEnvironment& env,
                       MainWindowDeviceHooks hooks);
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
    // The message for a failed information read: the remedy when the bridge may not be opened.
    QString infoFailureText() const;
    QString recorderSummary() const;
    void showMessage(const QString& text);
    // True when the press was put off until the running device step is over.
    bool deferWhileStepRuns(bool& deferred, void (MainDeviceControls::*press)());

    device::DeviceJobBoard& board_;
    device::Link& link_;
    device::DeviceEnvironment& env_;
    MainWindowDeviceHooks hooks_;
    bool settingsBusy_ = false;
    bool downloadBusy_ = false;
    bool settingsDeferred_ = false;
    bool downloadDeferred_ = false;
    // Lets a press still waiting in the message queue find out that the controls are gone.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
