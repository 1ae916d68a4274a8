#pragma once
#include <QString>

// The right-hand panel of the main window: the data list above the note box,
// with two layouts, tall (the list nearly fills the panel) and short.
namespace PanelLayout {
inline constexpr int kPanelHeight = 523;     // ShowPanel
inline constexpr int kPanelWidth = 224;      // also Memo1's width
inline constexpr int kTitleHeight = 20;      // DataListImage and FileInfoImage
inline constexpr int kDesignListHeight = 300;
inline constexpr int kShortLookLimit = 310;  // CtlImg shows the short-list looks up to this height
}  // namespace PanelLayout

// True when the list is in its tall layout (the note box would be narrower than
// the panel is wide): ShowPanel - Memo1 width - title - 2 < list height.
bool IsTallDataList(int listHeight);

// The CTL marker stored at close: the marker of the layout NOT on screen, because
// the next start-up toggles once ("2" for the tall layout, "1" for the short one).
QString CtlAtClose(int listHeight);

struct PanelToggle {
    int listHeight;       // new height of DataList
    int shift;            // how far CtlImg, RecordInfoLabel and ChgImg move down (negative: up)
    QString marker;       // the new CTL value
    QString ctlPicture;   // CtlImg's normal look
    QString fileInfoPicture;
};

// One run of the layout toggle for the CTL value read (empty counts as "1"):
// "1" shrinks the list in steps of 2 until it is short, anything else grows it
// in steps of 2 until the note box keeps one pixel.
PanelToggle ToggleDataListLayout(const QString& ctl, int listHeight);

// CtlImg's three looks for a list height: normal and hovered in the short-list
// form up to 310 pixels, pressed in the tall-list form while the list is tall.
struct CtlLooks {
    QString normal, hovered, pressed;
};
CtlLooks CtlLooksFor(int listHeight);
