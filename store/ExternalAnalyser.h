#pragma once
#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>

// Starts the rhythm analyser ("rhyscan") on an opened recording; the analyser
// writes the recording's annotation file (".atr") that the chart shows.
//
// The analyser is taken only from the program's own folders (never the
// current folder or PATH), only when it is a regular executable file (not a
// symbolic link) in a folder, both owned by the user or root and neither
// writable by group or others; it is
// started without a shell, with absolute paths and an argument list, and at
// most one run per recording is going at a time. The manager does not wait
// for it.
class ExternalAnalyser {
public:
    // Starts `program` detached with `arguments`; returns the process id, or
    // 0 when it could not be started.
    using Starter = std::function<qint64(const QString& program, const QStringList& arguments)>;
    // Whether the process with this id is still running.
    using Probe = std::function<bool(qint64 pid)>;

    enum class Outcome {
        Started,
        AlreadyRunning,  // a run for this recording is still going: not started again
        NotInstalled,    // no analyser in the program's folders
        Unsafe,          // found, but not a regular executable file safe from others
        StartFailed,
    };
    struct Result {
        Outcome outcome = Outcome::NotInstalled;
        QString program;         // the analyser found, absolute
        QString annotationPath;  // where its file appears; empty unless started or running
    };

    // `folders` are searched in order; by default the program's folder and the
    // installed libexec folder beside it.
    explicit ExternalAnalyser(QStringList folders = DefaultFolders(), Starter starter = DetachedStarter(),
                              Probe probe = ProcessProbe());

    // Call only once the recording opened successfully.
    Result Start(const QString& recordingPath);

    // The analyser's file name in a folder.
    static QString ProgramName();
    static QStringList DefaultFolders();
    static Starter DetachedStarter();
    static Probe ProcessProbe();

private:
    QString FindProgram(bool& unsafe) const;

    QStringList folders_;
    Starter starter_;
    Probe probe_;
    QHash<QString, qint64> running_;  // absolute recording path -> process id
};

// Whether a file is fit to be started as the analyser: a regular file itself
// (a symbolic link is refused), executable by the user, and it and its folder
// owned by the user or root and not writable by group or others.
bool IsSafeExecutable(const QString& path);
