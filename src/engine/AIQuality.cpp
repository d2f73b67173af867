#include "engine/AIQuality.h"

namespace AIQualities {

QString rawValue(AIQuality quality)
{
    switch (quality) {
    case AIQuality::Fast:
        return QStringLiteral("fast");
    case AIQuality::Detailed:
        return QStringLiteral("detailed");
    case AIQuality::Max:
        return QStringLiteral("max");
    }
    return {};
}

QString label(AIQuality quality)
{
    switch (quality) {
    case AIQuality::Fast:
        return QStringLiteral("Fast");
    case AIQuality::Detailed:
        return QStringLiteral("Detailed");
    case AIQuality::Max:
        return QStringLiteral("Max");
    }
    return {};
}

QString modelName(AIQuality quality)
{
    switch (quality) {
    case AIQuality::Fast:
        return QStringLiteral("realesr-animevideov3");
    case AIQuality::Detailed:
        return QStringLiteral("realesr-general-x4v3");
    case AIQuality::Max:
        return QStringLiteral("realesrgan-x4plus");
    }
    return {};
}

std::optional<AIQuality> fromRawValue(const QString& raw)
{
    for (AIQuality quality : all) {
        if (rawValue(quality) == raw)
            return quality;
    }
    return std::nullopt;
}

} // namespace AIQualities
