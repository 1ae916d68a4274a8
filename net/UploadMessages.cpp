#include "net/UploadMessages.h"

namespace upload {
namespace {

constexpr int kSlotConnect = 125;   // "Fail to connect to server, please try again later."
constexpr int kSlotReceive = 127;   // "Data receiving error!"
constexpr int kSlotClosed = 128;    // "Connection closed!"
constexpr int kSlotDns = 160;       // "DNS Error."
constexpr int kSlotUnknown = 163;   // "Invalid name or password."

MessageRef Slot(int slot, const char* literal = "")
{
    return MessageRef{slot, QString(), QString::fromLatin1(literal)};
}

}  // namespace

MessageRef RefusalMessage(int replyCode)
{
    switch (replyCode) {
    case 2: return Slot(kSlotInvalidId);
    case 3: return Slot(130);   // "Invalid data!"
    case 4: return Slot(129);   // "The account is expired. Please top-up your account."
    case 6: return Slot(132);   // "Server has locked the file, please try again later."
    case 17: return Slot(169);  // "Please use the ID Number to register your heart let first."
    default: return Slot(kSlotConnect);
    }
}

MessageRef MessageFor(const Error& error)
{
    switch (error.failure) {
    case Failure::None:
    case Failure::Stopped: return {};
    case Failure::AccountTooLong:
    case Failure::PasswordTooLong:
    case Failure::CredentialsNotInCodePage: return Slot(kSlotInvalidId);
    case Failure::LookupFailed: return Slot(kSlotDns);
    case Failure::UnknownAccount: return Slot(kSlotUnknown);
    case Failure::BadDirectoryAnswer: return Slot(kSlotConnect);
    case Failure::ReceiveFailed: return Slot(kSlotReceive);
    case Failure::ReplyCut: return Slot(kSlotClosed);
    case Failure::Refused: return RefusalMessage(error.replyCode);
    case Failure::ConnectFailed:
        if (error.step == Step::CredentialCheck || error.step == Step::Login)
            return Slot(kSlotConnect, " \nerror code:00104.");
        return Slot(kSlotConnect);
    case Failure::SendFailed:
        switch (error.step) {
        case Step::CredentialCheck:
        case Step::Login: return Slot(kSlotConnect, " \nerror code:00105.");
        case Step::FileHeader: return Slot(kSlotConnect, "\nerror code:00106.");
        case Step::Content: return Slot(kSlotConnect, " \nerror code:00107.");
        case Step::TransferEnd: return Slot(kSlotConnect, " error code:00108.");
        default: return Slot(kSlotConnect);
        }
    }
    return Slot(kSlotConnect);
}

}  // namespace upload
