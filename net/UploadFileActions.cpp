#include "net/UploadFileActions.h"

#include "store/FhrBlock.h"

#include <QFile>

namespace upload {

Applied ApplyDelivery(const FileReport& report, bool deleteAfter)
{
    Applied applied;
    const bool delivered = report.delivery == Delivery::Delivered;
    const bool sent = delivered || report.delivery == Delivery::SentUnproved;
    if (!sent) return applied;
    if (delivered && deleteAfter) {
        // A file that cannot be deleted stays where it is.
        QFile::remove(report.path);
        applied.deleted = !QFile::exists(report.path);
        if (applied.deleted || report.isNote) return applied;
    }
    if (!report.isNote) applied.marked = SetUploadedMarker(report.path, 1).ok();
    return applied;
}

}  // namespace upload
