#pragma once
#include "device/DeviceEnvironment.h"
#include "device/DeviceJobBoard.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class SkinPicture;
class SkinPictureButton;
class TMessageBoxForm;

// The download dialog: how many recordings and bytes the recorder holds, a
// row per recording that fills as each arrives, the gauge of the current one,
// the option to erase the recorder afterwards, Download and Cancel. It asks
// the device step for the download job and, when every recording is home and
// the option is ticked, for the erase.
class TDownload : public QDialog {
    Q_OBJECT
public:
    // board: its information block is the one just read; env: the program's message pump.
    TDownload(device::DeviceJobBoard& board, device::DeviceEnvironment& env, int languageId, QWidget* parent = nullptr);
    ~TDownload() override;

    // Recordings the information block reports (full count).
    std::uint32_t recordCount() const { return count_; }

    SkinPicture* BGImg;
    QLabel* TitleLabel;
    SkinPictureButton* CloseBtn;
    QLabel* DeviceIDLabel;
    QLabel* TotalFileLabel;
    QLabel* TotalSizeLabel;
    QListWidget* DataList;
    QProgressBar* CGauge1;
    QLabel* FileLabel;
    QCheckBox* AutoDel;
    QPushButton* OK;
    QPushButton* Cancel;
    TMessageBoxForm* MsgBox;

    void OKClick();
    void CancelClick();

protected:
    void reject() override;

private:
    void FormCreate();
    void showProgress();
    void showMessage(const QString& text);

    device::DeviceJobBoard& board_;
    device::DeviceEnvironment& env_;
    int languageId_;
    std::uint32_t count_ = 0;
    // OKClick is waiting for a job: Cancel and close then only ask the job to stop, and the dialog
    // closes when OKClick is done, never under its own feet.
    bool busy_ = false;
    // A press handed back to the message loop while a device step ran, not yet served.
    bool deferred_ = false;
    std::size_t settledRows_ = 0;
};
