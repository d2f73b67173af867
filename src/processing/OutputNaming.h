#pragma once

#include <QString>

// Names of output files. Pure apart from checking which names already exist.
//
// Threading: any thread; the reservations are guarded by a mutex.
namespace OutputNaming {

// The file name without its last extension: "archive.tar.mp4" → "archive.tar", "clip" → "clip",
// ".hidden" → ".hidden".
QString baseName(const QString& fileName);

// True when the folder holds any entry of that name: a file, a folder, or a link, even one whose
// target is missing (writing there would create the target wherever the link points).
bool isTaken(const QString& path);

// In folder: stem + "_" + n + "." + extension (stem + "." + extension for n = 0).
QString numberedPath(const QString& folder, const QString& stem, const QString& extension, int n);

// In folder: stem + "." + extension, or the first of stem + "_1." + extension, "_2.", … that is
// neither taken nor reserved. A name the system refuses to look at (too long, say) is returned
// as it is: taking it then fails with the system's reason instead of searching for ever.
QString firstFreePath(const QString& folder, const QString& stem, const QString& extension);

// firstFreePath with the stem base + "_upscaled".
QString firstFreeUpscaledPath(const QString& folder, const QString& base, const QString& extension);

// firstFreePath, reserved in the same step, so two callers never get one name.
QString reserveFirstFree(const QString& folder, const QString& stem, const QString& extension);

// A name given to a queued job that has not written its file yet. While reserved, no other job
// is given it, so two upscales of one source queued back to back never overwrite each other.
void reserve(const QString& path);
void release(const QString& path);

} // namespace OutputNaming
