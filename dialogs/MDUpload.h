#pragma once
#include "net/UploadTypes.h"

#include <QDialog>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <optional>
#include <vector>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class SkinPicture;
class SkinPictureButton;
class TMessageBoxForm;
namespace upload {
class UploadSession;
}

// What the upload dialog needs from its owner.
struct UploadDialogSetup {
    QStringList recordings;   // full paths of the ticked recordings, in data-list order
    QString heartletIni;      // HOST_NAME, ACCOUNT, PASSWORD, REM; HOST_IP is written
    int languageId = 1033;
    QString directoryHost;    // empty: HOST_NAME
    quint16 port = 1600;
    upload::Timings timings;
    upload::Resolver resolver;  // empty: the system's
    // Shows the account dialog; nullopt when it was cancelled. Empty: TIdPwd.
    std::function<std::optional<std::pair<QString, QString>>()> askAccount;
    std::function<bool(const QUrl&)> openUrl;  // for the account dialog's registration link
};

// The upload dialog: the ticked recordings with their number and total size,
// the delete-after-upload option, the upload with progress per content piece,
// marking or deleting what was delivered, and the outcome.
class TUpload : public QDialog {
    Q_OBJECT
public:
    explicit TUpload(UploadDialogSetup setup, QWidget* parent = nullptr);
    ~TUpload() override;

    // Set by Upload, cleared by Cancel and the close button.
    bool uploadAttempted() const { return uploadAttempted_; }
    // Set at the outcome with AutoDel ticked: the list may drop entries whose file is gone.
    bool removeEntries() const { return removeEntries_; }
    bool running() const;
    double totalSize() const { return totalSize_; }

    SkinPicture* BGImg;
    QLabel* TitleLabel;
    SkinPictureButton* CloseBtn;
    QLabel *TotalFileLabel, *TotalSizeLabel, *FileLabel;
    QTreeWidget* DataList;
    QCheckBox* AutoDel;
    QProgressBar* CGauge1;
    QPushButton *OK, *Cancel;
    TMessageBoxForm* MsgBox;

public slots:
    void OKClick();
    void CancelClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void FormCreate();
    void showMessage(const QString& text, bool withCancel = false, int* answer = nullptr);
    void enableButtons(bool autoDel);
    int rowOf(int runIndex) const;
    void onPiece(int runIndex, qint64 bytes);
    void onTurnEnded(int runIndex);
    void onSettled(const upload::FileReport& report);
    void onFinished(const upload::Outcome& outcome);
    void onOverwriteQuestion();
    std::optional<std::pair<QString, QString>> askAccount();

    UploadDialogSetup setup_;
    QPointer<upload::UploadSession> session_;
    double totalSize_ = 0;
    double sentCount_ = 0;
    bool uploadAttempted_ = false;
    bool removeEntries_ = false;
    bool closeWhenStopped_ = false;
    QStringList unreadable_;
    bool noteReplaced_ = false;
    bool deletedSomething_ = false;
    // Recordings an earlier try of this dialog delivered.
    QSet<QString> delivered_;
    // The list position of each recording of the running try.
    std::vector<int> runRows_;

};
