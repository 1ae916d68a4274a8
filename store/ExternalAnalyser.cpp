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
}  // namespace

bool IsSafeExecutable(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return false;
    if (!S_ISREG(st.st_mode)) return false;
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) return false;
    if (st.st_uid != ::geteuid() && st.st_uid != 0) return false;
    return ::access(QFile::encodeName(path).constData(), X_OK) == 0;
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
        if (!QFileInfo::exists(candidate)) continue;
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
