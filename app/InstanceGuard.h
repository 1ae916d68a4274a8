#pragma once
#include <QString>

// Lets one instance of the program run per user: an exclusive lock on a file in
// the settings folder, held for the life of the process. The kernel drops the
// lock when the process ends, even after a crash, so no stale lock survives.
// A second instance only opens the existing lock file; it writes nothing.
class InstanceGuard {
public:
    enum class Result { Acquired, AlreadyRunning, Failed };

    InstanceGuard() = default;
    ~InstanceGuard();
    InstanceGuard(const InstanceGuard&) = delete;
    InstanceGuard& operator=(const InstanceGuard&) = delete;

    static constexpr char kLockFileName[] = ".heartlet-instance.lock";

    // Takes the lock in `settingsFolder`; `error` gets the system's reason on Failed.
    Result acquire(const QString& settingsFolder, QString* error = nullptr);
    bool held() const { return fd_ >= 0; }
    void release();

private:
    int fd_ = -1;
};
