#pragma once
#include <QList>
#include <QLocale>
#include <QString>
#include <optional>

// The language text of setinfo.ini: its whole content with blanks at both ends
// removed, or "1033" when the file is missing.
QString ReadLanguageText(const QString& setInfoPath);

// The identifier the text names; 1033 when it is not a decimal number.
int LanguageIdOf(const QString& languageText);

// Where the language of this start comes from.
struct LanguageRequest {
    std::optional<int> chosen;        // given on the command line (one of the 24): used and kept
    QLocale desktop = QLocale::c();   // the desktop's locale, for a first start without setinfo.ini
};

// The language text of this start, and whether setinfo.ini is to be written
// with it (a language chosen on the command line, or the one nearest to the
// desktop's locale when the file is missing). An existing file is used as it is.
struct LanguageDecision {
    QString languageText;
    bool write = false;
};
LanguageDecision ChooseLanguage(const QString& setInfoPath, const LanguageRequest& request);

// Writes the identifier as setinfo.ini's whole content ("1031"); false when it cannot be written.
bool WriteLanguageFile(const QString& setInfoPath, int languageId);

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
