#pragma once
#include <QByteArray>
#include <QString>
#include <array>
#include <functional>
#include <optional>

// The user-interface texts of one language, addressed by slot number.
// Filled once at start-up by SelectLanguage; read-only afterwards.
class TextTable {
public:
    static constexpr int kSlotCount = 171;   // slots 0..170
    static constexpr int kExtraCount = 4;    // extra 0..3 (account registration note)
    static constexpr int kVersionSlot = 79;
    static constexpr char kVersionText[] = "1.20.25";  // slot 79 in every language
    static constexpr int kEnglish = 1033;

    // The language identifiers that have texts, in the order SelectLanguage tests them.
    static constexpr std::array<int, 24> kLanguages = {
        1026, 1028, 1050, 1029, 1030, 1043, 1033, 1035, 1036, 1031, 1032, 1038,
        1040, 1044, 1045, 1046, 1048, 1049, 2074, 1051, 3082, 1053, 1055, 1060};
    static bool isSupported(int languageId);

    // Where the slots of the last SelectLanguage came from.
    enum class TextSource {
        None,     // unknown identifier (or not selected yet): only the version slot was set
        Own,      // the language's own resource
        English,  // a supported language whose resource the program does not carry yet
    };

    // Reads the resource of one language; nullopt when there is none.
    using ResourceReader = std::function<std::optional<QByteArray>(int languageId)>;

    TextTable();                                  // reads the resources embedded in the program
    explicit TextTable(ResourceReader reader);    // for tests: resources from elsewhere

    // Stores the identifier, sets the version slot, then assigns every slot the
    // language's resource lists; a slot it does not list (German has nine) keeps
    // its text. An identifier outside kLanguages leaves all but the version slot
    // as they were; a supported language without a resource gets the English texts.
    void SelectLanguage(int languageId);

    int languageId() const { return languageId_; }
    TextSource textSource() const { return source_; }
    // The slot's text; empty for a slot never filled or out of range.
    QString text(int slot) const;
    QString extraText(int index) const;

    // The program-wide table that windows read.
    static TextTable& current();

private:
    ResourceReader reader_;
    int languageId_ = 0;
    TextSource source_ = TextSource::None;
    std::array<QString, kSlotCount> slots_{};
    std::array<QString, kExtraCount> extras_{};
};

// Shorthand for windows: the current table's slot text.
inline QString TextOf(int slot) { return TextTable::current().text(slot); }

// The current language's text of the entry whose English text is `english`
// (parts below the windows name messages by their English words); the
// English words themselves when no slot has them or the slot is empty.
QString TextForEnglish(const QString& english);
