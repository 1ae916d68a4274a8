#pragma once
#include "net/UploadTypes.h"

namespace upload {

// What was done to a file after its upload.
struct Applied {
    bool marked = false;   // the recording's uploaded marker was set
    bool deleted = false;  // the file is gone from disk
};

// Handles a settled file. Only a delivered one is touched: a recording is
// deleted with `deleteAfter`, otherwise marked uploaded (when it carries a
// signed analysis block); a note is deleted with `deleteAfter`. A deleted
// recording takes its annotations along; its note stays until the note
// itself is delivered.
Applied ApplyDelivery(const FileReport& report, bool deleteAfter);

}  // namespace upload
