#pragma once
#include <QList>
#include <QPair>
#include <QString>

class ProfileFile;

// Section and keys of Heartlet.ini.
namespace HeartletKey {
inline constexpr char kSection[] = "INFO";
inline constexpr char kCtl[] = "CTL";
inline constexpr char kHostName[] = "HOST_NAME";
inline constexpr char kHostIp[] = "HOST_IP";
inline constexpr char kAccount[] = "ACCOUNT";
inline constexpr char kPassword[] = "PASSWORD";
inline constexpr char kRem[] = "REM";
inline constexpr char kUAutoDel[] = "UAUTODEL";
inline constexpr char kDAutoDel[] = "DAUTODEL";
inline constexpr char kNoise[] = "NOISE";
inline constexpr char kColor[] = "COLOR";
inline constexpr char kUpgradeAccount[] = "UPGRADE_ACCOUNT";
}  // namespace HeartletKey

// The web service's directory host written into a new Heartlet.ini.
inline constexpr char kDefaultHostName[] = "directory.talmon-ecg.example";

// The eleven keys of a new Heartlet.ini with their defaults, in the order written.
QList<QPair<QString, QString>> HeartletDefaults();

// Writes the defaults when the file does not exist yet; an existing file is
// never completed. Returns false when writing failed.
bool WriteHeartletDefaultsIfMissing(ProfileFile& heartlet);

// Creates SetDataPath.ini holding `root` (no line end) when it does not exist.
bool WriteDataRootIfMissing(const QString& setDataPathIni, const QString& root);

// The data folder for the text of SetDataPath.ini: the trimmed root followed by
// "DATA/". An empty root means the settings folder; a relative one lies below it.
QString DataFolderFor(const QString& setDataPathText, const QString& settingsFolder);
QString ReadDataFolder(const QString& setDataPathIni, const QString& settingsFolder);

// Creates every missing folder down to and including `folder`. True when it exists afterwards.
bool CreateFolderChain(const QString& folder);

// The paper colour marker stored at close: "1" (pink) only when the colour is "1".
QString ColorAtClose(const QString& chartColour);
