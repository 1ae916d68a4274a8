#pragma once
#include <QColor>
#include <QRect>
#include <span>

// The main window's layout as data: every control with its design position
// (pixels, relative to its parent) and the picture it shows at start.
namespace MainLayout {

inline constexpr int kWidth = 1025;
inline constexpr int kHeight = 660;
inline constexpr int kCornerEllipseWidth = 13;
inline constexpr int kCornerEllipseHeight = 12;
inline constexpr int kChartWidth = 733;  // ECGChart after start-up; height = width / 10 * 6
inline const QColor kLabelGrey{107, 107, 107};

struct Picture {
    const char* name;
    QRect rect;
    const char* picture;  // "" when the display draws into it
    bool visible;
};

// Pictures and picture buttons on the window (not in the panel or scroll box).
std::span<const Picture> WindowPictures();

struct PictureButton {
    const char* name;
    QRect rect;
    const char* normalLook;  // hovered and pressed looks add "-1" and "-2"
    bool visible;
};
std::span<const PictureButton> WindowPictureButtons();

struct Label {
    const char* name;
    QPoint pos;
    int pointSize;
    bool bold;
    bool black;  // otherwise the grey of the layout
    const char* text;  // the layout's own caption; start-up sets the translated ones
};
std::span<const Label> WindowLabels();

struct CommandButton {
    const char* name;
    int left;  // all at top 600, 40 x 40
    bool visible;
    int toolTipSlot;
    const char* normalLook;
};
inline constexpr int kCommandTop = 600;
inline constexpr int kCommandSize = 40;
std::span<const CommandButton> CommandButtons();

// ShowPanel and what it holds.
inline constexpr QRect kShowPanel{795, 31, 224, 523};
inline constexpr QRect kDataListImage{0, 0, 224, 20};
inline constexpr QPoint kDataListLabel{18, 4};
inline constexpr QRect kFileInfoImage{0, 320, 224, 20};
inline constexpr QPoint kRecordInfoLabel{18, 323};
inline constexpr QRect kCtlImg{197, 323, 15, 14};
inline constexpr QRect kChgImg{176, 323, 15, 14};  // hidden, moves with CtlImg

// ScrollBox1 and its content.
inline constexpr QRect kScrollBox1{8, 65, 760, 440};
inline constexpr QRect kMVImage{0, 0, 27, 440};
inline constexpr QRect kECGChart{27, 0, 733, 440};

}  // namespace MainLayout
