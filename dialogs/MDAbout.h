#pragma once
#include <QDialog>

class QLabel;
class QPushButton;
class SkinPicture;
class SkinPictureButton;

// The small information window of the About command: the software version on
// the program's own background, closed by its close picture or OK.
class TAbout : public QDialog {
    Q_OBJECT
public:
    explicit TAbout(QWidget* parent = nullptr);

    SkinPicture* BGImage;
    QLabel* TitleLabel;
    SkinPictureButton* CloseBtn;
    QLabel* SubtitleLabel;
    QLabel* VersionLabel;
    QLabel* VerLabel;
    QPushButton* OK;
};
