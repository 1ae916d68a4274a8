#pragma once
#include "lang/Words.h"

#include <QList>
#include <QString>

class QWidget;

// How a control's place relates to its text.
enum class TextSizing {
    FollowsText,  // the control is resized to its text (a label after adjustSize)
    Fixed,        // the control keeps its size; a longer text is cut
};

// Shows the text-table slot's text, followed by `suffix`, in a label or push
// button, and notes on the control which slot it shows, how it is sized and the
// longest text it will show (the slot's text followed by `longestSuffix`, for a
// caption that grows while the window is open), so the texts of every language
// can be measured against the control's place.
void ShowSlotText(QWidget* control, int slot, TextSizing sizing, const QString& suffix = {},
                  const QString& longestSuffix = {});

// Notes the same on a control that shows its text later (a caption that is
// empty at start-up), without changing what it shows now.
void NoteSlotText(QWidget* control, int slot, TextSizing sizing, const QString& longestSuffix = {});

// The same for a text of the word table: shows it and notes the word.
void ShowWordText(QWidget* control, Word word, TextSizing sizing);

// One text measured against the room its control has.
struct TextFit {
    QString control;  // the control's object name; a tool tip adds " tool tip"
    int slot = -1;    // text-table slot; -1 for a caption not from the table
    QString word;     // the word's key, for a text of the word table
    QString text;     // the longest text the control shows
    int width = 0;    // pixels the text needs in the control's font
    int room = 0;     // pixels the control's place gives it
    bool fits() const { return width <= room; }
};

// Measures, in the current language, every text of `window` that the user reads
// in a fixed place: captions noted by ShowSlotText/NoteSlotText/ShowWordText, the captions of
// visible push buttons, and the tool tips of picture buttons.
// Room of a label: from its left edge to the nearest visible neighbour on its
// line (a control under the label's first point is its backdrop, not a
// neighbour) or to the parent's right edge; a label of fixed size is also cut
// at its own width. Room of a push button: its width less its frame and padding.
// Room of a tool tip: the window's width. A tip grows with its text and is
// moved along to stay on the screen, so nothing cuts it; a tip wider than the
// window it explains would cover the desktop beside it.
QList<TextFit> MeasureSlotTexts(const QWidget& window);
