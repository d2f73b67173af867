#include "engine/Bootstrap.h"

#include <filesystem>
#include <system_error>

#include <QFile>

#include "engine/EngineChoice.h"
#include "engine/EngineLog.h"
#include "engine/Resources.h"
#include "engine/UpscaleCore.h"
#include "engine/ZipExtractor.h"

namespace Bootstrap {

bool toolsInstalled()
{
    // The executables are moved into place last, so they exist only after a whole extraction;
    // an unpacking folder left beside them means an earlier one was interrupted all the same.
    return UpscaleCore::toolsInstalled() &&
           ZipExtractor::leftovers(UpscaleCore::toolsFolder()).isEmpty();
}

void installToolsIfNeeded()
{
    if (toolsInstalled())
        return;

    const QString archive = Resources::toolsArchive();
    if (archive.isEmpty()) {
        EngineLog::line(QStringLiteral(
            "Korvane: Tools.zip missing from the application's resources — cannot install tools."));
        return;
    }

    const QString folder = UpscaleCore::toolsFolder();
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
    if (error) {
        EngineLog::line(QStringLiteral("Korvane: bootstrap error: ") +
                        QString::fromStdString(error.message()));
        return;
    }

    ZipExtractor::removeLeftovers(folder);
    if (const auto failure = ZipExtractor::extract(archive, folder)) {
        EngineLog::line(QStringLiteral("Korvane: tool extraction failed (") +
                        QString::number(failure->status) + QStringLiteral("): ") + failure->text);
        return;
    }

    const auto executable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                            QFile::ReadUser | QFile::WriteUser | QFile::ExeUser | QFile::ReadGroup |
                            QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    QFile::setPermissions(UpscaleCore::ffmpeg(), executable);
    QFile::setPermissions(UpscaleCore::realesrganBinary(), executable);
    QFile::setPermissions(EngineChoice::binary(EngineKind::Cpu), executable);

    EngineLog::line(QStringLiteral("Korvane: helper tools installed at ") + folder);
}

} // namespace Bootstrap
