#include "engine/FileLock.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

FileLock::FileLock(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW,
                  0600);
    if (m_fd < 0)
        return;
    int code = 0;
    do {
        code = ::flock(m_fd, LOCK_EX);
    } while (code != 0 && errno == EINTR);
    m_held = code == 0;
}

FileLock::~FileLock()
{
    // Closing the descriptor drops the lock.
    if (m_fd >= 0)
        ::close(m_fd);
}
