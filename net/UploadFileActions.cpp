#include "net/UploadFileActions.h"

#include "store/FhrBlock.h"
#include "store/SideFiles.h"

#include <QFile>

namespace upload {

Applied ApplyDelivery(const FileReport& report, bool deleteAfter)
{
    Applied applied;
    // Without the service's proof nothing changes: the file stays, unmarked,
    // and the next upload offers it again.
    if (report.delivery != Delivery::Delivered) return applied;
    if (deleteAfter) {
        // A file that cannot be deleted stays where it is, marked. A recording
        // takes its annotations along, as a delete from the data list does.
        if (report.isNote) QFile::remove(report.path);
        else RemoveRecordingAndDerivedFiles(report.path);
        applied.deleted = !QFile::exists(report.path);
        if (applied.deleted || report.isNote) return applied;
    }
    if (!report.isNote) applied.marked = SetUploadedMarker(report.path, 1).ok();
    return applied;
}

}  // namespace upload
