#include "store/AtomicFile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char kMark[] = ".talmon-tmp-";

// The file a name reaches, symbolic links followed even when the last one
// points nowhere yet (the file is then made there).
QString ReachedFile(const QString& path)
{
    QString current = QFileInfo(path).absoluteFilePath();
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(current);
        if (!info.isSymLink()) return current;
        current = info.symLinkTarget();
    }
    return current;
}

QString RandomTag()
{
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString tag;
    for (int i = 0; i < 6; ++i)
        tag += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(static_cast<int>(sizeof kLetters - 1))]);
    return tag;
}

}  // namespace

QString AtomicFile::TemporaryPrefix(const QString& path)
{
    const QFileInfo info(path);
    QString name = info.fileName();
    // The hidden name must still fit a file name's 255 bytes.
    if (QFile::encodeName(name).size() > 200) name = name.left(50);
    return QDir(info.absolutePath()).filePath(QLatin1Char('.') + name + QLatin1String(kMark));
}

int AtomicFile::RemoveAbandonedTemporaries(const QString& path, std::chrono::seconds age)
{
    const QString prefix = QFileInfo(TemporaryPrefix(path)).fileName();
    const QDir folder = QFileInfo(path).absoluteDir();
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-age.count());
    int removed = 0;
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!name.startsWith(prefix)) continue;
        const QString candidate = folder.filePath(name);
        // Only a regular file of this user's (never what a link points to) that nobody has touched lately.
        struct stat st {};
        if (::lstat(QFile::encodeName(candidate).constData(), &st) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::geteuid())
            continue;
        if (QDateTime::fromSecsSinceEpoch(st.st_mtime, Qt::UTC) >= before) continue;
        if (QFile::remove(candidate)) ++removed;
    }
    return removed;
}

AtomicFile::AtomicFile(const QString& path) : finalPath_(ReachedFile(path)) {}

AtomicFile::~AtomicFile()
{
    if (!committed_ && save_.isOpen()) save_.cancelWriting();
}

bool AtomicFile::open()
{
    // A file its owner made read-only is not replaced behind its back.
    if (::access(QFile::encodeName(finalPath_).constData(), F_OK) == 0 &&
        ::access(QFile::encodeName(finalPath_).constData(), W_OK) != 0) {
        error_ = QStringLiteral("%1 is not writable").arg(finalPath_);
        return false;
    }
    RemoveAbandonedTemporaries(finalPath_);
    temporaryPath_ = TemporaryPrefix(finalPath_) + RandomTag();
    save_.setFileName(temporaryPath_);
    return save_.open(QIODevice::WriteOnly);
}

bool CommitWhole(QSaveFile& file, QString* error)
{
    if (!file.flush()) {
        if (error) *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool AtomicFile::commit()
{
    if (!CommitWhole(save_, &error_)) return false;
    const QByteArray from = QFile::encodeName(temporaryPath_);
    const QByteArray to = QFile::encodeName(finalPath_);
    // The replaced file's permissions stay, as with any in-place save.
    struct stat st {};
    if (::stat(to.constData(), &st) == 0) ::chmod(from.constData(), st.st_mode & 07777);
    if (::rename(from.constData(), to.constData()) != 0) {
        error_ = QString::fromLocal8Bit(std::strerror(errno));
        ::unlink(from.constData());
        return false;
    }
    committed_ = true;
    return true;
}
