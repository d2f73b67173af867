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
// "AI preview 512×288 · video output 1080p · click to zoom", or empty without a size. The preview
// shows the model's effect on the first frame at the model's own scale, not the output's size,
// so the caption names both.
QString previewCaption(const QString& previewSize, qint64 targetHeight);
// "1080p", or "4K" for 2160 and more.
QString resolutionLabel(qint64 targetHeight);
// "Detailed · 2160p" for the history table.
QString qualityColumnText(AIQuality quality, qint64 targetHeight);
// Where a copy of a finished video is suggested: beside it as "<name> copy.mp4", or
// "<name> copy 2.mp4" and so on when that is taken.
QString copyPath(const QString& outputPath);

} // namespace VideoScreenTexts
