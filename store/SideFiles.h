#pragma once
#include <QString>

// Side files of a recording, sharing its path up to the extension:
// ".cmm" (the measurement note), ".par" (legacy parameters, read and
// ignored), ".atr" (the external analyser's annotations).

// The note path: every ".edf" of the recording path replaced by ".cmm",
// without regard to letter case.
QString NotePath(const QString& recordingPath);

// The legacy parameter file: the recording path without its last four
// characters, followed by ".par".
QString ParPath(const QString& recordingPath);

// What the note box shows after a node was opened.
struct NoteView {
    QString text;         // memo text: every line followed by CR LF, or empty
    bool enabled = false;  // the memo is editable only for a recording
};

// Opens the note of a recording for the memo: creates an empty note file when
// there is none; a path without ".edf" (a folder node) gives an empty,
// disabled memo. A note that cannot be created or read shows empty.
// Notes are UTF-8; a note that is not valid UTF-8 was written by the earlier
// program in the code page of the user's language (`languageId`) and is read
// in that code page.
NoteView LoadNote(const QString& recordingPath, int languageId = 1033);

// The memo's change: stores the memo text, trimmed of leading and trailing
// white space, followed by CR LF, replacing the note file atomically. Does
// nothing when the open path has no ".edf" or the memo text is empty (the
// last non-empty text stays stored). Returns false when writing failed.
bool Memo1Change(const QString& openRecordingPath, const QString& memoText);

// Reads the first 1600 bytes of the ".par" file when present; the content is
// not used. Returns true when the file was there.
bool ReadParFile(const QString& recordingPath);

// Removes the recording file and what was made from it (the analyser's ".atr"),
// not its note. Returns false when the recording file could not be removed.
bool RemoveRecordingAndDerivedFiles(const QString& recordingPath);

// Deletes a recording: its ".edf", ".cmm" and ".atr" files (the legacy ".par" stays).
// Returns false when the recording file could not be removed.
bool DeleteRecordingFiles(const QString& recordingPath);
