#include "lang/LanguageLocale.h"

#include "lang/TextTable.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <utility>

namespace {

struct LanguageLocaleRow {
    int languageId;
    QLocale::Language language;
    QLocale::Script script;
    QLocale::Territory territory;
};

constexpr LanguageLocaleRow kRows[] = {
    {1026, QLocale::Bulgarian, QLocale::CyrillicScript, QLocale::Bulgaria},
    {1028, QLocale::Chinese, QLocale::TraditionalHanScript, QLocale::Taiwan},
    {1050, QLocale::Croatian, QLocale::LatinScript, QLocale::Croatia},
    {1029, QLocale::Czech, QLocale::LatinScript, QLocale::Czechia},
    {1030, QLocale::Danish, QLocale::LatinScript, QLocale::Denmark},
    {1043, QLocale::Dutch, QLocale::LatinScript, QLocale::Netherlands},
    {1033, QLocale::English, QLocale::LatinScript, QLocale::UnitedStates},
    {1035, QLocale::Finnish, QLocale::LatinScript, QLocale::Finland},
    {1036, QLocale::French, QLocale::LatinScript, QLocale::France},
    {1031, QLocale::German, QLocale::LatinScript, QLocale::Germany},
    {1032, QLocale::Greek, QLocale::GreekScript, QLocale::Greece},
    {1038, QLocale::Hungarian, QLocale::LatinScript, QLocale::Hungary},
    {1040, QLocale::Italian, QLocale::LatinScript, QLocale::Italy},
    {1044, QLocale::NorwegianBokmal, QLocale::LatinScript, QLocale::Norway},
    {1045, QLocale::Polish, QLocale::LatinScript, QLocale::Poland},
    {1046, QLocale::Portuguese, QLocale::LatinScript, QLocale::Brazil},
    {1048, QLocale::Romanian, QLocale::LatinScript, QLocale::Romania},
    {1049, QLocale::Russian, QLocale::CyrillicScript, QLocale::Russia},
    {2074, QLocale::Serbian, QLocale::LatinScript, QLocale::Serbia},
    {1051, QLocale::Slovak, QLocale::LatinScript, QLocale::Slovakia},
    {3082, QLocale::Spanish, QLocale::LatinScript, QLocale::Spain},
    {1053, QLocale::Swedish, QLocale::LatinScript, QLocale::Sweden},
    {1055, QLocale::Turkish, QLocale::LatinScript, QLocale::Turkey},
    {1060, QLocale::Slovenian, QLocale::LatinScript, QLocale::Slovenia},
};

// Languages without texts of their own that read one of the 24 without trouble.
constexpr std::pair<QLocale::Language, int> kRelatives[] = {
    {QLocale::NorwegianNynorsk, 1044},
    {QLocale::Bosnian, 1050},
};

}  // namespace

QLocale LocaleOfLanguage(int languageId)
{
    for (const LanguageLocaleRow& row : kRows) {
        if (row.languageId == languageId)
            return QLocale(row.language, row.script, row.territory);
    }
    return QLocale::c();
}

int LanguageNearestTo(const QLocale& locale)
{
    for (const LanguageLocaleRow& row : kRows) {
        if (row.language == locale.language())
            return row.languageId;
    }
    for (const auto& [language, languageId] : kRelatives) {
        if (language == locale.language())
            return languageId;
    }
    return TextTable::kEnglish;
}

QTranslator* InstallQtTranslations(int languageId, QCoreApplication& app)
{
    if (!TextTable::isSupported(languageId) || languageId == TextTable::kEnglish)
        return nullptr;
    auto* translator = new QTranslator(&app);
    if (!translator->load(LocaleOfLanguage(languageId), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return nullptr;
    }
    QCoreApplication::installTranslator(translator);
    return translator;
}
