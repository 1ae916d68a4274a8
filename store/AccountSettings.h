#pragma once
#include "store/ProfileFile.h"

#include <QString>

// The web service's account and addresses as Heartlet.ini keeps them, for the
// upload, account and upgrade windows and the command line alike.
class AccountSettings {
public:
    explicit AccountSettings(QString heartletIni);

    const QString& path() const { return file_.path(); }

    // Both exactly as stored: blanks and quotes are part of them.
    QString account() const;
    QString password() const;
    // Both an account and a password are there ("0" counts as none, as the
    // service's first program wrote it for an empty field).
    bool hasCredentials() const;
    // Whether "remember me" was ticked when the account was last entered.
    bool remembered() const;
    // Stores the account (or empty fields when not remembered). False when a
    // value cannot be kept in the file (a line break) or the file cannot be written.
    bool store(const QString& account, const QString& password, bool remember);
    // A value the file can carry and give back unchanged.
    static bool CanKeep(const QString& value);
    // An account or password that is not there: empty, or "0".
    static bool Missing(const QString& value);

    QString hostName() const;
    bool rememberHostIp(const QString& address);
    // The directory's name of the update server; `fallback` when none is set.
    QString upgradeAccount(const QString& fallback) const;

private:
    ProfileFile file_;
};

// The language number stored in setinfo.ini; 0 when it holds none.
int StoredLanguageNumber(const QString& setinfoIni);
