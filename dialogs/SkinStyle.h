#pragma once
#include <QFont>
#include <QString>
#include <QStringList>

// The look shared by the skinned windows' push buttons (style sheet text).
QString SkinButtonStyle();

// The font families of the windows, in the order glyphs are looked for: one
// for every script of the program's languages.
QStringList SkinFontFamilies();

// The windows' font: Tahoma where installed, else a sans-serif of close metrics,
// at `pointSize` points.
QFont SkinFont(const QFont& base, int pointSize, bool bold = false);
