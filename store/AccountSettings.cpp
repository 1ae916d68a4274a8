#include "store/AccountSettings.h"

#include <QFile>

namespace {

const QString kSection = QStringLiteral("INFO");
// "REM" holds "2" when the account is remembered, "1" when it is not.
const QString kRemembered = QStringLiteral("2");

}  // namespace

AccountSettings::AccountSettings(QString heartletIni) : file_(std::move(heartletIni)) {}

QString AccountSettings::account() const
{
    return file_.readExact(kSection, QStringLiteral("ACCOUNT"));
}

QString AccountSettings::password() const
{
    return file_.readExact(kSection, QStringLiteral("PASSWORD"));
}

bool AccountSettings::Missing(const QString& value)
{
    return value.isEmpty() || value == QLatin1String("0");
}

bool AccountSettings::hasCredentials() const
{
    return !Missing(account()) && !Missing(password());
}

bool AccountSettings::remembered() const
{
    return file_.readString(kSection, QStringLiteral("REM")) == kRemembered;
}

bool AccountSettings::CanKeep(const QString& value)
{
    return !value.contains(QLatin1Char('\n')) && !value.contains(QLatin1Char('\r'));
}

bool AccountSettings::store(const QString& account, const QString& password, bool remember)
{
    if (!CanKeep(account) || !CanKeep(password)) return false;
    // One write for the three: a failure never leaves a new account beside the old password.
    return file_.writeStrings(kSection, {{QStringLiteral("ACCOUNT"), remember ? account : QString()},
                                         {QStringLiteral("PASSWORD"), remember ? password : QString()},
                                         {QStringLiteral("REM"), remember ? kRemembered : QStringLiteral("1")}});
}

QString AccountSettings::hostName() const
{
    return file_.readString(kSection, QStringLiteral("HOST_NAME"));
}

bool AccountSettings::rememberHostIp(const QString& address)
{
    return file_.writeString(kSection, QStringLiteral("HOST_IP"), address);
}

QString AccountSettings::upgradeAccount(const QString& fallback) const
{
    return file_.readString(kSection, QStringLiteral("UPGRADE_ACCOUNT"), fallback);
}

int StoredLanguageNumber(const QString& setinfoIni)
{
    QFile file(setinfoIni);
    if (!file.open(QIODevice::ReadOnly)) return 0;
    bool ok = false;
    const int id = QString::fromLatin1(file.read(64)).trimmed().toInt(&ok);
    return ok && id > 0 ? id : 0;
}
