#pragma once
#include <QSaveFile>
#include <QString>
#include <chrono>

// Replaces a file by complete new contents, or leaves the old one as it was.
//
// The contents go to a hidden name of our own beside the file,
// ".NAME.talmon-tmp-XXXXXX" (written through QSaveFile, so that name too only
// ever holds a complete copy), and that is renamed over NAME. A process killed
// between the two steps therefore leaves a hidden file nobody takes for a copy
// of theirs, never a "NAME.XXXXXX" beside NAME; the next write of NAME removes
// such leftovers once they are clearly abandoned. A symbolic link NAME keeps
// pointing where it did: the file it reaches is replaced, its permissions kept.
// Commits `file` only once its buffered bytes are written. QSaveFile::commit
// flushes them itself, but when that flush fails (a full disk) it still puts
// the cut copy in place and reports success; here the write is cancelled and
// the old file stays (`error`, when given, gets the flush's reason).
bool CommitWhole(QSaveFile& file, QString* error = nullptr);

class AtomicFile {
public:
    explicit AtomicFile(const QString& path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Removes our own abandoned leftovers of NAME, then opens the hidden file.
    bool open();
    // Where the contents are written between open() and commit().
    QIODevice& device() { return save_; }
    // Puts the complete contents in place; false (old file untouched) when
    // anything failed.
    bool commit();
    QString errorString() const { return error_.isEmpty() ? save_.errorString() : error_; }

    // The start of every hidden name a write of `path` uses.
    static QString TemporaryPrefix(const QString& path);
    // A leftover this old is abandoned: no write takes that long between two
    // of its own steps.
    static constexpr std::chrono::minutes kAbandonedAfter{10};
    // Removes the regular files of ours under TemporaryPrefix(path) that have
    // not changed for `age`; returns how many.
    static int RemoveAbandonedTemporaries(const QString& path, std::chrono::seconds age = kAbandonedAfter);

private:
    QString finalPath_;
    QString temporaryPath_;
    QSaveFile save_;
    QString error_;
    bool committed_ = false;
};
