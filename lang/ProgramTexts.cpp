#include "lang/ProgramTexts.h"

QString DeviceAccessDeniedText()
{
    return QStringLiteral(
        "The ECG device is connected, but this user may not open it.\n"
        "Install the program's udev rule 60-talmon-ecg.rules (cmake --install puts it in "
        "<prefix>/lib/udev/rules.d; for a prefix other than /usr copy it to /etc/udev/rules.d and run "
        "udevadm control --reload), then plug the recorder in again.");
}

QString DeviceStreamingText()
{
    return QStringLiteral("The ECG device is streaming its live signal. Press Stop first.");
}
