#pragma once

#include <QString>

// Names of output files. Pure apart from checking which names already exist.
namespace OutputNaming {

// The file name without its last extension: "archive.tar.mp4" → "archive.tar", "clip" → "clip",
// ".hidden" → ".hidden".
QString baseName(const QString& fileName);

// In folder: base + "_upscaled." + extension, or the first of base + "_upscaled_1." + extension,
// "_upscaled_2.", … that neither exists nor is reserved.
QString firstFreeUpscaledPath(const QString& folder, const QString& base,
                              const QString& extension);

// A name given to a queued job that has not written its file yet. While reserved, no other job
// is given it, so two upscales of one source queued back to back never overwrite each other.
void reserve(const QString& path);
void release(const QString& path);

} // namespace OutputNaming
