#include "device/DownloadSequence.h"
#include "device/DownloadJob.h"
#include "device/JobRequest.h"

namespace device {

DownloadClose DownloadThenErase(DeviceJobBoard& board, DeviceEnvironment& env, bool erase)
{
    board.cancelRequest = false;
    if (RequestJobAndWait(board, env, DownloadJobCode, ButtonWaitStepMs, true) != JobSucceeded)
        return DownloadClose::NotComplete;
    if (!erase)
        return DownloadClose::Downloaded;
    board.eraseOnlyIf = EraseConditionAfter(board.download.result);
    if (!board.eraseOnlyIf) {
        board.eraseRefusal = EraseRefusal::NoCondition;
        return DownloadClose::EraseFailed;
    }
    return RequestJobAndWait(board, env, EraseJobCode, SlowWaitStepMs) == JobSucceeded ? DownloadClose::Erased
                                                                                       : DownloadClose::EraseFailed;
}

}  // namespace device
