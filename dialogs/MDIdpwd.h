#pragma once
#include <QDialog>
#include <QString>
#include <QUrl>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class SkinPicture;
class SkinPictureButton;
class TMessageBoxForm;

// The account dialog: the e-mail address and password for the web service,
// kept in Heartlet.ini when REM is "2", and the way to the service's
// registration page. The upload opens it when no credentials are stored or
// the service refused them; the Account command opens it on its own.
class TIdPwd : public QDialog {
    Q_OBJECT
public:
    static constexpr char kRegisterPage[] = "https://www.talmon-ecg.example/register";

    // `heartletIni`: the configuration file; `openUrl` opens the registration
    // page (empty: the desktop's "open").
    TIdPwd(QString heartletIni, std::function<bool(const QUrl&)> openUrl = {}, QWidget* parent = nullptr);

    // AccountDialogResult: 0 not closed yet, 1 OK, 2 Cancel or the close button.
    int accountDialogResult() const { return result_; }
    const QString& enteredAccount() const { return account_; }
    const QString& enteredPassword() const { return password_; }

    SkinPicture* BGImage;
    QLabel* TitleLabel;
    SkinPictureButton* CloseBtn;
    QLabel *AccountLabel, *PasswordLabel, *RegisterLinkLabel, *RegisterLabel, *RegisterLabel1, *RegisterLabel2;
    QLineEdit *ID, *Password;
    QCheckBox* Remember;  // never shown: REM decides
    QPushButton *OK, *Cancel;

public slots:
    void Button1Click();
    void CancelClick();
    void openRegistration();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void tell(const QString& text);

    QString heartletIni_;
    std::function<bool(const QUrl&)> openUrl_;
    QString account_, password_;
    int result_ = 0;
    TMessageBoxForm* msgBox_ = nullptr;
};
