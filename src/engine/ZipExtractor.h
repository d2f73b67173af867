#pragma once

#include <optional>

#include <QString>

// Why an extraction failed: a status number (libzip's error code, or errno for file errors) and
// a description.
struct ExtractionFailure {
    int status = 0;
    QString text;
};

// Extracts a ZIP archive into a folder, keeping relative paths and Unix modes. Everything is
// unpacked into a private folder first and moved into place only when the whole archive was
// read, so a corrupt archive changes nothing. Entries that would land outside the destination
// (absolute paths, "..") and links are refused.
namespace ZipExtractor {
std::optional<ExtractionFailure> extract(const QString& archive, const QString& destination);
} // namespace ZipExtractor
