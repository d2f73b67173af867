#pragma once

#include <QString>

#include "engine/AIQuality.h"

// The recommendation shown when a video is loaded.
struct UpscaleRecommendation {
    qint64 targetHeight = 2160;
    AIQuality quality = AIQuality::Detailed;
    QString message;
};

// Stateless advice from the video's size and the machine.
namespace SystemAdvisor {
// Physical memory in GiB, rounded to the nearest integer (halves away from zero).
qint64 ramInt();
// The processor's brand name, or "your computer" when the system does not say.
QString chip();
UpscaleRecommendation recommend(qint64 srcW, qint64 srcH);
} // namespace SystemAdvisor
