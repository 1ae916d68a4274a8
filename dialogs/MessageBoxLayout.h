#pragma once
#include <QList>
#include <QRect>
#include <QString>
#include <cstdint>
#include <initializer_list>

// Kinds of message; each gives the box its default title and picture.
enum class MsgKind : int { Warning = 0, Error = 1, Information = 2, Confirmation = 3, Plain = 4 };

// Button kinds in their fixed order (left to right in the box).
enum class MsgButton : int { Yes, No, OK, Cancel, Abort, Retry, Ignore, All, NoToAll, YesToAll, Help };
constexpr int kMsgButtonCount = 11;

// A set of button kinds: MsgButtons{MsgButton::OK, MsgButton::Cancel}.
class MsgButtons {
public:
    constexpr MsgButtons() = default;
    constexpr MsgButtons(std::initializer_list<MsgButton> kinds)
    {
        for (MsgButton k : kinds)
            bits_ |= 1u << static_cast<int>(k);
    }
    constexpr bool contains(MsgButton k) const { return bits_ & (1u << static_cast<int>(k)); }

private:
    unsigned bits_ = 0;
};

// The result code a click on the button returns (OK 1, Cancel 2, Yes 6 ... Help 236).
std::uint8_t MsgResultCode(MsgButton button);

// The button's caption in the language: the language's caption table, or the
// standard captions (with access-key ampersands) for 1033 and any language without one.
QString MsgButtonCaption(MsgButton button, int languageId);

// The title a box gets at its first showing; empty for MsgKind::Plain.
QString MsgDefaultTitle(MsgKind kind, int languageId);

// Geometry of a box for one text, in pixels of the box's own coordinates
// (message and picture positions are relative to the panel).
struct MessageBoxGeometry {
    int longestLine = 0;  // characters of the longest line, before the minimum of 40
    int width = 0;        // W = 32 + 2 * 34 + 6 * max(longestLine, 40)
    int height = 0;       // H = W * 2 / 7, at least 175
    QRect panel;          // 4, 27, (W - 8) x (H - 69)
    int msgLeft = 80;
    int msgWidth = 0;     // W - 66: the width at which the text wraps
    int pictureLeft = 34;
};
MessageBoxGeometry MessageBoxGeometryFor(const QString& text);

// Top that centres a control of `controlHeight` in a panel of `panelHeight`
// (each half cut toward zero).
int CentredTop(int panelHeight, int controlHeight);

// Each requested button with its 66 x 22 rectangle, in table order; right-aligned
// in one row from x = W - 76, y = H - 32, 72 pixels apart.
struct PlacedMsgButton {
    MsgButton kind;
    QRect rect;
};
QList<PlacedMsgButton> MessageBoxButtonPlaces(int width, int height, MsgButtons buttons);
