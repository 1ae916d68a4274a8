#pragma once
#include "device/DeviceJobBoard.h"
#include "net/FirmwareFetch.h"

#include <QDialog>
#include <QPointer>
#include <QString>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class SkinPicture;
class SkinPictureButton;
class TMessageBoxForm;

// What the upgrade dialog needs from its owner.
struct UpgradeDialogSetup {
    QString heartletIni;       // HOST_NAME, UPGRADE_ACCOUNT
    QString settingsFolder;    // where "tmp.rom" lives during one attempt (ends with '/')
    int languageId = 1033;
    QString directoryHost;     // empty: HOST_NAME
    quint16 port = 1600;
    firmware::FetchTimings timings;
    upload::Resolver resolver;  // empty: the system's
    device::DeviceJobBoard* board = nullptr;  // the device step's board, for the firmware job
};

// The firmware upgrade dialog: Upgrade fetches the image the update server
// offers, checks it, asks once more and hands it to the device step's
// firmware job, whose progress it shows; then it reports the result. Cancel or
// close during the fetch end it with nothing flashed; while the recorder is
// being written, the dialog cannot be closed.
class TUpgrade : public QDialog {
    Q_OBJECT
public:
    enum class Phase { Idle, Fetching, Asking, Flashing };

    explicit TUpgrade(UpgradeDialogSetup setup, QWidget* parent = nullptr);
    ~TUpgrade() override;

    Phase phase() const { return phase_; }
    // The job state the last firmware job ended with (JobIdle before any).
    std::uint8_t lastJobState() const { return lastJobState_; }

    SkinPicture* BGImg;
    QLabel* TitleLabel;
    SkinPictureButton* CloseBtn;
    QLabel *HeadLabel1, *HeadLabel2, *HeadLabel3, *ProLabel;
    QLabel *ProLabel1_1, *ProLabel1_2, *ProLabel2_1, *ProLabel2_2, *ProLabel3;
    QLabel* lblUpgrade;
    QLabel* FileLabel;
    QProgressBar* CGauge1;
    QPushButton *Upgrade, *Cancel;
    TMessageBoxForm* MsgBox;

public slots:
    void UpgradeClick();
    void CancelClick();
    // Refused while the recorder is being written; ends a fetch under way.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void showMessage(const QString& text);
    void onFetchProgress(qint64 downloaded, quint32 size);
    void onFetched(const firmware::FetchOutcome& outcome);
    void handOver(const device::protocol::FirmwareImage& image);
    void showFlashProgress();
    void lookAtJob();
    void setGauge(double done, double total);
    void backToIdle();
    // While the live stream runs no firmware job can run: says so and returns true.
    bool refusedWhileStreaming();

    UpgradeDialogSetup setup_;
    QPointer<firmware::FirmwareFetch> fetch_;
    QTimer* jobWatch_ = nullptr;
    std::uint32_t ticket_ = 0;  // of this window's firmware request
    Phase phase_ = Phase::Idle;
    std::uint8_t lastJobState_ = device::JobIdle;
};
