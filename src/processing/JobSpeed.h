#pragma once

#include <optional>

#include <QString>

#include "engine/AIQuality.h"

// How fast video upscales run on this machine, measured from finished jobs and kept between runs
// of the application (QSettings group "jobSpeed": seconds per million output pixels, one value
// per AI quality). Each new job moves the figure halfway towards what it measured.
// Threading: any thread (each call opens its own QSettings; one lock orders the updates).
namespace JobSpeed {

// Records one finished job: the pixels it wrote (frames × width × height) and the seconds it took.
void record(AIQuality quality, double outputPixels, double seconds);
// Seconds a job writing outputPixels at this quality is expected to take; nullopt until a job of
// this quality has finished on this machine.
std::optional<double> estimate(AIQuality quality, double outputPixels);
// The pixels a video upscale writes: every frame at the output size.
double outputPixels(qint64 srcW, qint64 srcH, double seconds, double fps, qint64 targetHeight);
// "Takes about 12 min on this computer", "… about 1 h 5 min …", "… under a minute …".
QString durationText(double seconds);

} // namespace JobSpeed
