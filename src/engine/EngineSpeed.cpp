#include "engine/EngineSpeed.h"

#include <QSettings>

namespace EngineSpeed {

namespace {

QString key(EngineKind engine, const QString& model)
{
    return QStringLiteral("EngineSpeed/") +
           (engine == EngineKind::Cpu ? QStringLiteral("cpu/") : QStringLiteral("vulkan/")) + model;
}

} // namespace

std::optional<double> secondsPerMegapixel(EngineKind engine, const QString& model)
{
    bool ok = false;
    const double value = QSettings(QStringLiteral("Korvane"), QStringLiteral("Korvane"))
                             .value(key(engine, model))
                             .toDouble(&ok);
    if (!ok || !(value > 0))
        return std::nullopt;
    return value;
}

void record(EngineKind engine, const QString& model, double seconds, double megapixels)
{
    // Too little work says more about starting up than about speed.
    if (!(megapixels >= 1.0) || !(seconds > 0))
        return;
    QSettings(QStringLiteral("Korvane"), QStringLiteral("Korvane"))
        .setValue(key(engine, model), seconds / megapixels);
}

double estimateSeconds(double secondsPerMegapixel, qint64 frames, QSize frame)
{
    return secondsPerMegapixel * double(frames) * double(frame.width()) * double(frame.height()) /
           1e6;
}

} // namespace EngineSpeed
