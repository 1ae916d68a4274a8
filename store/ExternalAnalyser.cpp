#include "store/ExternalAnalyser.h"

#include "store/AnnotationFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <cerrno>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// The libexec folder of an installed program, relative to its bin folder.
constexpr const char* kInstalledLibexec = TALMON_LIBEXEC_FROM_BIN;

// Nobody but the user and root may change it: owned by one of them and not
// writable by group or others.
bool OnlyOursToChange(const struct stat& st)
{
    return (st.st_mode & (S_IWGRP | S_IWOTH)) == 0 && (st.st_uid == ::geteuid() || st.st_uid == 0);
}

}  // namespace

bool IsSafeExecutable(const QString& path)
{
    const QByteArray file = QFile::encodeName(path);
    // The name itself: a symbolic link could be turned to another program at
    // any time by whoever may write the folder it lies in, or where it points.
    struct stat st {};
    if (::lstat(file.constData(), &st) != 0 || !S_ISREG(st.st_mode) || !OnlyOursToChange(st)) return false;
    // Whoever may write the folder may put another program in its place.
    struct stat folder {};
    const QByteArray folderName = QFile::encodeName(QFileInfo(path).absolutePath());
    if (::stat(folderName.constData(), &folder) != 0 || !S_ISDIR(folder.st_mode) || !OnlyOursToChange(folder))
        return false;
    return ::access(file.constData(), X_OK) == 0;
}

ExternalAnalyser::ExternalAnalyser(QStringList folders, Starter starter, Probe probe)
    : folders_(std::move(folders)), starter_(std::move(starter)), probe_(std::move(probe))
{
}

QString ExternalAnalyser::ProgramName() { return QStringLiteral("rhyscan"); }

QStringList ExternalAnalyser::DefaultFolders()
{
    const QString own = QCoreApplication::applicationDirPath();
    if (own.isEmpty()) return {};
    return {own, QDir::cleanPath(own + '/' + kInstalledLibexec)};
}

ExternalAnalyser::Starter ExternalAnalyser::DetachedStarter()
{
    return [](const QString& program, const QStringList& arguments) -> qint64 {
        // Nobody reads the analyser's report lines: they would only clutter
        // the terminal the manager was started from.
        QProcess process;
        process.setProgram(program);
        process.setArguments(arguments);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        qint64 pid = 0;
        if (!process.startDetached(&pid)) return 0;
        return pid;
    };
}

ExternalAnalyser::Probe ExternalAnalyser::ProcessProbe()
{
    // A detached process is not our child; signal 0 only asks whether it exists.
    return [](qint64 pid) { return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM); };
}

QString ExternalAnalyser::FindProgram(bool& unsafe) const
{
    unsafe = false;
    for (const QString& folder : folders_) {
        if (!QDir::isAbsolutePath(folder)) continue;  // never relative to the current folder
        const QString candidate = QDir::cleanPath(folder + '/' + ProgramName());
        struct stat st {};
        if (::lstat(QFile::encodeName(candidate).constData(), &st) != 0) continue;
        if (IsSafeExecutable(candidate)) return candidate;
        unsafe = true;
    }
    return {};
}

ExternalAnalyser::Result ExternalAnalyser::Start(const QString& recordingPath)
{
    Result r;
    bool unsafe = false;
    r.program = FindProgram(unsafe);
    if (r.program.isEmpty()) {
        r.outcome = unsafe ? Outcome::Unsafe : Outcome::NotInstalled;
        return r;
    }
    const QString recording = QFileInfo(recordingPath).absoluteFilePath();
    const auto it = running_.constFind(recording);
    if (it != running_.constEnd() && probe_(it.value())) {
        r.outcome = Outcome::AlreadyRunning;
        r.annotationPath = AnnotationPath(recording);
        return r;
    }
    const qint64 pid = starter_(r.program, {recording});
    if (pid <= 0) {
        running_.remove(recording);
        r.outcome = Outcome::StartFailed;
        return r;
    }
    running_.insert(recording, pid);
    r.outcome = Outcome::Started;
    r.annotationPath = AnnotationPath(recording);
    return r;
}
