#include "app/LanguageChoice.h"

#include "lang/LanguageLocale.h"
#include "store/EdfWriter.h"

#include <QFile>
#include <cstring>

QString ReadLanguageText(const QString& setInfoPath)
{
    QFile file(setInfoPath);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("1033");
    return QString::fromUtf8(file.readAll()).trimmed();
}

int LanguageIdOf(const QString& languageText)
{
    bool ok = false;
    const int id = languageText.toInt(&ok, 10);
    return ok ? id : 1033;
}

LanguageDecision ChooseLanguage(const QString& setInfoPath, const LanguageRequest& request)
{
    if (request.chosen)
        return {QString::number(*request.chosen), true};
    if (QFile::exists(setInfoPath))
        return {ReadLanguageText(setInfoPath), false};
    return {QString::number(LanguageNearestTo(request.desktop)), true};
}

bool WriteLanguageFile(const QString& setInfoPath, int languageId)
{
    return WriteFileAtomically(setInfoPath, QByteArray::number(languageId)).ok();
}

bool LeftEdge::operator==(const LeftEdge& other) const
{
    return std::strcmp(control, other.control) == 0 && left == other.left;
}

QList<LeftEdge> FirstLanguagePositions(const QString& languageText)
{
    if (languageText == QLatin1String("1028"))
        return {{"DeviceIDLabel", 800}, {"ConnLabe", 930}};
    return {{"DeviceIDLabel", 758}, {"ConnLabe", 883}, {"RecordDate", 120}};
}

QList<LeftEdge> SecondLanguagePositions(const QString& languageText)
{
    static const char* const kPlainRow[] = {"1050", "1029", "1030", "1035", "1038", "1040", "1044", "1045", "1046",
                                            "1048", "2074", "1051", "1055", "1043", "1033", "1028", "1031", "1053"};
    QList<LeftEdge> edges{{"HRImage", 150}, {"HeartRate", 180}, {"bpmLabel", 245}};
    const auto is = [&](const char* id) { return languageText == QLatin1String(id); };
    if (is("1026") || is("1049")) {
        edges.append({"ConnLabe", 850});
        return edges;
    }
    if (is("1036") || is("1032") || is("3082")) {
        edges.append({"ConnLabe", 863});
        return edges;
    }
    if (is("1060")) {
        edges.append({{"CtlImg", 205}, {"RecordInfoLabel", 13}, {"DataListLabel", 13}});
        return edges;
    }
    for (const char* id : kPlainRow) {
        if (is(id))
            return edges;
    }
    return {};
}
