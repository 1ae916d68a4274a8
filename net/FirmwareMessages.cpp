#include "net/FirmwareMessages.h"

namespace firmware {

upload::MessageRef MessageFor(const FetchOutcome& outcome)
{
    switch (outcome.failure) {
    case FetchFailure::None:
    case FetchFailure::Cancelled: return {};
    // The server's data broke off: the image would be incomplete.
    case FetchFailure::ReceiveFailed:
    case FetchFailure::ReplyCut: return upload::MessageRef{kSlotReceive, {}, {}};
    // Nothing usable offered: the same words as an image that fails its check.
    case FetchFailure::NoImage:
    case FetchFailure::BadSize: return upload::MessageRef{kSlotFormatError, {}, {}};
    case FetchFailure::FileError: return upload::MessageRef{kSlotOpenError, {}, {}};
    default: return upload::MessageRef{kSlotNoServer, {}, {}};
    }
}

}  // namespace firmware
