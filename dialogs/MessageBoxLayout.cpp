#include "dialogs/MessageBoxLayout.h"

#include <QStringList>
#include <algorithm>
#include <array>

namespace {

constexpr std::array<std::uint8_t, kMsgButtonCount> kResultCodes = {6, 7, 1, 2, 3, 4, 5, 8, 9, 10, 236};

const std::array<const char*, kMsgButtonCount> kStandardCaptions = {
    "&Yes", "&No", "OK", "Cancel", "&Abort", "&Retry", "&Ignore", "&All", "N&o to All", "Yes to &All", "&Help"};

// Languages whose table keeps the English words without access keys and
// translates only Cancel (and, for Turkish, OK).
struct CancelCaption {
    int languageId;
    const char* cancel;  // UTF-8
};
constexpr std::array<CancelCaption, 22> kCancelCaptions = {{
    {1031, "Abbrechen"},
    {1026, "Отказ"},        // Bulgarian
    {1050, "Prekid"},
    {1029, "Storno"},
    {1030, "Afbryd"},
    {1043, "Annul."},
    {1035, "Keskeyta"},
    {1036, "Annuler"},
    {1032, "Άκυρο"},        // Greek
    {1038, "Megse"},
    {1040, "Interr"},
    {1044, "Avbryt"},
    {1045, "Przerwij"},
    {1046, "Cancelar"},
    {1048, "Intrerupere"},
    {1049, "Отмена"},       // Russian
    {2074, "Otkaži"},       // Serbian (Latin)
    {1051, "Zrušiť"},       // Slovak
    {3082, "Cancelar"},
    {1055, "İptal"},        // Turkish
    {1053, "Avbryt"},
    {1060, "Prekinitev"},
}};

const std::array<const char*, kMsgButtonCount> kTableWords = {
    "Yes", "No", "OK", nullptr, "Abort", "Retry", "Ignore", "All", "NoToAll", "YesToAll", "Help"};

const std::array<const char*, kMsgButtonCount> kChineseCaptions = {
    "是", "否", "確認", "取消", "放棄", "重試", "忽略", "全部", "全部為 '否'", "全部為 '是'", "說明"};

}  // namespace

std::uint8_t MsgResultCode(MsgButton button)
{
    return kResultCodes[static_cast<size_t>(button)];
}

QString MsgButtonCaption(MsgButton button, int languageId)
{
    const auto index = static_cast<size_t>(button);
    if (languageId == 1028)
        return QString::fromUtf8(kChineseCaptions[index]);
    for (const CancelCaption& entry : kCancelCaptions) {
        if (entry.languageId != languageId)
            continue;
        if (button == MsgButton::Cancel)
            return QString::fromUtf8(entry.cancel);
        if (button == MsgButton::OK && languageId == 1055)
            return QStringLiteral("TAMAM");
        return QString::fromLatin1(kTableWords[index]);
    }
    return QString::fromLatin1(kStandardCaptions[index]);
}

QString MsgDefaultTitle(MsgKind kind, int languageId)
{
    const bool chinese = languageId == 1028;
    switch (kind) {
    case MsgKind::Warning:
        return chinese ? QStringLiteral("警告") : QStringLiteral("Warning");
    case MsgKind::Error:
        return chinese ? QStringLiteral("錯誤") : QStringLiteral("Error");
    case MsgKind::Information:
        return chinese ? QStringLiteral("訊息") : QStringLiteral("Information");
    case MsgKind::Confirmation:
        return chinese ? QStringLiteral("確認") : QStringLiteral("Confirmation");
    case MsgKind::Plain:
        break;
    }
    return QString();
}

MessageBoxGeometry MessageBoxGeometryFor(const QString& text)
{
    MessageBoxGeometry g;
    for (const QString& line : text.split(QLatin1Char('\n')))
        g.longestLine = std::max(g.longestLine, static_cast<int>(line.size()));
    const int chars = std::max(g.longestLine, 40);
    g.width = 32 + 2 * 34 + 6 * chars;
    g.height = std::max(g.width * 2 / 7, 175);
    g.panel = QRect(4, 27, g.width - 8, g.height - 69);
    g.msgWidth = g.width - 66;
    return g;
}

int CentredTop(int panelHeight, int controlHeight)
{
    return panelHeight / 2 - controlHeight / 2;
}

QList<PlacedMsgButton> MessageBoxButtonPlaces(int width, int height, MsgButtons buttons)
{
    QList<PlacedMsgButton> placed;
    int x = width - 76;
    const int y = height - 32;
    for (int k = kMsgButtonCount - 1; k >= 0; --k) {
        const auto kind = static_cast<MsgButton>(k);
        if (!buttons.contains(kind))
            continue;
        placed.prepend({kind, QRect(x, y, 66, 22)});
        x -= 72;
    }
    return placed;
}
