#pragma once
#include <QDialog>

class QLabel;
class QTimer;
class SkinPicture;

// The welcome window shown while start-up finishes: it adds a dot to
// "Initialisation" on every tick of Timer1 and closes itself on the fourth.
class TWelcome : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTickMs = 500;
    static constexpr int kTicks = 4;

    // tickMs: interval of Timer1 in milliseconds (tests pass a short one).
    explicit TWelcome(QWidget* parent = nullptr, int tickMs = kTickMs);

    int ticks() const { return ticks_; }

    SkinPicture* BGImage;
    QLabel* SubtitleLabel;
    QLabel* VersionLabel;
    QLabel* VerLabel;
    QLabel* InitLabel;
    QTimer* Timer1;

public slots:
    void Timer1Timer();

protected:
    void showEvent(QShowEvent* event) override;

private:
    int ticks_ = 0;
};
