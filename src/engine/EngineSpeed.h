#pragma once

#include <optional>

#include <QSize>
#include <QString>

#include "engine/EngineChoice.h"

// How fast each engine upscales on this machine, as measured by the last video upscale with that
// engine and model: seconds per megapixel of frames handed to the engine (frame size before
// upscaling). Kept in the user defaults so estimates can use it from the next run on.
//
// Threading: any thread (each call uses its own QSettings).
namespace EngineSpeed {

std::optional<double> secondsPerMegapixel(EngineKind engine, const QString& model);
void record(EngineKind engine, const QString& model, double seconds, double megapixels);

// Seconds to upscale the given number of frames of the given size at the given speed. Pure.
double estimateSeconds(double secondsPerMegapixel, qint64 frames, QSize frame);

} // namespace EngineSpeed
