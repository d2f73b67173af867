#include "processing/OutputFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStorageInfo>
#include <QUuid>

#include "engine/WorkFolder.h"
#include "processing/OutputNaming.h"

namespace OutputFile {

namespace {

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

QString reasonOf(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

QString shortId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).left(8).toUpper();
}

// Writes the file's data to the disk; an error number, or 0.
int syncFile(const QString& path)
{
    const int fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int code = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return code;
}

// Copies from into the new file to, synced to the disk; the reason of a failure, or empty.
QString copyFile(const QString& from, const QString& to)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return in.errorString();
    QFile out(to);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return out.errorString();
    constexpr qint64 chunkSize = qint64(4) << 20;
    for (;;) {
        const QByteArray chunk = in.read(chunkSize);
        if (chunk.isEmpty())
            break;
        if (out.write(chunk) != chunk.size())
            return out.errorString();
    }
    if (in.error() != QFileDevice::NoError)
        return in.errorString();
    if (!out.flush())
        return out.errorString();
    if (::fsync(out.handle()) != 0)
        return reasonOf(errno);
    out.close();
    return out.error() == QFileDevice::NoError ? QString() : out.errorString();
}

// Renames without ever replacing an entry at to; an error number (EEXIST when taken), or 0.
int renameNoReplace(const QString& from, const QString& to)
{
    const QByteArray source = native(from);
    const QByteArray target = native(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
    // The file system cannot rename without replacing; a hard link fails on a taken name.
    if (::link(source.constData(), target.constData()) == 0) {
        ::unlink(source.constData());
        return 0;
    }
    if (errno == EEXIST)
        return EEXIST;
    // Neither works (drives formatted for other systems): look, then rename.
    if (OutputNaming::isTaken(to))
        return EEXIST;
    return ::rename(source.constData(), target.constData()) == 0 ? 0 : errno;
}

// Identity of an entry, without following a link; nullopt when there is none.
struct EntryId {
    quint64 device = 0;
    quint64 inode = 0;
    bool emptyFile = false;
};
std::optional<EntryId> identify(const QString& path)
{
    struct stat entry {};
    if (::lstat(native(path).constData(), &entry) != 0)
        return std::nullopt;
    return EntryId{quint64(entry.st_dev), quint64(entry.st_ino),
                   S_ISREG(entry.st_mode) && entry.st_size == 0};
}

// True while the reservation's placeholder is still the empty file this job created.
bool ownsPlaceholder(const Reservation& reservation)
{
    if (!reservation.hasPlaceholder())
        return false;
    const std::optional<EntryId> now = identify(reservation.path);
    return now && now->emptyFile && now->device == reservation.device &&
           now->inode == reservation.inode;
}

// Creates path as an empty file that did not exist; an error number (EEXIST when taken), or 0.
int createExclusive(const QString& path, Reservation* reservation)
{
    const int fd = ::open(native(path).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    struct stat made {};
    const int code = ::fstat(fd, &made) == 0 ? 0 : errno;
    ::close(fd);
    if (code != 0) {
        ::unlink(native(path).constData());
        return code;
    }
    reservation->path = path;
    reservation->device = quint64(made.st_dev);
    reservation->inode = quint64(made.st_ino);
    return 0;
}

// Renames partial to the reserved name: over the job's own placeholder, over the chosen file in
// Replace mode, and otherwise never over an entry that is there. Returns the error number (0 on
// success) and sets *placed.
int commit(const QString& partial, const Reservation& reservation, QString* placed)
{
    const QString& destination = reservation.path;
    *placed = destination;
    if (reservation.mode == Mode::Replace || ownsPlaceholder(reservation))
        return ::rename(native(partial).constData(), native(destination).constData()) == 0 ? 0
                                                                                           : errno;
    int code = renameNoReplace(partial, destination);
    if (reservation.mode == Mode::Exclusive)
        return code;
    // The placeholder went and something else took the name: take the next free one.
    const QFileInfo target(destination);
    const QString stem = OutputNaming::baseName(target.fileName());
    const QString extension = target.suffix();
    for (int attempt = 0; code == EEXIST && attempt < 100; ++attempt) {
        *placed = OutputNaming::firstFreePath(target.absolutePath(), stem, extension);
        code = renameNoReplace(partial, *placed);
    }
    return code;
}

EngineError reserveFailure(const QString& what, const QString& destination, int code)
{
    if (code == EEXIST)
        return EngineError(QStringLiteral("OutputFile"), 1,
                           destination + QStringLiteral(" already exists or another upscale is "
                                                        "saving to it. Choose another name."));
    QString message = QStringLiteral("The upscaled ") + what +
                      QStringLiteral(" can't be saved as ") + destination + QStringLiteral(": ") +
                      reasonOf(code) + QLatin1Char('.');
    if (code == ENAMETOOLONG)
        message += QStringLiteral(" Choose a shorter name or another folder.");
    return EngineError(QStringLiteral("OutputFile"), 1, message);
}

EngineError failure(const QString& what, const QString& destination, const QString& reason,
                    const QString& kept)
{
    QString message = QStringLiteral("The upscaled ") + what +
                      QStringLiteral(" could not be saved as ") + destination +
                      QStringLiteral(": ") + reason + QLatin1Char('.');
    if (!kept.isEmpty())
        message += QStringLiteral(" The finished ") + what + QStringLiteral(" was kept at ") +
                   kept + QStringLiteral("; move it where you want it.");
    return EngineError(QStringLiteral("OutputFile"), 1, message);
}

} // namespace

QString partialPath(const QString& destination)
{
    const QFileInfo target(destination);
    QString name = QLatin1Char('.') + target.fileName() + QLatin1Char('.') + shortId() +
                   QStringLiteral(".part");
    // A name near the file system's limit (255 bytes) would not leave room for the additions.
    if (QFile::encodeName(name).size() > 255)
        name = QStringLiteral(".korvane-") + shortId() + QStringLiteral(".part");
    return target.dir().filePath(name);
}

Reservation reserve(const QString& destination, Mode mode, const QString& what, bool adopt)
{
    Reservation reservation;
    reservation.path = QFileInfo(destination).absoluteFilePath();
    reservation.mode = mode;
    if (mode == Mode::Replace)
        return reservation;
    if (adopt) {
        const std::optional<EntryId> earlier = identify(reservation.path);
        if (earlier && earlier->emptyFile) {
            reservation.device = earlier->device;
            reservation.inode = earlier->inode;
            return reservation;
        }
    }
    const QFileInfo target(reservation.path);
    const QString folder = target.absolutePath();
    const QString stem = OutputNaming::baseName(target.fileName());
    const QString extension = target.suffix();
    QString path = reservation.path;
    for (int n = 1;; ++n) {
        const int code = createExclusive(path, &reservation);
        if (code == 0)
            return reservation;
        if (code != EEXIST || mode == Mode::Exclusive || n > 9999)
            throw reserveFailure(what, path, code);
        path = OutputNaming::numberedPath(folder, stem, extension, n);
    }
}

void release(const Reservation& reservation)
{
    if (ownsPlaceholder(reservation))
        ::unlink(native(reservation.path).constData());
}

bool sameFile(const QString& a, const QString& b)
{
    const QFileInfo first(a);
    const QFileInfo second(b);
    if (first.exists() && second.exists())
        return first.canonicalFilePath() == second.canonicalFilePath();
    return first.absoluteFilePath() == second.absoluteFilePath();
}

Placement place(const QString& finished, const Reservation& reservation, const QString& what)
{
    Placement result;
    const QString& destination = reservation.path;
    const QString partial = partialPath(destination);
    // On one volume the result is renamed beside the destination; across volumes it is copied.
    bool moved = ::rename(native(finished).constData(), native(partial).constData()) == 0;
    QString problem;
    if (!moved && errno != EXDEV)
        problem = reasonOf(errno);
    else if (!moved)
        problem = copyFile(finished, partial);
    else if (const int code = syncFile(partial))
        problem = reasonOf(code);

    if (problem.isEmpty()) {
        const int code = commit(partial, reservation, &result.path);
        if (code == 0) {
            if (!moved)
                QFile::remove(finished);
            return result;
        }
        problem = reasonOf(code);
    }

    // The result goes back to the temporary folder and is kept there for the user.
    result.path.clear();
    QString kept;
    if (moved && ::rename(native(partial).constData(), native(finished).constData()) != 0)
        kept = partial; // it stays beside the destination under its hidden name
    else
        QFile::remove(partial);
    if (kept.isEmpty() && QFileInfo::exists(finished))
        kept = WorkFolder::keep(finished);
    release(reservation);
    result.keptPath = kept;
    result.error = failure(what, destination, problem, kept);
    return result;
}

Placement placeBytes(const QByteArray& bytes, const QString& extension,
                     const Reservation& reservation, const QString& what)
{
    const QString& destination = reservation.path;
    const QString finished =
        WorkFolder::freshTempPath(QStringLiteral("img-"), QLatin1Char('.') + extension);
    QFile file(finished);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
        file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.close();
        QFile::remove(finished);
        release(reservation);
        return {QString(), failure(what, destination, reason, QString()), QString()};
    }
    file.close();
    return place(finished, reservation, what);
}

QString spaceMessage(const QString& folder, qint64 neededBytes, qint64 freeBytes)
{
    const QLocale locale = QLocale::c();
    return QStringLiteral("There is not enough free space in ") + folder +
           QStringLiteral(": about ") +
           locale.formattedDataSize(neededBytes, 1, QLocale::DataSizeSIFormat) +
           QStringLiteral(" are needed and ") +
           locale.formattedDataSize(freeBytes, 1, QLocale::DataSizeSIFormat) +
           QStringLiteral(" are free. Free some space or choose another folder.");
}

std::optional<QString> destinationProblem(const QString& destination, const QStringList& inputs,
                                          qint64 neededBytes, const QString& what)
{
    const QString folder = QFileInfo(destination).absolutePath();
    const QString another =
        QStringLiteral(" Choose another place to save the upscaled ") + what + QLatin1Char('.');
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("The folder ") + folder + QStringLiteral(" does not exist.") +
               another;
    if (::access(native(folder).constData(), W_OK | X_OK) != 0)
        return QStringLiteral("Korvane cannot write to the folder ") + folder +
               QStringLiteral(" (") + reasonOf(errno) + QStringLiteral(").") + another;
    for (const QString& input : inputs) {
        if (sameFile(destination, input))
            return QStringLiteral("The upscaled ") + what +
                   QStringLiteral(" would replace its own source, ") + QFileInfo(input).fileName() +
                   QStringLiteral(".") + another;
    }
    if (neededBytes > 0) {
        const QStorageInfo storage(folder);
        const qint64 available = storage.isValid() ? storage.bytesAvailable() : -1;
        if (available >= 0 && available < neededBytes)
            return spaceMessage(folder, neededBytes, available);
    }
    return std::nullopt;
}

std::optional<QString> folderProblem(const QString& folder, const QString& what)
{
    return destinationProblem(QDir(folder).filePath(QStringLiteral(".korvane")), {}, 0, what);
}

} // namespace OutputFile
