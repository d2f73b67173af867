#pragma once

#include <QDir>
#include <QString>

#include "engine/UpscaleCore.h"

// The messages of a job that finds a tool missing, naming the real tools folder with the home
// folder written as "~".
namespace MissingTools {

inline QString displayedToolsFolder()
{
    const QString folder = UpscaleCore::toolsFolder();
    const QString home = QDir::homePath();
    if (!home.isEmpty() && home != QLatin1String("/") && folder.startsWith(home + QLatin1Char('/')))
        return QLatin1Char('~') + folder.mid(home.size());
    return folder;
}

inline QString ffmpegMessage()
{
    return QStringLiteral("FFmpeg is not installed in ") + displayedToolsFolder();
}

inline QString realesrganMessage()
{
    return QStringLiteral("Real-ESRGAN is not installed in ") + displayedToolsFolder() +
           QStringLiteral("/realesrgan");
}

} // namespace MissingTools
