#include "engine/WorkFolder.h"

#include <filesystem>
#include <system_error>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUuid>

#include "engine/EngineError.h"

namespace {

// The file whose lock marks a folder in use; the kernel drops the lock when its process ends,
// however it ends.
const QString kInUse = QStringLiteral(".in-use");

} // namespace

WorkFolder::WorkFolder(const QString& prefix) : m_path(freshTempPath(prefix))
{
    makeFolder(m_path);
    claim();
}

WorkFolder::WorkFolder(const Job& job) : m_path(root() + QLatin1Char('/') + job.name)
{
    makeFolder(m_path);
    if (!claim()) {
        m_remove = false;
        if (m_lockFd >= 0)
            ::close(m_lockFd);
        throw EngineError(QStringLiteral("Filesystem"), EBUSY,
                          QStringLiteral("Another Korvane is working on this upscale right now."));
    }
}

WorkFolder::~WorkFolder()
{
    if (m_remove)
        removeFolder(m_path);
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

bool WorkFolder::claim()
{
    const QByteArray lock = QFile::encodeName(m_path + QLatin1Char('/') + kInUse);
    m_lockFd = ::open(lock.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    // A folder whose lock can't be made at all is still used; only another holder refuses it.
    return m_lockFd < 0 || ::flock(m_lockFd, LOCK_EX | LOCK_NB) == 0;
}

bool WorkFolder::inUse(const QString& path)
{
    const QByteArray lock = QFile::encodeName(path + QLatin1Char('/') + kInUse);
    const int fd = ::open(lock.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

QString WorkFolder::filePath(const QString& name) const
{
    return m_path + QLatin1Char('/') + name;
}

QString WorkFolder::rootPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/Korvane/work");
}

QString WorkFolder::root()
{
    const QString path = rootPath();
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(QFile::encodeName(path).toStdString()),
                                        error);
    // Other users of the machine must not read a private video's frames.
    ::chmod(QFile::encodeName(path).constData(), 0700);
    return path;
}

QString WorkFolder::freshTempPath(const QString& prefix, const QString& suffix)
{
    return root() + QLatin1Char('/') + prefix +
           QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + suffix;
}

void WorkFolder::makeFolder(const QString& path)
{
    std::error_code error;
    const std::filesystem::path folder(QFile::encodeName(path).toStdString());
    std::filesystem::create_directories(folder, error);
    if (error)
        throw EngineError(QStringLiteral("Filesystem"), error.value(),
                          QStringLiteral("Could not create the folder %1: %2")
                              .arg(path, QString::fromLocal8Bit(error.message().c_str())));
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace, error);
}

void WorkFolder::removeFolder(const QString& path)
{
    QDir(path).removeRecursively();
}

int WorkFolder::countEntries(const QString& path)
{
    return int(QDir(path)
                   .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
                   .size());
}

QString WorkFolder::keep(const QString& file)
{
    const QFileInfo info(file);
    QString kept = info.absoluteFilePath();
    const QString home = root();
    if (info.absolutePath() != QFileInfo(home).absoluteFilePath()) {
        // Named after its job folder, which makes the name unique.
        const QString moved =
            QDir(home).filePath(info.dir().dirName() + QLatin1Char('-') + info.fileName());
        if (QFile::rename(file, moved))
            kept = moved;
    }
    QFile marker(keptMarker(kept));
    if (marker.open(QIODevice::WriteOnly))
        marker.close();
    return kept;
}

bool WorkFolder::isKept(const QString& path)
{
    const QString marker = QStringLiteral(".kept");
    if (path.endsWith(marker))
        return QFileInfo::exists(path.chopped(marker.size()));
    return QFileInfo::exists(keptMarker(path));
}
