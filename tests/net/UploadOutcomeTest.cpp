// What the user is told and what happens to the files, per outcome.
#include "net/UploadFileActions.h"
#include "net/UploadMessages.h"
#include "store/AnnotationFile.h"
#include "store/SideFiles.h"
#include "tests/store/StoreFixtures.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace upload;

TEST(UploadMessages, RefusalsAndErrorCodeLiteralsByteForByte)
{
    struct Refusal {
        int code;
        int slot;
    } refusals[] = {{2, 133}, {3, 130}, {4, 129}, {6, 132}, {17, 169}, {9, 125}};
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.code);
        EXPECT_EQ(RefusalMessage(r.code).slot, r.slot);
        EXPECT_EQ(RefusalMessage(r.code).codeLiteral, "");
        EXPECT_EQ(MessageFor(Error{Failure::Refused, Step::Login, r.code}).slot, r.slot);
    }
    // The blank before the line break differs between the literals; 00108 has no line break.
    struct Literal {
        Failure failure;
        Step step;
        const char* literal;
    } literals[] = {
        {Failure::ConnectFailed, Step::CredentialCheck, " \nerror code:00104."},
        {Failure::ConnectFailed, Step::Login, " \nerror code:00104."},
        {Failure::SendFailed, Step::CredentialCheck, " \nerror code:00105."},
        {Failure::SendFailed, Step::Login, " \nerror code:00105."},
        {Failure::SendFailed, Step::FileHeader, "\nerror code:00106."},
        {Failure::SendFailed, Step::Content, " \nerror code:00107."},
        {Failure::SendFailed, Step::TransferEnd, " error code:00108."},
    };
    for (const Literal& l : literals) {
        SCOPED_TRACE(l.literal);
        const MessageRef m = MessageFor(Error{l.failure, l.step, 0});
        EXPECT_EQ(m.slot, 125);
        EXPECT_EQ(m.codeLiteral.toLatin1(), QByteArray(l.literal));
    }
}

// A recording deleted after its delivery takes its annotations along, as a
// delete from the data list does; its note waits for its own delivery.
TEST(UploadFileActions, ADeliveredRecordingGoesWithItsAnnotationsButNotItsNote)
{
    QTemporaryDir dir;
    const QString edf = dir.filePath("142530.edf");
    fixtures::writeBytes(edf, QByteArray(600, 'x'));
    fixtures::writeBytes(AnnotationPath(edf), QByteArray(4, '\0'));
    fixtures::writeBytes(NotePath(edf), "note\r\n");

    FileReport unproved{0, false, edf, Delivery::SentUnproved};
    EXPECT_FALSE(ApplyDelivery(unproved, true).deleted);
    EXPECT_TRUE(QFile::exists(edf));

    FileReport delivered{0, false, edf, Delivery::Delivered};
    EXPECT_TRUE(ApplyDelivery(delivered, true).deleted);
    EXPECT_FALSE(QFile::exists(edf));
    EXPECT_FALSE(QFile::exists(AnnotationPath(edf)));
    EXPECT_TRUE(QFile::exists(NotePath(edf)));

    FileReport note{0, true, NotePath(edf), Delivery::Delivered};
    EXPECT_TRUE(ApplyDelivery(note, true).deleted);
    EXPECT_FALSE(QFile::exists(NotePath(edf)));
}

}  // namespace
