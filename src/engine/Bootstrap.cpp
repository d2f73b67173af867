#include "engine/Bootstrap.h"

#include <filesystem>
#include <system_error>

#include <QFile>

#include "engine/EngineChoice.h"
#include "engine/EngineLog.h"
#include "engine/FileLock.h"
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

namespace {
std::optional<QString> failed(const QString& logLine, const QString& message)
{
    EngineLog::line(logLine);
    return message;
}
} // namespace

std::optional<QString> installToolsIfNeeded()
{
    if (toolsInstalled())
        return std::nullopt;

    const QString archive = Resources::toolsArchive();
    if (archive.isEmpty()) {
        const QString message = QStringLiteral(
            "Tools.zip missing from the application's resources — cannot install tools.");
        return failed(QStringLiteral("Korvane: ") + message, message);
    }

    const QString folder = UpscaleCore::toolsFolder();
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
    if (error) {
        const QString reason = QString::fromStdString(error.message());
        return failed(QStringLiteral("Korvane: bootstrap error: ") + reason,
                      QStringLiteral("Korvane could not make its folder ") + folder +
                          QStringLiteral(": ") + reason + QLatin1Char('.'));
    }
    // Another Korvane may be installing right now: wait for it, then look again.
    const FileLock lock(folder + QStringLiteral("/install.lock"));
    if (toolsInstalled())
        return std::nullopt;

    // Under the lock, an unpacking folder can only be left by an installation that died.
    ZipExtractor::removeLeftovers(folder);
    if (const auto failure = ZipExtractor::extract(archive, folder)) {
        return failed(QStringLiteral("Korvane: tool extraction failed (") +
                          QString::number(failure->status) + QStringLiteral("): ") + failure->text,
                      QStringLiteral("Korvane could not install ffmpeg and the Real-ESRGAN "
                                     "engine into ") +
                          folder + QStringLiteral(": ") + failure->text);
    }

    const auto executable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                            QFile::ReadUser | QFile::WriteUser | QFile::ExeUser | QFile::ReadGroup |
                            QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    QFile::setPermissions(UpscaleCore::ffmpeg(), executable);
    QFile::setPermissions(UpscaleCore::realesrganBinary(), executable);
    QFile::setPermissions(EngineChoice::binary(EngineKind::Cpu), executable);

    EngineLog::line(QStringLiteral("Korvane: helper tools installed at ") + folder);
    return std::nullopt;
}

} // namespace Bootstrap
