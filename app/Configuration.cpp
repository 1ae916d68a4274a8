#include "app/Configuration.h"

#include "store/ProfileFile.h"
#include "store/EdfWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QList<QPair<QString, QString>> HeartletDefaults()
{
    using namespace HeartletKey;
    return {
        {kCtl, "1"},
        {kHostName, kDefaultHostName},
        {kHostIp, ""},
        {kAccount, ""},
        {kPassword, ""},
        {kRem, "2"},
        {kUAutoDel, "0"},
        {kDAutoDel, "0"},
        {kNoise, "0"},
        {kColor, "1"},
        {kUpgradeAccount, "firmware_server"},
    };
}

bool WriteHeartletDefaultsIfMissing(ProfileFile& heartlet)
{
    if (heartlet.exists())
        return true;
    // In one write: a file cut short by a full disk would be found by the
    // next start and never completed.
    return heartlet.writeStrings(HeartletKey::kSection, HeartletDefaults());
}

bool WriteDataRootIfMissing(const QString& setDataPathIni, const QString& root)
{
    if (QFileInfo::exists(setDataPathIni))
        return true;
    return WriteFileAtomically(setDataPathIni, root.toUtf8()).ok();
}

QString DataFolderFor(const QString& setDataPathText, const QString& settingsFolder)
{
    QString root = setDataPathText.trimmed();
    if (root.isEmpty())
        root = settingsFolder;  // an empty file must not put the recordings at the file-system root
    else if (QDir::isRelativePath(root))
        root = settingsFolder + root;
    return QDir::cleanPath(root + "/DATA") + '/';
}

QString ReadDataFolder(const QString& setDataPathIni, const QString& settingsFolder)
{
    QFile file(setDataPathIni);
    const QString text = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    return DataFolderFor(text, settingsFolder);
}

bool CreateFolderChain(const QString& folder)
{
    return QDir().mkpath(folder) && QFileInfo(folder).isDir();
}

QString ColorAtClose(const QString& chartColour)
{
    return chartColour == QLatin1String("1") ? QStringLiteral("1") : QStringLiteral("0");
}
