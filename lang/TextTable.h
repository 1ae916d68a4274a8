#pragma once
#include <QString>
#include <array>

// The user-interface texts of one language, addressed by slot number.
// Filled once at start-up by SelectLanguage; read-only afterwards.
class TextTable {
public:
    static constexpr int kSlotCount = 171;   // slots 0..170
    static constexpr int kExtraCount = 4;    // extra 0..3 (account registration note)
    static constexpr int kVersionSlot = 79;

    // Stores the identifier, sets the version slot, then fills every slot the
    // language defines. An unknown identifier leaves all but the version slot as they were.
    void SelectLanguage(int languageId);

    int languageId() const { return languageId_; }
    // The slot's text; empty for a slot never filled or out of range.
    QString text(int slot) const;
    QString extraText(int index) const;

    // The program-wide table that windows read.
    static TextTable& current();

private:
    int languageId_ = 0;
    std::array<QString, kSlotCount> slots_{};
    std::array<QString, kExtraCount> extras_{};
};

// Shorthand for windows: the current table's slot text.
inline QString TextOf(int slot) { return TextTable::current().text(slot); }
