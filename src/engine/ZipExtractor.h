#pragma once

#include <optional>

#include <QString>
#include <QStringList>

// Why an extraction failed: a status number (libzip's error code, or errno for file errors) and
// a description.
struct ExtractionFailure {
    int status = 0;
    QString text;
};

// Extracts a ZIP archive into a folder, keeping relative paths. A file is installed 0755 when the
// archive marks it executable by its owner and 0644 otherwise (other bits of the archive, such as
// setuid or group write, are dropped). Everything is unpacked into a private ".install-…" folder
// inside the destination first and moved into place only when the whole archive was read, so a
// corrupt archive changes nothing; the executables are moved last. Entries that would land
// outside the destination (absolute paths, "..") and links are refused.
// Threading: blocks on the disk; call on a worker thread.
namespace ZipExtractor {
std::optional<ExtractionFailure> extract(const QString& archive, const QString& destination);
// The private unpacking folders that an interrupted extraction left in destination.
QStringList leftovers(const QString& destination);
// Removes them; false when one could not be removed.
bool removeLeftovers(const QString& destination);
} // namespace ZipExtractor
