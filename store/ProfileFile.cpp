#include "store/ProfileFile.h"

#include "store/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>
#include <utility>

namespace {

// The file is handled as raw lines, so that lines the program does not
// understand (other encodings, junk) are written back byte for byte.
struct Lines {
    QList<QByteArray> lines;  // split at '\n'; a trailing '\r' stays on its line
};

Lines ReadLines(const QString& path, bool* existed, QByteArray* raw = nullptr)
{
    QFile file(path);
    *existed = file.exists();
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    if (raw)
        *raw = data;
    if (data.isEmpty())
        return {};
    return {data.split('\n')};
}

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// The mode bits as stored, without the ones Qt adds for the user asking.
QFileDevice::Permissions ModeOf(const QString& path)
{
    constexpr QFileDevice::Permissions mode =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup |
        QFileDevice::WriteGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::WriteOther |
        QFileDevice::ExeOther;
    return QFile::permissions(path) & mode;
}

// The line without surrounding blanks and without the byte-order mark that
// some editors put at the start of a UTF-8 file.
QByteArray Content(const QByteArray& line)
{
    QByteArray t = line.trimmed();
    if (t.startsWith("\xEF\xBB\xBF"))
        t = t.mid(3).trimmed();
    return t;
}

// "[ INFO ]" -> "INFO"; null when the line is not a section header.
QString SectionNameOf(const QByteArray& line)
{
    const QByteArray t = Content(line);
    if (!t.startsWith('['))
        return QString();
    const qsizetype close = t.indexOf(']');
    if (close < 0)
        return QString();
    return QString::fromUtf8(t.mid(1, close - 1).trimmed());
}

bool IsComment(const QByteArray& trimmed)
{
    return trimmed.startsWith(';') || trimmed.startsWith('#');
}

// "  CTL = 2" -> "CTL"; null when the line is not a key line.
QString KeyNameOf(const QByteArray& line)
{
    const QByteArray t = Content(line);
    if (t.isEmpty() || IsComment(t))
        return QString();
    const qsizetype eq = t.indexOf('=');
    if (eq <= 0)
        return QString();
    return QString::fromUtf8(t.left(eq).trimmed());
}

QString ValueOf(const QByteArray& line)
{
    const QByteArray t = Content(line);
    QByteArray value = t.mid(t.indexOf('=') + 1).trimmed();
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return QString::fromUtf8(value);
}

bool SameName(const QString& a, const QString& b)
{
    return !a.isNull() && a.compare(b, Qt::CaseInsensitive) == 0;
}

// Index range [begin, end) of the body of the first section named `section`;
// begin is -1 when there is none.
std::pair<qsizetype, qsizetype> FindSection(const QList<QByteArray>& lines, const QString& section)
{
    qsizetype i = 0;
    while (i < lines.size() && !SameName(SectionNameOf(lines[i]), section))
        ++i;
    if (i == lines.size())
        return {-1, -1};
    qsizetype end = i + 1;
    while (end < lines.size() && SectionNameOf(lines[end]).isNull())
        ++end;
    return {i + 1, end};
}

qsizetype FindKey(const QList<QByteArray>& lines, std::pair<qsizetype, qsizetype> body, const QString& key)
{
    for (qsizetype i = body.first; i < body.second; ++i) {
        if (SameName(KeyNameOf(lines[i]), key))
            return i;
    }
    return -1;
}

// Sets one key in the lines as writeString describes it.
void SetEntry(QList<QByteArray>& lines, const QString& section, const QString& key, const QString& value,
              const QByteArray& cr)
{
    QString flat = value;
    flat.replace(QLatin1String("\r\n"), QLatin1String(" "));
    flat.replace(QLatin1Char('\r'), QLatin1Char(' '));
    flat.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QByteArray entry = key.toUtf8() + '=' + flat.toUtf8() + cr;

    const auto body = FindSection(lines, section);
    if (body.first >= 0) {
        const qsizetype at = FindKey(lines, body, key);
        if (at >= 0) {
            lines[at] = entry;
        } else {
            // After the section's last non-blank line, so blank separators stay below it.
            qsizetype insertAt = body.second;
            while (insertAt > body.first && lines[insertAt - 1].trimmed().isEmpty())
                --insertAt;
            lines.insert(insertAt, entry);
        }
    } else {
        if (!lines.isEmpty() && lines.back().isEmpty())
            lines.removeLast();  // the empty piece after a final '\n'
        lines.append('[' + section.toUtf8() + ']' + cr);
        lines.append(entry);
        lines.append(QByteArray());
    }
}

}  // namespace

ProfileFile::ProfileFile(QString path) : path_(std::move(path)) {}

bool ProfileFile::exists() const
{
    return QFileInfo::exists(path_);
}

QString ProfileFile::readString(const QString& section, const QString& key, const QString& defaultValue) const
{
    bool existed = false;
    const Lines file = ReadLines(path_, &existed);
    const auto body = FindSection(file.lines, section);
    if (body.first < 0)
        return defaultValue;
    const qsizetype at = FindKey(file.lines, body, key);
    return at < 0 ? defaultValue : ValueOf(file.lines[at]);
}

QString ProfileFile::readExact(const QString& section, const QString& key, const QString& defaultValue) const
{
    bool existed = false;
    const Lines file = ReadLines(path_, &existed);
    const auto body = FindSection(file.lines, section);
    const qsizetype at = body.first < 0 ? -1 : FindKey(file.lines, body, key);
    if (at < 0)
        return defaultValue;
    QByteArray line = file.lines[at];
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line.mid(line.indexOf('=') + 1));
}

bool ProfileFile::writeString(const QString& section, const QString& key, const QString& value)
{
    return writeStrings(section, {{key, value}});
}

bool ProfileFile::writeStrings(const QString& section, const Entries& entries)
{
    bool existed = false;
    QByteArray before;
    Lines file = ReadLines(path_, &existed, &before);
    QList<QByteArray>& lines = file.lines;

    // Keep the file's own line ends: a file written on the recorder's home
    // platform has "\r\n", one written here "\n".
    bool crlf = false;
    for (const QByteArray& line : lines)
        crlf = crlf || line.endsWith('\r');
    const QByteArray cr = crlf ? QByteArray("\r") : QByteArray();

    for (const auto& [key, value] : entries)
        SetEntry(lines, section, key, value, cr);

    const QByteArray data = lines.join('\n');
    // The file already holds these values: nothing is lost when it cannot be
    // written, so a full disk or a read-only file is no failure here.
    if (existed && data == before && ModeOf(path_) == kOwnerOnly)
        return true;

    // All keys in one replacement of the file: values that belong together
    // (an account and its password) are never found half old, half new.
    QSaveFile out(path_);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    // Every write, not only the first: a file made readable by others
    // (an editor, a copy) must not keep showing the stored password.
    out.setPermissions(kOwnerOnly);
    return out.write(data) == data.size() && CommitWhole(out);
}
