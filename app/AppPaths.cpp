#include "app/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>

namespace {

QString WithSlash(const QString& folder)
{
    return folder.endsWith('/') ? folder : folder + '/';
}

}  // namespace

QString DocumentsFolder()
{
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        documents = QDir::homePath() + "/Documents";
    return WithSlash(documents);
}

AppPaths PathsForDocuments(const QString& documentsFolder)
{
    AppPaths p;
    p.documentsFolder = WithSlash(documentsFolder);
    p.settingsFolder = p.documentsFolder + "talmon/";
    p.setDataPathIni = p.settingsFolder + "SetDataPath.ini";
    p.setInfoIni = p.settingsFolder + "setinfo.ini";
    p.heartletIni = p.settingsFolder + "Heartlet.ini";
    return p;
}

bool EnsureSettingsFolder(const AppPaths& paths, QString* error)
{
    QDir dir;
    if (!QFileInfo(paths.documentsFolder).isDir())
        dir.mkdir(paths.documentsFolder);
    errno = 0;
    if (!QFileInfo(paths.settingsFolder).isDir())
        dir.mkdir(paths.settingsFolder);
    if (QFileInfo(paths.settingsFolder).isDir()) {
        // It holds Heartlet.ini with the stored password: owner only.
        QFile::setPermissions(paths.settingsFolder,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return true;
    }
    const int cause = errno;
    if (error) {
        *error = QString("The settings folder %1 cannot be created%2. Check that the documents folder exists "
                         "and that you may write to it.")
                     .arg(QDir::toNativeSeparators(paths.settingsFolder),
                          cause ? QString(" (%1)").arg(QString::fromLocal8Bit(std::strerror(cause))) : QString());
    }
    return false;
}
