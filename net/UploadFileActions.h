#pragma once
#include "net/UploadTypes.h"

namespace upload {

// What was done to a file after its upload.
struct Applied {
    bool marked = false;   // the recording's uploaded marker was set
    bool deleted = false;  // the file is gone from disk
};

// Handles a settled file: a delivered recording is deleted with
// `deleteAfter`, otherwise marked uploaded (when it carries a signed analysis
// block); a recording that was sent but never confirmed is marked, never
// deleted; a delivered note is deleted with `deleteAfter`. Only the file
// itself goes: a recording's note stays until the note itself is delivered.
Applied ApplyDelivery(const FileReport& report, bool deleteAfter);

}  // namespace upload
