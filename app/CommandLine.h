#pragma once
#include <QString>
#include <QStringList>
#include <optional>

// What the program was asked for on its command line.
struct ManagerOptions {
    bool help = false;
    bool version = false;
    bool demo = false;         // attach the simulated recorder (own settings and data folders)
    bool engineering = false;  // show the engineering controls
    std::optional<int> language;  // one of the 24 identifiers: this start's language, kept in setinfo.ini
    QString error;             // why the command line was refused ("" when it was not)
};

// Reads the arguments (the program's name first). Qt's own single-dash options
// (-platform NAME, -style NAME) are left to the application object.
ManagerOptions ParseManagerOptions(const QStringList& arguments);

// The --help text: the options and the table of the 24 language identifiers.
QString ManagerHelpText();
