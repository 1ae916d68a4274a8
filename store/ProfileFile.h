#pragma once
#include <QList>
#include <QString>
#include <utility>

// A profile (INI) file read and written key by key, with the semantics the
// configuration files have always had: section and key names compare without
// regard to case, every other line (comments, junk, other sections) and the
// order of lines stay as they are, a missing file, section or key reads as the
// default, and the first write creates the file. Each call opens, uses and
// closes the file; writes replace it atomically (old or new file, never half).
// After every write the file is readable and writable by its owner only,
// because it may hold an account password.
class ProfileFile {
public:
    explicit ProfileFile(QString path);

    const QString& path() const { return path_; }
    bool exists() const;

    // The value of `key` in `section` with blanks around it removed (and one
    // pair of matching quotes); `defaultValue` when the file, the section or the
    // key is missing. The first matching section and key win.
    QString readString(const QString& section, const QString& key, const QString& defaultValue = QString()) const;

    // The value of `key` exactly as it stands after the first "=" of its line
    // (blanks and quotes included, the line end not): for a value that must
    // come back as it was written, such as a password.
    QString readExact(const QString& section, const QString& key, const QString& defaultValue = QString()) const;

    // Sets `key` in `section` to `value`, adding the key (at the end of the
    // section) or the section (at the end of the file) when missing. Line breaks
    // in `value` become blanks so the file stays one entry per line.
    // Returns false when the file could not be written; the old file is then unchanged.
    // A write that would change no byte of a file readable by its owner only is
    // not made and succeeds, even where the file cannot be written.
    bool writeString(const QString& section, const QString& key, const QString& value);

    // Keys and their values, in the order they are set.
    using Entries = QList<std::pair<QString, QString>>;
    // Sets every key of `entries` in `section` as writeString does, in one
    // replacement of the file: either all of them are written or, on false,
    // none and the old file is unchanged.
    bool writeStrings(const QString& section, const Entries& entries);

private:
    QString path_;
};
