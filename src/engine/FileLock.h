#pragma once

#include <QString>

// An exclusive lock on a lock file shared by every Korvane process of the user (flock(2)): held
// from construction to destruction, dropped by the kernel when the process ends however it ends.
// The lock file itself is left in place, so no process ever locks a file another one just removed.
//
// Threading: blocks until the lock is free; worker threads only, never the main thread.
class FileLock final {
public:
    // Creates the lock file (and its folder) when missing. When it can't be created or locked,
    // the lock is not held (see held()) and the caller goes on without it.
    explicit FileLock(const QString& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool held() const { return m_held; }

private:
    int m_fd = -1;
    bool m_held = false;
};
