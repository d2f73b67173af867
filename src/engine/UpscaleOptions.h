#pragma once

#include <QString>

#include "engine/AIQuality.h"

// Codec identifiers as the screens pass them; anything but HEVC is treated as H.264.
namespace Codecs {
inline const QString hevc = QStringLiteral("hvc1");
inline const QString h264 = QStringLiteral("avc1");
} // namespace Codecs

// The settings of one video upscale.
struct UpscaleOptions {
    qint64 targetHeight = 2160;
    QString codec = Codecs::hevc;
    AIQuality quality = AIQuality::Detailed;

    bool isHevc() const { return codec == Codecs::hevc; }
};
