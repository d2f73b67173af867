#pragma once

#include <QString>

#include "processing/ImageUpscaler.h"

// The texts and derived values of the image screen, kept apart from its widgets so they can be
// checked on their own. The history header and path texts shared with the video screen are
// HistoryCard's.
namespace ImageScreenTexts {

// "4000×3000 px": the size of the upscaled picture of a srcW × srcH source.
QString outputSize(qint64 srcW, qint64 srcH, int scale);
// The primary button: "Upscale Image", or "Add to Queue" while a job of the model runs.
QString primaryTitle(bool isRunning);
// "Saved to ~/Pictures/cat_upscaled.png".
QString savedLine(const QString& path);
// The history table's "Scale" column: "4×".
QString scaleText(qint64 scale);
// The history table's "Saved to" column: the saved path with "~", else the error, else "—".
QString savedToText(const ImageUpscaler::HistoryEntry& entry);

} // namespace ImageScreenTexts
