#include "engine/UpscaleCore.h"

#include <cmath>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>

#include "engine/ChildProcess.h"
#include "engine/JobJournal.h"
#include "engine/StopToken.h"
#include "engine/SystemFacts.h"
#include "engine/WorkFolder.h"

UpscaleCore& UpscaleCore::shared()
{
    // Created on first use and deliberately never destroyed: worker threads may still hold it
    // while the process exits.
    static UpscaleCore* instance = new UpscaleCore();
    return *instance;
}

QString UpscaleCore::toolsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Korvane");
}

QString UpscaleCore::ffmpeg()
{
    return toolsFolder() + QStringLiteral("/ffmpeg");
}

QString UpscaleCore::realesrganBinary()
{
    return toolsFolder() + QStringLiteral("/realesrgan/realesrgan-ncnn-vulkan");
}

QString UpscaleCore::realesrganModels()
{
    return toolsFolder() + QStringLiteral("/realesrgan/models");
}

bool UpscaleCore::toolsInstalled()
{
    const QFileInfo ffmpegFile(ffmpeg());
    const QFileInfo engineFile(realesrganBinary());
    return ffmpegFile.exists() && !ffmpegFile.isDir() && engineFile.exists() &&
           !engineFile.isDir();
}

QString UpscaleCore::fmt(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 0)
        return QStringLiteral("Calculating ETA…");
    const qint64 whole = qint64(seconds);
    if (whole < 60)
        return QString::number(whole) + QLatin1Char('s');
    return QString::number(whole / 60) + QStringLiteral("m ") + QString::number(whole % 60) +
           QLatin1Char('s');
}

std::optional<qint64> UpscaleCore::freeDiskBytes() const
{
    {
        std::lock_guard lock(m_providerMutex);
        if (m_freeDiskProvider)
            return m_freeDiskProvider();
    }
    const QStorageInfo storage(WorkFolder::root());
    if (!storage.isValid())
        return std::nullopt;
    const qint64 available = storage.bytesAvailable();
    if (available < 0)
        return std::nullopt;
    return available;
}

void UpscaleCore::setFreeDiskBytesProvider(std::function<std::optional<qint64>()> provider)
{
    std::lock_guard lock(m_providerMutex);
    m_freeDiskProvider = std::move(provider);
}

void UpscaleCore::cleanStaleTemp() const
{
    removeTempEntries(staleTempEntries());
}

namespace {

// A job's record that was last written this long ago is not resumed any more.
constexpr qint64 kInterruptedDays = 14;

bool outlivedResume(const QString& folder)
{
    const QFileInfo record(folder + QLatin1Char('/') + QLatin1String(JobJournal::kFileName));
    return record.lastModified().daysTo(QDateTime::currentDateTime()) >= kInterruptedDays;
}

} // namespace

QStringList UpscaleCore::idleJobFolders()
{
    const QDir root(WorkFolder::root());
    QStringList folders;
    for (const QString& name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
        const QString folder = root.filePath(name);
        if (!QFileInfo(folder).isSymLink() && !WorkFolder::inUse(folder) &&
            QFileInfo::exists(folder + QLatin1Char('/') + QLatin1String(JobJournal::kFileName)))
            folders.append(folder);
    }
    return folders;
}

QStringList UpscaleCore::staleTempEntries()
{
    const QDir root(WorkFolder::root());
    const QStringList names =
        root.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    const QStringList jobs = idleJobFolders();
    QStringList paths;
    for (const QString& name : names) {
        const QString path = root.filePath(name);
        const QFileInfo entry(path);
        // A finished result that could not be saved stays until the user has dealt with it.
        if (WorkFolder::isKept(path))
            continue;
        if (entry.isDir() && !entry.isSymLink() && WorkFolder::inUse(path))
            continue;
        // A loose file may be the result another running Korvane is about to place: only one
        // left for a day is stale.
        if (!entry.isDir() && !entry.isSymLink() && !path.endsWith(QLatin1String(".kept")) &&
            entry.lastModified().secsTo(QDateTime::currentDateTime()) < 24 * 60 * 60)
            continue;
        if (jobs.contains(path)) {
            // An interrupted job waits for its resume unless it is old or its source is gone.
            const JobJournal::Decoded record = JobJournal::read(path);
            const bool sourceGone =
                record.manifest && !QFileInfo(record.manifest->source).isFile();
            if (!sourceGone && !outlivedResume(path))
                continue;
        }
        paths.append(path);
    }
    return paths;
}

void UpscaleCore::removeTempEntries(const QStringList& paths)
{
    for (const QString& path : paths) {
        const QFileInfo entry(path);
        // A link is removed itself; its target is never followed.
        if (entry.isDir() && !entry.isSymLink())
            QDir(path).removeRecursively();
        else
            QFile::remove(path);
    }
}

bool UpscaleCore::isCancelled()
{
    return StopToken::current().stopped();
}

ProcessResult UpscaleCore::runTool(const QString& program, const QStringList& arguments,
                                   const std::function<void()>& tick,
                                   std::chrono::milliseconds tickInterval,
                                   const QMap<QString, QString>& environment)
{
    auto process = std::make_shared<ChildProcess>(program, arguments);
    process->setTickInterval(tickInterval);
    process->setEnvironmentOverrides(environment);
    StopToken& token = StopToken::current();
    token.attach(process);
    const std::shared_ptr<void> detach(nullptr, [&](void*) { token.detach(process); });
    process->start();
    // A stop that arrived between attaching and starting reached no pid; repeat it now.
    if (token.stopped())
        process->terminate();
    const int status = process->waitForExit(tick);
    return ProcessResult{status, process->standardError()};
}

void UpscaleCore::runFFmpegSimple(const QStringList& arguments,
                                  const std::function<void()>& tick)
{
    const QStringList full =
        QStringList{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                    QStringLiteral("error")} +
        arguments;
    const ProcessResult result = runTool(ffmpeg(), full, tick);
    if (isCancelled())
        throw EngineError::cancelled();
    if (result.exitStatus != 0) {
        const QStringList lines =
            QString::fromUtf8(result.standardError).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QString last;
        for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
            // A line holding only a carriage return or spaces carries nothing to show.
            if (!it->trimmed().isEmpty()) {
                last = it->trimmed();
                break;
            }
        }
        if (last.isEmpty())
            last = QStringLiteral("code ") + QString::number(result.exitStatus);
        throw err(QStringLiteral("FFmpeg failed: ") + last);
    }
}

ModelChoice UpscaleCore::aiModel(AIQuality quality, qint64 targetHeight, qint64 sourceHeight)
{
    ModelChoice choice;
    choice.model = AIQualities::modelName(quality);
    if (quality == AIQuality::Fast) {
        const double divisor = sourceHeight > 1 ? double(sourceHeight) : 1.0;
        const double wanted = std::ceil(double(targetHeight) / divisor);
        choice.scale = int(std::clamp(wanted, 2.0, 4.0));
    } else {
        choice.scale = 4;
    }
    const double gib = double(SystemFacts::physicalMemoryBytes()) / double(1ULL << 30);
    if (gib <= 9.0)
        choice.tile = 256;
    else if (gib <= 17.0)
        choice.tile = 512;
    else
        choice.tile = 0;
    return choice;
}

QImage UpscaleCore::downsized(const QImage& picture, int maxDim)
{
    if (picture.isNull())
        return picture;
    const int longest = std::max(picture.width(), picture.height());
    if (longest == 0 || maxDim >= longest)
        return picture;
    const double factor = double(maxDim) / double(longest);
    const int width = int(factor * picture.width());
    const int height = int(factor * picture.height());
    if (width < 1 || height < 1)
        return picture;
    const QImage converted = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage result =
        converted.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return result.isNull() ? picture : result;
}
