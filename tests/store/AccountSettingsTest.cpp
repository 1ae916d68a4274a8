#include "FileSizeLimit.h"
#include "store/AccountSettings.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A stored password must come back exactly as it was typed, or the next
// upload logs in with another one.
TEST(AccountSettings, APasswordReadsBackExactlyAsStored)
{
    const QString passwords[] = {
        "plain", "\"x\"", " x ", "'quoted'", "a=b=c", "  ", "p\u00e4ss w\u00f6rt", "#not-a-comment", ";semi",
    };
    for (const QString& password : passwords) {
        SCOPED_TRACE(password.toStdString());
        QTemporaryDir dir;
        AccountSettings settings(dir.filePath("Heartlet.ini"));
        ASSERT_TRUE(settings.store(" " + password, password, true));
        EXPECT_EQ(AccountSettings(settings.path()).password(), password);
        EXPECT_EQ(settings.account(), " " + password);
        EXPECT_TRUE(settings.remembered());
    }
}

TEST(AccountSettings, ValuesTheFileCannotCarryAreRefusedAndNothingIsWritten)
{
    QTemporaryDir dir;
    AccountSettings settings(dir.filePath("Heartlet.ini"));
    ASSERT_TRUE(settings.store("me", "first", true));
    EXPECT_FALSE(AccountSettings::CanKeep("two\nlines"));
    EXPECT_FALSE(settings.store("me", "two\nlines", true));
    EXPECT_FALSE(settings.store("me\r", "pw", true));
    EXPECT_EQ(settings.password(), "first");
}

// An account is stored whole or not at all: a save that fails on the way
// never leaves the new account beside the old password.
TEST(AccountSettings, AFailedStoreKeepsTheOldAccountWhole)
{
    QTemporaryDir dir;
    AccountSettings settings(dir.filePath("Heartlet.ini"));
    ASSERT_TRUE(settings.store("a-rather-long-old-account@example.org", "old", true));
    QFile file(settings.path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    {
        // The shorter account alone still fits; with the longer password the file does not.
        FileSizeLimit full(rlim_t(before.size()));
        EXPECT_FALSE(settings.store("new@example.org", "a-new-password-much-longer-than-the-old", true));
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
    EXPECT_EQ(settings.account(), "a-rather-long-old-account@example.org");
    EXPECT_EQ(settings.password(), "old");
}

TEST(AccountSettings, NotRememberedLeavesEmptyFieldsAndNoCredentials)
{
    QTemporaryDir dir;
    AccountSettings settings(dir.filePath("Heartlet.ini"));
    ASSERT_TRUE(settings.store("me", "pw", false));
    EXPECT_FALSE(settings.remembered());
    EXPECT_FALSE(settings.hasCredentials());
    ASSERT_TRUE(settings.store("0", "0", true));
    EXPECT_FALSE(settings.hasCredentials());  // "0" is the old programs' empty field
}

TEST(AccountSettings, TheLanguageNumberOfSetinfo)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("setinfo.ini");
    EXPECT_EQ(StoredLanguageNumber(path), 0);
    for (const auto& [text, id] : {std::pair{"1031", 1031}, {" 1028\r\n", 1028}, {"junk", 0}, {"-5", 0}}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();
        EXPECT_EQ(StoredLanguageNumber(path), id) << text;
    }
}

}  // namespace
