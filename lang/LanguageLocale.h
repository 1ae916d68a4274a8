#pragma once
#include <QLocale>

class QCoreApplication;
class QTranslator;

// The locale each of the 24 language identifiers stands for (1031 de_DE,
// 1028 zh_TW, 2074 sr_Latn_RS, ...); the C locale for any other identifier.
QLocale LocaleOfLanguage(int languageId);

// The language identifier nearest to a desktop locale: the same language in
// another country counts (de_AT is 1031, pt_PT 1046), so do close relatives
// written alike (every Chinese is 1028, Serbian in either script 2074, Bosnian
// 1050, Norwegian Nynorsk 1044); any other language, and the C locale, is 1033.
int LanguageNearestTo(const QLocale& locale);

// Loads Qt's own translations (qtbase: its print and file dialogs, its
// context menus) for the language, from Qt's translations folder, into the
// application, which owns the translator returned. Null when Qt has none for
// it (Greek, Romanian, ...): Qt's windows then stay English.
QTranslator* InstallQtTranslations(int languageId, QCoreApplication& app);
