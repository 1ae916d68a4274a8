#pragma once
#include "app/AppPaths.h"
#include "app/LanguageChoice.h"

#include <QString>

class InstanceGuard;
class TextTable;

// What the start-up steps below the windows found and created; the main
// window's creation continues from here.
struct StartupState {
    AppPaths paths;
    QString languageText;  // setinfo.ini as read and trimmed, or the identifier chosen for this start
    int languageId = 1033;
    QString chartColour;   // COLOR as read; may be empty (green paper)
};

enum class StartupOutcome {
    Ready,
    NoSettingsFolder,  // the settings folder could not be created
    AlreadyRunning,    // another instance holds the guard; nothing was written
    GuardFailed,       // the guard could not be set up
};

struct StartupResult {
    StartupOutcome outcome = StartupOutcome::Ready;
    QString message;  // for the user, when not Ready
    QString detail;   // the system's reason, for standard error
    StartupState state;
};

// Start-up up to the data folder, in order: settings folder, language (selected
// in `texts`), the single-instance guard, setinfo.ini when the language is to be
// kept, Heartlet.ini defaults, SetDataPath.ini, the data folder path, NOISE and
// COLOR, and the folder chain down to the data folder. Stops at the first
// refusal; a second instance stops before writing anything.
StartupResult RunStartup(const QString& documentsFolder, TextTable& texts, InstanceGuard& guard,
                         const LanguageRequest& language = {});

// Exit status of a start-up that did not reach the main window.
inline constexpr int kStartupRefusedExit = 1;
