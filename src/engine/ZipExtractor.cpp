#include "engine/ZipExtractor.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include <sys/stat.h>
#include <zip.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

const QString stagingPrefix = QStringLiteral(".install-");

struct ZipCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct ZipFileCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

ExtractionFailure fromZipError(zip_error_t* error)
{
    return {zip_error_code_zip(error), QString::fromUtf8(zip_error_strerror(error))};
}

ExtractionFailure fromErrno(int error, const QString& what)
{
    return {error, what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error))};
}

// A relative path with no empty, "." or ".." component.
bool isSafeEntryName(const QString& name)
{
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')))
        return false;
    const QStringList parts = name.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        if (part == QLatin1String("..") || part == QLatin1String("."))
            return false;
    }
    return !parts.isEmpty();
}

// The archive's own permission bits are not trusted: no setuid, setgid or sticky bit and no
// group or other write, only executable or not.
mode_t installedMode(bool executable)
{
    return executable ? 0755 : 0644;
}

std::optional<ExtractionFailure> writeEntry(zip_t* archive, zip_uint64_t index,
                                            const QString& target, mode_t mode)
{
    std::unique_ptr<zip_file_t, ZipFileCloser> entry(zip_fopen_index(archive, index, 0));
    if (!entry)
        return fromZipError(zip_get_error(archive));
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fromErrno(EIO, QStringLiteral("cannot write ") + target);
    char buffer[65536];
    for (;;) {
        const zip_int64_t count = zip_fread(entry.get(), buffer, sizeof buffer);
        if (count < 0)
            return fromZipError(zip_file_get_error(entry.get()));
        if (count == 0)
            break;
        if (out.write(buffer, count) != count)
            return fromErrno(ENOSPC, QStringLiteral("cannot write ") + target);
    }
    if (!out.flush())
        return fromErrno(ENOSPC, QStringLiteral("cannot write ") + target);
    out.close();
    if (::chmod(QFile::encodeName(target).constData(), mode) != 0)
        return fromErrno(errno, QStringLiteral("cannot set the mode of ") + target);
    return std::nullopt;
}

// Moves every file of staging to the same relative place under destination, replacing what is
// there. The executables go last: their presence is what marks the tools as installed, so an
// install interrupted here is not taken for a complete one.
std::optional<ExtractionFailure> moveIntoPlace(const QString& staging, const QString& destination)
{
    QStringList files;
    QStringList executables;
    QDirIterator it(staging, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        (QFileInfo(source).permissions() & QFile::ExeOwner ? executables : files).append(source);
    }
    for (const QString& source : std::as_const(files) + executables) {
        const QString target = destination + source.mid(staging.size());
        if (!QDir().mkpath(QFileInfo(target).absolutePath()))
            return fromErrno(EACCES, QStringLiteral("cannot create the folder of ") + target);
        if (::rename(QFile::encodeName(source).constData(),
                     QFile::encodeName(target).constData()) != 0)
            return fromErrno(errno, QStringLiteral("cannot place ") + target);
    }
    return std::nullopt;
}

} // namespace

namespace ZipExtractor {

std::optional<ExtractionFailure> extract(const QString& archivePath, const QString& destination)
{
    int openError = 0;
    std::unique_ptr<zip_t, ZipCloser> archive(
        zip_open(QFile::encodeName(archivePath).constData(), ZIP_RDONLY, &openError));
    if (!archive) {
        zip_error_t error;
        zip_error_init_with_code(&error, openError);
        ExtractionFailure failure = fromZipError(&error);
        zip_error_fini(&error);
        return failure;
    }

    // The private folder sits inside the destination so the final moves stay on one volume.
    QTemporaryDir staging(destination + QLatin1Char('/') + stagingPrefix +
                          QStringLiteral("XXXXXX"));
    if (!staging.isValid())
        return fromErrno(EACCES, QStringLiteral("cannot create a folder in ") + destination);

    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t index = 0; index < count; ++index) {
        const char* rawName = zip_get_name(archive.get(), zip_uint64_t(index), 0);
        if (!rawName)
            return fromZipError(zip_get_error(archive.get()));
        const QString name = QString::fromUtf8(rawName);
        if (!isSafeEntryName(name))
            return ExtractionFailure{ZIP_ER_INCONS,
                                     QStringLiteral("unsafe entry name in archive: ") + name};

        zip_uint8_t system = 0;
        zip_uint32_t attributes = 0;
        bool executable = false;
        if (zip_file_get_external_attributes(archive.get(), zip_uint64_t(index), 0, &system,
                                             &attributes) == 0 &&
            system == ZIP_OPSYS_UNIX) {
            const mode_t fullMode = mode_t(attributes >> 16);
            if (S_ISLNK(fullMode))
                return ExtractionFailure{
                    ZIP_ER_INCONS, QStringLiteral("links are not allowed in the archive: ") + name};
            executable = (fullMode & S_IXUSR) != 0;
        }

        const QString target = staging.path() + QLatin1Char('/') + name;
        if (name.endsWith(QLatin1Char('/'))) {
            if (!QDir().mkpath(target))
                return fromErrno(EACCES, QStringLiteral("cannot create ") + target);
            continue;
        }
        if (!QDir().mkpath(QFileInfo(target).absolutePath()))
            return fromErrno(EACCES, QStringLiteral("cannot create the folder of ") + target);
        if (auto failure =
                writeEntry(archive.get(), zip_uint64_t(index), target, installedMode(executable)))
            return failure;
    }
    return moveIntoPlace(staging.path(), destination);
}

QStringList leftovers(const QString& destination)
{
    QStringList found;
    const QStringList names =
        QDir(destination)
            .entryList({stagingPrefix + QLatin1Char('*')},
                       QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QString& name : names)
        found.append(destination + QLatin1Char('/') + name);
    return found;
}

bool removeLeftovers(const QString& destination)
{
    bool removed = true;
    for (const QString& folder : leftovers(destination))
        removed = QDir(folder).removeRecursively() && removed;
    return removed;
}

} // namespace ZipExtractor
