#include "app/CommandLine.h"

#include "lang/LanguageLocale.h"
#include "lang/TextTable.h"

#include <QCommandLineParser>
#include <algorithm>

namespace {

const QCommandLineOption kHelp({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
const QCommandLineOption kVersion(QStringLiteral("version"), QStringLiteral("Show the version."));
const QCommandLineOption kDemo(QStringLiteral("demo"),
                               QStringLiteral("Attach a simulated recorder (own settings and data folders)."));
const QCommandLineOption kEngineering(
    QStringLiteral("engineering"),
    QStringLiteral("Show the engineering controls: Upgrade, the live view's Start and Stop, Upload, Account and "
                   "the display and filter buttons."));
const QCommandLineOption kLanguage(QStringLiteral("language"),
                                   QStringLiteral("Start in this language and keep it (written to setinfo.ini); "
                                                  "ID is one of the numbers below."),
                                   QStringLiteral("ID"));

void AddOptions(QCommandLineParser& parser)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "The Talmon ECG Manager: download, view, annotate, print and manage the recordings\n"
        "of the Heart Let ECG recorder."));
    for (const QCommandLineOption* option : {&kDemo, &kEngineering, &kLanguage, &kVersion, &kHelp})
        parser.addOption(*option);
}

// An option the application object reads itself: given with one dash.
bool IsQtOption(const QString& name, const QStringList& arguments)
{
    const QString single = QLatin1Char('-') + name;
    return std::any_of(arguments.begin(), arguments.end(), [&](const QString& a) {
        return a == single || a.startsWith(single + QLatin1Char('='));
    });
}

}  // namespace

ManagerOptions ParseManagerOptions(const QStringList& arguments)
{
    QCommandLineParser parser;
    AddOptions(parser);
    ManagerOptions options;
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        const bool onlyQtOptions = !unknown.isEmpty() && std::all_of(unknown.begin(), unknown.end(), [&](const QString& n) {
            return IsQtOption(n, arguments);
        });
        if (!onlyQtOptions) {
            options.error = parser.errorText();
            return options;
        }
    }
    options.help = parser.isSet(kHelp);
    options.version = parser.isSet(kVersion);
    options.demo = parser.isSet(kDemo);
    options.engineering = parser.isSet(kEngineering);
    if (parser.isSet(kLanguage)) {
        bool ok = false;
        const QString text = parser.value(kLanguage);
        const int id = text.toInt(&ok, 10);
        if (!ok || !TextTable::isSupported(id)) {
            options.error = QStringLiteral("Unknown language '%1'; --help lists the 24 language numbers.").arg(text);
            return options;
        }
        options.language = id;
    }
    return options;
}

QString ManagerHelpText()
{
    QCommandLineParser parser;
    AddOptions(parser);
    QString text = parser.helpText();
    const qsizetype usageEnd = text.indexOf(QLatin1Char('\n'));
    text.replace(0, usageEnd, QStringLiteral("Usage: ecg-manager [--demo] [--engineering] [--language ID]\n"));
    text += QStringLiteral("\nLanguages (--language ID):\n");
    // Sorted by number, two to a line: the number and the language's name in English.
    std::array<int, TextTable::kLanguages.size()> ids = TextTable::kLanguages;
    std::sort(ids.begin(), ids.end());
    for (size_t i = 0; i < ids.size(); ++i) {
        const QLocale locale = LocaleOfLanguage(ids[i]);
        QString name = QLocale::languageToString(locale.language());
        if (ids[i] == 1028)
            name += QStringLiteral(" (Traditional)");
        else if (ids[i] == 1046)
            name += QStringLiteral(" (%1)").arg(QLocale::territoryToString(locale.territory()));
        else if (ids[i] == 2074)
            name += QStringLiteral(" (%1)").arg(QLocale::scriptToString(locale.script()));
        text += QStringLiteral("  %1  %2").arg(ids[i]).arg(name, i % 2 == 0 ? -34 : 0);
        text += i % 2 == 0 ? QString() : QStringLiteral("\n");
    }
    return text.trimmed() + QLatin1Char('\n');
}
