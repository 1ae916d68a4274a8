#pragma once
#include <QList>
#include <QString>

// The language text of setinfo.ini: its whole content with blanks at both ends
// removed, or "1033" when the file is missing.
QString ReadLanguageText(const QString& setInfoPath);

// The identifier the text names; 1033 when it is not a decimal number.
int LanguageIdOf(const QString& languageText);

// One control's new left edge, in pixels of its parent.
struct LeftEdge {
    const char* control;
    int left;
    bool operator==(const LeftEdge& other) const;
};

// Positions set before the captions, by the language text compared as text
// ("01033" is not "1033"): DeviceIDLabel, ConnLabe, and RecordDate for all but "1028".
QList<LeftEdge> FirstLanguagePositions(const QString& languageText);

// Positions set at the end of start-up (HRImage, HeartRate, bpmLabel and a few
// language-specific ones); empty for a language text outside the table.
QList<LeftEdge> SecondLanguagePositions(const QString& languageText);
