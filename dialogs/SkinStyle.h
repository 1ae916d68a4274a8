#pragma once
#include <QFont>
#include <QString>

// The look shared by the skinned windows' push buttons (style sheet text).
QString SkinButtonStyle();

// The windows' font: Tahoma where installed, else a sans-serif of close metrics,
// at `pointSize` points.
QFont SkinFont(const QFont& base, int pointSize, bool bold = false);
