#pragma once
#include "dialogs/MDBase.h"
#include "dialogs/MessageBoxLayout.h"

#include <QList>
#include <cstdint>
#include <functional>

class QLabel;
class QPushButton;
class QWidget;

// The program's message box: a skinned frame with a white panel holding a
// picture and the message, localized titles and button captions. Each window
// that shows messages creates one and keeps it; it may be shown any number of
// times, with a new layout and new buttons each time.
class TMessageBoxForm : public TBaseForm {
    Q_OBJECT
public:
    explicit TMessageBoxForm(QWidget* parent = nullptr);

    // Lays the box out for `text`, shows it modally with the `buttons` captioned
    // in `languageId` and returns the result code of the button that closed it
    // (1 OK, 2 Cancel, see MsgResultCode); the close button and Escape return 2.
    std::uint8_t ShowMessageBox(const QString& text, MsgKind kind, int languageId, MsgButtons buttons);

    // The result code of the latest click in any message box.
    static std::uint8_t resultCode() { return resultCode_; }

    // Replaces the modal wait, for tests and headless runs: called with the laid-out
    // box instead of exec(); it answers through clickButton() or closeByCloseButton().
    // Pass an empty function to restore the modal wait.
    using ModalRunner = std::function<void(TMessageBoxForm&)>;
    static void setModalRunner(ModalRunner runner);

    // The buttons of the current showing, in table order (empty when not showing).
    const QList<QPushButton*>& buttons() const { return buttons_; }
    QPushButton* button(MsgButton kind) const;
    bool clickButton(MsgButton kind);
    void closeByCloseButton();
    int shownLanguage() const { return languageId_; }

    QWidget* Panel1;
    SkinPicture* MsgImg;
    QLabel* Msg;

public slots:
    void reject() override;

protected:
    void closeImgClick() override;

private:
    void setResult(std::uint8_t code);

    static std::uint8_t resultCode_;
    static ModalRunner modalRunner_;
    QList<QPushButton*> buttons_;
    QList<MsgButton> buttonKinds_;
    int languageId_ = 0;
};
