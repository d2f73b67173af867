#pragma once

#include <QMap>
#include <QString>

// Environment that every Real-ESRGAN run gets on top of the application's own.
namespace EngineCompat {
QMap<QString, QString> realesrganEnvironment();
} // namespace EngineCompat
