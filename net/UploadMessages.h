#pragma once
#include "net/UploadTypes.h"

#include <QString>

namespace upload {

// Which message tells the user about a failure: a text-table slot (or, for
// the few messages the table lacks, an English text) and the error-code
// literal that follows it directly, line breaks and blanks included.
struct MessageRef {
    int slot = -1;         // text-table slot; -1 when `english` is the text
    QString english;       // only when there is no slot
    QString codeLiteral;   // appended to the slot's text, e.g. " \nerror code:00104."
    bool none() const { return slot < 0 && english.isEmpty(); }
};

// The message of a failed upload; none() for a stop by the user.
MessageRef MessageFor(const Error& error);
// The message of a reply code that refuses a check or a login (2, 3, 4, 6, 17).
MessageRef RefusalMessage(int replyCode);

// Slots of the upload's other messages.
inline constexpr int kSlotDiskFull = 131;       // "Free hard disk space is full!"
inline constexpr int kSlotCompleted = 135;      // "Upload completed!"
inline constexpr int kSlotFailed = 136;         // "Upload failed!"
inline constexpr int kSlotAllDeleted = 159;     // "All ECG data shall be deleted from the software."
inline constexpr int kSlotOverwrite = 126;      // "This file has been uploaded before. Do you want to overwrite?"
inline constexpr int kSlotInvalidId = 133;      // "Invalid ID or password!"
inline constexpr int kSlotSelectFiles = 166;    // "Please select the file(s) to upload."
inline constexpr int kSlotAccountNotSaved = 153; // "Changes to the settings failed."
// A recording that could not be opened (shown in a plain message box).
inline constexpr char kFileProblem[] = "There was a problem opening the file";
// A note with characters the service's code page cannot carry.
inline constexpr char kNoteReplaced[] =
    "Some characters of the note have no place in the language's code page; they were sent as \"?\".";

}  // namespace upload
