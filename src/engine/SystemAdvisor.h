#pragma once

#include <QString>

#include "engine/AIQuality.h"
#include "engine/SystemFacts.h"

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
// Within what the machine does in reasonable time: Detailed at 4K where the AI engine runs on a
// GPU; Fast at 1080p (or at 4K for a source of 1080 lines or more) where it runs on the processor.
UpscaleRecommendation recommend(qint64 srcW, qint64 srcH, SystemFacts::AiDevice device);
// The same for this machine's AI device (may block on the first call: worker threads only).
UpscaleRecommendation recommend(qint64 srcW, qint64 srcH);
} // namespace SystemAdvisor
