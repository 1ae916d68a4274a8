#pragma once
#include "device/DeviceEnvironment.h"
#include "device/DeviceJobBoard.h"
#include "device/SettingsForm.h"

#include <QDialog>

class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimeEdit;
class QTimer;
class SkinPicture;
class SkinPictureButton;
class TMessageBoxForm;

// The recorder settings window: the clock (the computer's or the pickers'),
// the two beeps, Default, and the recorder's ID and firmware version. The
// alarm thresholds, sensitivity, DC offset and ID travel in hidden fields as
// the recorder reported them. OK checks the fields, asks the device step for
// the settings job and waits for it without a nested loop: it polls the job
// board every 300 ms while the window's own event loop runs.
class TSetting : public QDialog {
    Q_OBJECT
public:
    // Filled from info, the block the information read just brought; board and env belong to the
    // device side and outlive the window.
    TSetting(const device::protocol::DEVICE_INFO_BLOCK& info, device::DeviceJobBoard& board,
             device::DeviceEnvironment& env, QWidget* parent = nullptr);

    // The fields as they stand (hidden ones included), and back.
    device::SettingsForm form() const;
    void setForm(const device::SettingsForm& form);

    // The window's own message box (tests answer it through its modal runner).
    TMessageBoxForm* messageBox() const { return MsgBox; }
    // True while OK waits for the settings job.
    bool waiting() const;

    SkinPicture* BGImg;
    QLabel* TitleLabel;
    SkinPictureButton* CloseBtn;
    QGroupBox* GroupBox1;
    QRadioButton *_1RadioBtn, *_2RadioBtn;
    QLabel* SyncPC;
    QDateEdit* DatePicker;
    QTimeEdit* TimePicker;
    QGroupBox* KeyGroupBox;
    QRadioButton *KeyVolOn, *KeyVolOff;
    QGroupBox* HeartGroupBox;
    QRadioButton *HeartVolOn, *HeartVolOff;
    QGroupBox* DefGroupBox;
    QPushButton* Default;
    QLabel* DefSetLabel;
    QGroupBox* DeviceInfoGroupBox;
    QLabel *DeviceIDLabel, *FirmwareVer;
    QPushButton *OK, *Cancel;
    // Hidden: what the recorder reported, sent back unless Default replaces it.
    QLineEdit *Tachycardia, *Bradycardia, *Pause;
    QLabel *TachyLabel, *BradyLabel, *PauseLabel;
    QGroupBox* RhythmGroupBox;
    QRadioButton *RSensitivityH, *RSensitivityM, *RSensitivityL;
    QLineEdit *DCOffsetEdit, *DeviceIDEdit;
    QLabel *DCOffsetLabel, *DeviceIDL, *MIDLabel1;

    void OKClick();
    void DefaultClick();

private:
    void buildControls();
    void fillTexts(const device::protocol::DEVICE_INFO_BLOCK& info);
    void pollJob();
    void showMessage(const QString& text);

    device::DeviceJobBoard& board_;
    device::DeviceEnvironment& env_;
    std::uint32_t recorderId_;
    TMessageBoxForm* MsgBox;
    QTimer* jobPoll_;
    std::uint32_t ticket_ = 0;  // of this window's settings request
};
