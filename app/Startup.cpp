#include "app/Startup.h"

#include "app/Configuration.h"
#include "app/InstanceGuard.h"
#include "app/LanguageChoice.h"
#include "lang/TextTable.h"
#include "store/ProfileFile.h"

namespace {

// A text-table message, or its English words when the language has none
// (an unsupported language leaves the table empty).
QString MessageText(const TextTable& texts, int slot, const char* english)
{
    const QString text = texts.text(slot);
    return text.isEmpty() ? QString::fromUtf8(english) : text;
}

}  // namespace

StartupResult RunStartup(const QString& documentsFolder, TextTable& texts, InstanceGuard& guard,
                         const LanguageRequest& language)
{
    StartupResult result;
    StartupState& s = result.state;
    s.paths = PathsForDocuments(documentsFolder);

    if (!EnsureSettingsFolder(s.paths, &result.message)) {
        result.outcome = StartupOutcome::NoSettingsFolder;
        return result;
    }

    const LanguageDecision choice = ChooseLanguage(s.paths.setInfoIni, language);
    s.languageText = choice.languageText;
    s.languageId = LanguageIdOf(s.languageText);
    texts.SelectLanguage(s.languageId);

    switch (guard.acquire(s.paths.settingsFolder, &result.detail)) {
    case InstanceGuard::Result::Acquired:
        break;
    case InstanceGuard::Result::AlreadyRunning:
        result.outcome = StartupOutcome::AlreadyRunning;
        result.message = MessageText(texts, 116, "The Talmon ECG Manager is already running!");
        return result;
    case InstanceGuard::Result::Failed:
        result.outcome = StartupOutcome::GuardFailed;
        result.message = MessageText(texts, 117, "Execution error in Talmon ECG Manager. Error code:");
        return result;
    }

    // A language that cannot be kept is still this start's; the next start asks again.
    if (choice.write)
        (void)WriteLanguageFile(s.paths.setInfoIni, s.languageId);
    ProfileFile heartlet(s.paths.heartletIni);
    WriteHeartletDefaultsIfMissing(heartlet);
    WriteDataRootIfMissing(s.paths.setDataPathIni, s.paths.settingsFolder);
    s.paths.dataFolder = ReadDataFolder(s.paths.setDataPathIni, s.paths.settingsFolder);
    (void)heartlet.readString(HeartletKey::kSection, HeartletKey::kNoise);  // read and not used
    s.chartColour = heartlet.readString(HeartletKey::kSection, HeartletKey::kColor);
    // A folder that cannot be made is not an error here: saving into it fails later with its own message.
    CreateFolderChain(s.paths.dataFolder);
    return result;
}
