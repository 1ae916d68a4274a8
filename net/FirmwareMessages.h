#pragma once
#include "net/FirmwareFetch.h"
#include "net/UploadMessages.h"

namespace firmware {

// The message of a failed fetch; none() for a cancel by the user.
upload::MessageRef MessageFor(const FetchOutcome& outcome);

// Slots of the upgrade's texts.
inline constexpr int kSlotDownload = 17;        // "Download" (followed by "..." while fetching)
inline constexpr int kSlotTotalSize = 37;       // "Total size"
inline constexpr int kSlotSize = 39;            // "Size"
inline constexpr int kSlotBytes = 40;           // "Byte(s)"
inline constexpr int kSlotCancelled = 122;      // "The download was cancelled."
inline constexpr int kSlotReceive = 127;        // "Data receiving error!"
inline constexpr int kSlotAskUpgrade = 137;     // "Do you want to upgrade firmware ?"
inline constexpr int kSlotNoServer = 154;       // "Cannot connect to the upgrade server!"
inline constexpr int kSlotCompleted = 155;      // "Firmware upgrade completed."
inline constexpr int kSlotFailed = 156;         // "Firmware upgrade failed."
inline constexpr int kSlotOpenError = 157;      // "Error opening file!"
inline constexpr int kSlotFormatError = 158;    // "Image format error!"

}  // namespace firmware
