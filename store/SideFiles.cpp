#include "store/SideFiles.h"

#include "store/AnnotationFile.h"

#include "store/EdfWriter.h"
#include "store/LegacyCodePage.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>

namespace {

const QRegularExpression& edfPattern()
{
    static const QRegularExpression re(QStringLiteral("\\.edf"), QRegularExpression::CaseInsensitiveOption);
    return re;
}

bool containsEdf(const QString& path)
{
    return path.contains(QLatin1String(".edf"));
}

// UTF-8 is what notes are written in. A note of the earlier program is in the
// code page of the user's language; reading it as anything else would show
// wrong letters, and the memo's first change would store them for good.
QString decodeNote(const QByteArray& bytes, int languageId)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) text = LegacyCodePage::decode(bytes, languageId);
    return text;
}

}  // namespace

QString NotePath(const QString& recordingPath)
{
    QString p = recordingPath;
    return p.replace(edfPattern(), QStringLiteral(".cmm"));
}

QString ParPath(const QString& recordingPath)
{
    return recordingPath.left(std::max<qsizetype>(0, recordingPath.size() - 4)) + QStringLiteral(".par");
}

NoteView LoadNote(const QString& recordingPath, int languageId)
{
    NoteView view;
    if (!containsEdf(recordingPath)) return view;
    view.enabled = true;
    const QString path = NotePath(recordingPath);
    QFile file(path);
    if (!file.exists()) {
        if (file.open(QIODevice::WriteOnly)) file.close();
        return view;
    }
    if (!file.open(QIODevice::ReadOnly)) return view;
    const QString whole = decodeNote(file.readAll(), languageId);
    if (whole.isEmpty()) return view;
    // Every line followed by CR LF, as the note box shows it.
    QStringList lines = whole.split(QStringLiteral("\n"));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        view.text += line + QStringLiteral("\r\n");
    }
    return view;
}

bool Memo1Change(const QString& openRecordingPath, const QString& memoText)
{
    if (!containsEdf(openRecordingPath) || memoText.isEmpty()) return true;
    // The note file separates lines with CR LF, whatever the memo uses.
    QString text = memoText.trimmed();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    text += QStringLiteral("\r\n");
    return WriteFileAtomically(NotePath(openRecordingPath), text.toUtf8()).ok();
}

bool ReadParFile(const QString& recordingPath)
{
    QFile file(ParPath(recordingPath));
    if (!file.open(QIODevice::ReadOnly)) return false;
    (void)file.read(1600);
    return true;
}

bool RemoveRecordingAndDerivedFiles(const QString& recordingPath)
{
    QFile edf(recordingPath);
    edf.setPermissions(edf.permissions() | QFileDevice::WriteOwner);
    const bool removed = edf.remove();
    // The analyser's annotations are made from the recording and go with it;
    // left behind they would keep the emptied folders in the data list.
    if (removed) QFile::remove(AnnotationPath(recordingPath));
    return removed;
}

bool DeleteRecordingFiles(const QString& recordingPath)
{
    const bool removed = RemoveRecordingAndDerivedFiles(recordingPath);
    const QString note = NotePath(recordingPath);
    if (QFile::exists(note)) QFile::remove(note);
    return removed;
}
