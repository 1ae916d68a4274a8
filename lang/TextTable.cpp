#include "lang/TextTable.h"

#include "lang/TextResource.h"

#include <QHash>
#include <algorithm>
#include <utility>

bool TextTable::isSupported(int languageId)
{
    return std::find(kLanguages.begin(), kLanguages.end(), languageId) != kLanguages.end();
}

TextTable::TextTable() : TextTable(ReadEmbeddedTexts) {}

TextTable::TextTable(ResourceReader reader) : reader_(std::move(reader)) {}

void TextTable::SelectLanguage(int languageId)
{
    languageId_ = languageId;
    slots_[kVersionSlot] = QString::fromLatin1(kVersionText);
    source_ = TextSource::None;
    if (!isSupported(languageId) || !reader_)
        return;

    std::optional<QByteArray> data = reader_(languageId);
    source_ = TextSource::Own;
    if (!data) {
        // Better English words than empty captions until the language's file ships.
        data = reader_(kEnglish);
        source_ = TextSource::English;
    }
    if (!data) {
        source_ = TextSource::None;
        return;
    }
    // Malformed lines are skipped; the tests keep the shipped resources free of them.
    for (const TextEntry& entry : ParseTextResource(*data).entries) {
        if (entry.extra)
            extras_[size_t(entry.index)] = entry.text;
        else
            slots_[size_t(entry.index)] = entry.text;
    }
}

QString TextTable::text(int slot) const
{
    return slot >= 0 && slot < kSlotCount ? slots_[size_t(slot)] : QString();
}

QString TextTable::extraText(int index) const
{
    return index >= 0 && index < kExtraCount ? extras_[size_t(index)] : QString();
}

TextTable& TextTable::current()
{
    static TextTable table;
    return table;
}

QString TextForEnglish(const QString& english)
{
    static const QHash<QString, int> slotOfEnglish = [] {
        QHash<QString, int> bySlotText;
        if (const std::optional<QByteArray> data = ReadEmbeddedTexts(TextTable::kEnglish)) {
            for (const TextEntry& entry : ParseTextResource(*data).entries) {
                if (!entry.extra && !bySlotText.contains(entry.text))
                    bySlotText.insert(entry.text, entry.index);
            }
        }
        return bySlotText;
    }();
    const auto found = slotOfEnglish.constFind(english);
    if (found == slotOfEnglish.constEnd())
        return english;
    const QString text = TextOf(found.value());
    return text.isEmpty() ? english : text;
}
