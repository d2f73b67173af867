#pragma once

#include <QSize>
#include <QString>

#include "engine/AIQuality.h"

// The texts and derived values of the video screen, kept apart from the widgets so they can be
// checked on their own.
namespace VideoScreenTexts {

// True when the source is known (height above 0) and already at or above the chosen output.
bool alreadyHighRes(qint64 sourceHeight, qint64 targetHeight);
// "This video is already 2160p — at or above the selected output. …"
QString alreadyHighNote(qint64 sourceHeight);
// The primary button's title: a preview being made, then preview-first or straight upscale,
// each as a new run or as an addition to the running queue.
QString primaryTitle(bool previewBusy, bool advancedPreview, bool isRunning);
// "Saved to ~/Videos/clip_upscaled.mp4"
QString savedToText(const QString& outputPath);
// "1280×720" for an upscaled preview frame.
QString previewSizeText(const QSize& size);
// "upscaled → 1280×720 · click to zoom", or empty without a size.
QString previewCaption(const QString& previewSize);
// "Detailed · 2160p" for the history table.
QString qualityColumnText(AIQuality quality, qint64 targetHeight);
// "clip_upscaled.mp4" for a video named "clip.mov": the name suggested for a saved copy.
QString copyFileName(const QString& baseName);

} // namespace VideoScreenTexts
