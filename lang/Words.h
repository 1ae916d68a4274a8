#pragma once
#include <QString>

#include <array>
#include <string_view>

// The texts the program shows beyond the slot table, in the user's language:
// the download's reasons, the recorder's refusals, print failures, the plain
// words about a recording that cannot be shown and a few captions. Each has a
// key in `lang/words/<identifier>.txt`, written like the slot table's texts.
enum class Word {
    DownloadNotDownloaded,
    DownloadAlreadyStored,
    DownloadIncomplete,
    DownloadRefused,
    DownloadNameTaken,
    DownloadWriteFailed,
    DownloadNoAnswer,
    DownloadTooManyRecordings,   // %1 the count the recorder reports
    DownloadTooManyListed,       // %1 the count the recorder reports
    DownloadUnplugged,
    DownloadRetriesExhausted,
    DownloadBytesNotWhole,
    DownloadLeftOnRecorder,      // %1 left, %2 reported, %3 the recording, %4 its reason
    DownloadARecording,
    EraseNoAnswer,
    EraseOtherRecorder,
    EraseContentChanged,
    EraseFailed,
    EraseNotAllStored,
    DeviceAccessDenied,
    DeviceStreaming,
    DeviceStreamNotStopped,
    DeviceWaitsInBootLoader,
    UpgradeTakeWholeImage,
    UpgradeDidNotRestart,
    OpenCannotRead,
    OpenWrongRate,
    OpenDamaged,
    OpenDetail,
    PrintWrongPaper,
    PrintMarginsTooSmall,        // %1 printer, %2 top mm, %3 bottom mm
    PrintUnreadable,             // %1 the recordings with their reasons
    PrintJobFailed,              // %1 printer or file, %2 the unreadable recordings or nothing
    PrintPartly,                 // %1 printed, %2 ticked, %3 the unreadable recordings
    WelcomeSubtitle,
    DataListRoot,
    WindowClose,
    WindowMinimise,
    DataListSize,                // the toggle between a larger and a smaller data list
    FindingNormal,               // the finding picture of a normal recording
    AccountCannotKeep,
    AccountNoBrowser,            // followed by the registration address on its own line
    SelectPathTitle,
    UpgradeFlashing,
    Count
};

// The key of each word in the resources, in the order of Word.
inline constexpr std::array<std::string_view, size_t(Word::Count)> kWordKeys = {
    "download.not-downloaded",
    "download.already-stored",
    "download.incomplete",
    "download.refused",
    "download.name-taken",
    "download.write-failed",
    "download.no-answer",
    "download.too-many-recordings",
    "download.too-many-listed",
    "download.unplugged",
    "download.retries-exhausted",
    "download.bytes-not-whole",
    "download.left-on-recorder",
    "download.a-recording",
    "erase.no-answer",
    "erase.other-recorder",
    "erase.content-changed",
    "erase.failed",
    "erase.not-all-stored",
    "device.access-denied",
    "device.streaming",
    "device.stream-not-stopped",
    "device.waits-in-boot-loader",
    "upgrade.take-whole-image",
    "upgrade.did-not-restart",
    "open.cannot-read",
    "open.wrong-rate",
    "open.damaged",
    "open.detail",
    "print.wrong-paper",
    "print.margins-too-small",
    "print.unreadable",
    "print.job-failed",
    "print.partly",
    "welcome.subtitle",
    "datalist.root",
    "window.close",
    "window.minimise",
    "datalist.size",
    "finding.normal",
    "account.cannot-keep",
    "account.no-browser",
    "selectpath.title",
    "upgrade.flashing",
};

QString WordKey(Word word);

// The word in the current language of the text table (TextTable::current());
// the English word when that language has none, or when no language is chosen
// (the command line).
QString WordOf(Word word);

// The word in one language, the same way; for tests and measuring.
QString WordIn(int languageId, Word word);
