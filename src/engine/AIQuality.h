#pragma once

#include <array>
#include <optional>

#include <QString>

// The AI quality level a user picks; stored by its raw value, shown by its label.
enum class AIQuality { Fast, Detailed, Max };

namespace AIQualities {
inline constexpr std::array<AIQuality, 3> all{AIQuality::Fast, AIQuality::Detailed, AIQuality::Max};

QString rawValue(AIQuality quality);
QString label(AIQuality quality);
// The Real-ESRGAN model that a quality runs.
QString modelName(AIQuality quality);
// Decoding fails (nullopt) for any text that is not exactly one of the raw values.
std::optional<AIQuality> fromRawValue(const QString& raw);
} // namespace AIQualities
