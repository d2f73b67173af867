#pragma once

#include <QString>

// Names of output files. Pure apart from checking which names already exist.
namespace OutputNaming {

// The file name without its last extension: "archive.tar.mp4" → "archive.tar", "clip" → "clip",
// ".hidden" → ".hidden".
QString baseName(const QString& fileName);

// In folder: base + "_upscaled." + extension, or the first of base + "_upscaled_1." + extension,
// "_upscaled_2.", … that does not exist yet.
QString firstFreeUpscaledPath(const QString& folder, const QString& base,
                              const QString& extension);

} // namespace OutputNaming
