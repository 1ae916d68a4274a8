#include "app/MainLayout.h"

#include <array>

namespace MainLayout {

std::span<const Picture> WindowPictures()
{
    static const std::array<Picture, 14> pictures = {{
        {"LeadImage", {17, 35, 66, 15}, "", true},
        {"ECGChart1", {28, 50, 742, 15}, "", true},
        {"ECGChart2", {769, 50, 17, 455}, "", true},
        {"ECGChart4", {383, 520, 40, 20}, "", true},
        {"ECGChart3", {700, 520, 70, 13}, "", true},
        {"Connected", {984, 568, 23, 15}, "image\\disconnected.bmp", true},
        {"HRImage", {110, 598, 12, 10}, "image\\heart.bmp", true},
        {"UnstableImg", {28, 615, 72, 14}, "image\\unstableSignals.bmp", false},
        {"OK", {336, 604, 45, 27}, "image\\Wave-ic01.bmp", true},
        {"Slow", {387, 604, 45, 27}, "image\\Wave-ic02.bmp", true},
        {"Fast", {438, 604, 45, 27}, "image\\Wave-ic03.bmp", true},
        {"Pause", {493, 604, 45, 27}, "image\\Wave-ic04.bmp", true},
        {"Rhythm", {544, 604, 45, 27}, "image\\Wave-ic05.bmp", true},
        {"Waveform", {595, 604, 45, 27}, "image\\Wave-ic06.bmp", false},
    }};
    return pictures;
}

std::span<const PictureButton> WindowPictureButtons()
{
    static const std::array<PictureButton, 7> buttons = {{
        {"CloseBtn", {992, 5, 19, 17}, "image\\UI-ic03.bmp", true},
        {"MinBtn", {970, 5, 17, 17}, "image\\UI-ic02.bmp", true},
        {"Internet", {944, 3, 20, 20}, "image\\Sys_icweb.bmp", false},
        {"ZoomOut", {357, 520, 20, 20}, "image\\Graph_ic02.bmp", false},
        {"ZoomIn", {432, 520, 20, 20}, "image\\Graph_ic01.bmp", false},
        {"Recover", {458, 520, 20, 20}, "image\\Graph_ic03.bmp", false},
        {"ECGColor", {35, 522, 14, 14}, "image\\change-ecg color-p.bmp", false},
    }};
    return buttons;
}

std::span<const Label> WindowLabels()
{
    static const std::array<Label, 7> labels = {{
        {"RecordDataLabel", {27, 569}, 7, true, false, "Recorded on"},
        {"RecordDate", {100, 569}, 7, true, false, ""},
        {"ConnLabe", {883, 569}, 7, true, false, "Connection status:"},
        {"HRLabel", {27, 596}, 8, true, false, "Heart rate"},
        {"HeartRate", {150, 594}, 25, true, false, ""},
        {"bpmLabel", {193, 616}, 8, false, false, "(bpm)"},
        {"DeviceIDLabel", {758, 586}, 7, false, false, ""},
    }};
    return labels;
}

std::span<const CommandButton> CommandButtons()
{
    static const std::array<CommandButton, 8> buttons = {{
        {"Download", 787, true, 17, "image\\Main_ic-download.bmp"},
        {"Settings", 834, true, 13, "image\\Main_ic-settings.bmp"},
        {"Printer1", 881, true, 25, "image\\Main_ic-print.bmp"},
        {"About", 922, true, 87, "image\\Main_ic-about.bmp"},
        {"Delete", 962, true, 15, "image\\Main_ic-delete.bmp"},
        {"Upload", 693, false, 16, "image\\Main_ic-upload.bmp"},
        {"Help", 740, false, 27, "image\\Main_ic-help.bmp"},
        {"Account", 648, false, 22, "image\\Main_ic-account.bmp"},
    }};
    return buttons;
}

}  // namespace MainLayout
