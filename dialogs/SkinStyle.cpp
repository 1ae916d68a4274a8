#include "dialogs/SkinStyle.h"

#include <QStringList>

QString SkinButtonStyle()
{
    return QStringLiteral(
        "QPushButton { background: rgb(246, 248, 250); border: 1px solid rgb(150, 164, 178); border-radius: 3px;"
        " color: rgb(40, 48, 56); }"
        "QPushButton:hover { background: rgb(228, 238, 246); border-color: rgb(70, 120, 160); }"
        "QPushButton:pressed { background: rgb(206, 222, 236); }"
        "QPushButton:focus { border-color: rgb(70, 120, 160); }"
        "QPushButton:disabled { color: rgb(160, 166, 172); border-color: rgb(200, 206, 212); }");
}

QStringList SkinFontFamilies()
{
    // Tahoma where a user has it; otherwise Liberation Sans (Latin, Greek,
    // Cyrillic; Arial's metrics, the installed fonts' closest to Tahoma);
    // DejaVu Sans for the rest of those scripts and the Roman numerals of the
    // lead names; WenQuanYi Micro Hei for Chinese. All but Tahoma are installed
    // with the program's fonts, and the texts are fitted with them.
    return {"Tahoma", "Liberation Sans", "DejaVu Sans", "WenQuanYi Micro Hei"};
}

QFont SkinFont(const QFont& base, int pointSize, bool bold)
{
    QFont f = base;
    f.setFamilies(SkinFontFamilies());
    f.setPointSize(pointSize);
    f.setBold(bold);
    return f;
}
