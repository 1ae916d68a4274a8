#include "store/EdfProblem.h"

QString EdfErrorText(EdfError code)
{
    switch (code) {
    case EdfError::None: return QStringLiteral("No problem");
    case EdfError::CannotOpen: return QStringLiteral("The file cannot be opened");
    case EdfError::HeaderTruncated: return QStringLiteral("The file ends inside its header");
    case EdfError::BadNumber: return QStringLiteral("A header field does not hold a number");
    case EdfError::BadDate: return QStringLiteral("The start date is malformed");
    case EdfError::BadTime: return QStringLiteral("The start time is malformed");
    case EdfError::BadSignalCount: return QStringLiteral("Impossible number of signals");
    case EdfError::BadRecordCount: return QStringLiteral("Impossible number of data records");
    case EdfError::BadRecordDuration: return QStringLiteral("Impossible data record duration");
    case EdfError::BadSampleCount: return QStringLiteral("Impossible number of samples per data record");
    case EdfError::BadDigitalRange: return QStringLiteral("Digital minimum or maximum outside 16 bits");
    case EdfError::DataTruncated: return QStringLiteral("The file holds fewer samples than its header promises");
    case EdfError::UnsupportedRate: return QStringLiteral("Unsupported sample rate (only 128 and 256 samples per second)");
    case EdfError::BadInput: return QStringLiteral("Inconsistent recording data");
    case EdfError::CannotWrite: return QStringLiteral("The file cannot be written");
    }
    return QStringLiteral("Unknown problem");
}

QString EdfProblem::message() const
{
    QString text = EdfErrorText(code);
    if (!field.isEmpty()) {
        text += QStringLiteral(": field \"%1\"").arg(field);
        if (offset >= 0) text += QStringLiteral(" at byte %1").arg(offset);
    } else if (offset >= 0) {
        text += QStringLiteral(" at byte %1").arg(offset);
    }
    if (!detail.isEmpty()) text += (field.isEmpty() && offset < 0 ? QStringLiteral(": ") : QStringLiteral(" - ")) + detail;
    return text;
}

EdfProblem EdfProblem::make(EdfError code, QString field, qint64 offset, QString detail)
{
    EdfProblem p;
    p.code = code;
    p.field = std::move(field);
    p.offset = offset;
    p.detail = std::move(detail);
    return p;
}
