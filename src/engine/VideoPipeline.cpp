// The segmented video upscale: the video is cut into short segments; each is decoded into PNG
// frames, enhanced by the AI engine and encoded, so only one segment's frames are on disk at a
// time. The segments are then joined and given the source's sound.
#include "engine/UpscaleCore.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

#include <QFile>
#include <QSaveFile>

#include "engine/EncoderChoice.h"
#include "engine/EngineChoice.h"
#include "engine/FFmpegCommands.h"
#include "engine/SegmentPlan.h"
#include "engine/StreamCommands.h"
#include "engine/StreamingSegment.h"
#include "engine/WorkFolder.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

QString gigabytes(qint64 bytes)
{
    return QString::asprintf("%.1f GB", double(bytes) / double(1LL << 30));
}

// Removes the result file unless the run got as far as handing it over.
class ResultGuard final {
public:
    explicit ResultGuard(QString path) : m_path(std::move(path)) {}
    ~ResultGuard()
    {
        if (!m_kept)
            QFile::remove(m_path);
    }
    ResultGuard(const ResultGuard&) = delete;
    ResultGuard& operator=(const ResultGuard&) = delete;
    void keep() { m_kept = true; }

private:
    QString m_path;
    bool m_kept = false;
};

// Adds the time spent in a phase to one of the totals, when totals are wanted.
class PhaseTimer final {
public:
    explicit PhaseTimer(double* total) : m_total(total), m_start(Clock::now()) {}
    ~PhaseTimer()
    {
        if (m_total)
            *m_total += secondsSince(m_start);
    }
    PhaseTimer(const PhaseTimer&) = delete;
    PhaseTimer& operator=(const PhaseTimer&) = delete;

private:
    double* m_total;
    Clock::time_point m_start;
};

} // namespace

QString UpscaleCore::runAI(const QString& input, const UpscaleOptions& options,
                           const ProgressCallback& progress, PhaseTimes* times)
{
    const Meta meta = loadMeta(input);
    if (meta.height >= options.targetHeight)
        throw err(QStringLiteral("This video is already ") + QString::number(meta.height) +
                  QStringLiteral("p — at or above the ") + QString::number(options.targetHeight) +
                  QStringLiteral("p output you chose, so there's nothing to upscale."));
    const std::optional<qint64> freeAtStart = freeDiskBytes();
    if (freeAtStart && *freeAtStart < 3000000000LL)
        throw err(QStringLiteral(
            "Not enough free disk space to upscale. Free up a few GB and try again."));

    const WorkFolder work(QStringLiteral("ai-"));
    const QString segmentsFolder = work.filePath(QStringLiteral("segments"));
    WorkFolder::makeFolder(segmentsFolder);
    const QString inFolder = work.filePath(QStringLiteral("in"));
    const QString outFolder = work.filePath(QStringLiteral("out"));

    const ModelChoice choice = aiModel(options.quality, options.targetHeight, meta.height);
    const qint64 freeForEstimate = freeDiskBytes().value_or(std::numeric_limits<qint64>::max());
    // The processor engine takes frames through pipes, so no frame files need room on disk.
    const bool streaming = EngineChoice::current() == EngineKind::Cpu;
    const SegmentPlan plan = streaming ? StreamCommands::streamingPlan(SegmentPlan::make(
                                             meta, options, choice, freeForEstimate))
                                       : SegmentPlan::make(meta, options, choice, freeForEstimate);
    if (freeForEstimate < plan.neededBytes)
        throw err(QStringLiteral("Not enough storage. This upscale needs about ") +
                  gigabytes(plan.neededBytes) + QStringLiteral(" free, but only ") +
                  gigabytes(freeForEstimate) +
                  QStringLiteral(" is available. Free up space and try again."));
    const VideoEncoder encoder = EncoderChoice::forCodec(plan.hevc);

    const Clock::time_point started = Clock::now();
    // Reports never go backwards within a run (the join's fixed 0.95 can lie below the last
    // segment's encoding report when there are three segments or more).
    double reported = 0;
    const auto report = [&](double fraction, const QString& status, const QString& eta) {
        reported = std::max(reported, fraction);
        if (progress)
            progress(reported, status, eta);
    };
    const auto etaText = [&](double fraction) {
        if (fraction <= 0.02)
            return QStringLiteral("Calculating ETA…");
        return fmt(secondsSince(started) * (1.0 - fraction) / fraction);
    };

    const int count = plan.segmentCount;
    const double share = 1.0 / count;
    const QString ofCount = QLatin1Char('/') + QString::number(count);
    QStringList segmentFiles;
    for (int i = 0; i < count; ++i) {
        if (isCancelled())
            throw err(QStringLiteral("Cancelled"));
        const double start = plan.segmentStart(i);
        const double length = plan.segmentDuration(i);
        if (length <= 0)
            break;
        const std::optional<qint64> freeNow = freeDiskBytes();
        if (freeNow && *freeNow < plan.lowStorageThreshold)
            throw err(QStringLiteral("Storage ran low during upscaling, so it was stopped to "
                                     "protect your disk. Free up space and try again."));
        const double base = share * i;
        const QString number = QString::number(i + 1) + ofCount;
        const QString segmentFile =
            segmentsFolder + QStringLiteral("/seg_%1.mp4").arg(i, 5, 10, QLatin1Char('0'));

        // ---- Streamed segment: decode, AI and encode at once, frames only in pipes ----
        if (streaming) {
            report(base, QStringLiteral("Preparing segment ") + number + QStringLiteral("…"),
                   QStringLiteral("Calculating ETA…"));
            const StreamSegment segment = StreamSegment::forVideo(
                input, meta, plan, encoder, options.targetHeight, start, length, segmentFile);
            const double expected = std::max(1.0, std::round(length * meta.fps));
            const Clock::time_point segmentStarted = Clock::now();
            const double aiSeconds = runStreamingSegment(segment, [&](int frames) {
                const double fraction =
                    base + share * 0.06 + share * 0.88 * std::min(1.0, frames / expected);
                report(fraction,
                       frames == 0 ? QStringLiteral("Loading AI model…")
                                   : QStringLiteral("AI enhancing frames…"),
                       etaText(fraction));
            });
            if (times) {
                times->ai += aiSeconds;
                times->encoding += std::max(0.0, secondsSince(segmentStarted) - aiSeconds);
            }
            segmentFiles.append(segmentFile);
            continue;
        }
        // ---- end of the streamed segment ----

        WorkFolder::removeFolder(inFolder);
        WorkFolder::removeFolder(outFolder);
        WorkFolder::makeFolder(inFolder);
        WorkFolder::makeFolder(outFolder);

        report(base, QStringLiteral("Preparing segment ") + number + QStringLiteral("…"),
               QStringLiteral("Calculating ETA…"));
        {
            const PhaseTimer timer(times ? &times->extraction : nullptr);
            runFFmpegSimple(FFmpegCommands::segmentFrames(input, inFolder, start, length, meta.fps,
                                                          plan.frameHeight, meta.height));
        }
        const int extracted = WorkFolder::countEntries(inFolder);
        if (extracted == 0)
            continue;

        const auto aiProgress = [&] {
            const int enhanced = WorkFolder::countEntries(outFolder);
            const double done = std::min(1.0, double(enhanced) / double(extracted));
            const double fraction = base + share * 0.06 + share * 0.82 * done;
            report(fraction,
                   enhanced == 0 ? QStringLiteral("Loading AI model…")
                                 : QStringLiteral("AI enhancing frames…"),
                   etaText(fraction));
        };
        {
            const PhaseTimer timer(times ? &times->ai : nullptr);
            aiProgress();
            runRealESRGANFolder(inFolder, outFolder, choice, aiProgress);
        }

        report(base + share * 0.9,
               QStringLiteral("Encoding segment ") + number + QStringLiteral("…"), QString());
        {
            const PhaseTimer timer(times ? &times->encoding : nullptr);
            runFFmpegSimple(FFmpegCommands::segmentEncode(outFolder, meta.fps, options.targetHeight,
                                                          encoder, plan.bitRate, plan.hevc,
                                                          segmentFile));
        }
        segmentFiles.append(segmentFile);
        WorkFolder::removeFolder(inFolder);
        WorkFolder::removeFolder(outFolder);
    }

    if (segmentFiles.isEmpty())
        throw err(QStringLiteral("No frames were produced."));
    report(0.95, QStringLiteral("Finalizing…"), QString());

    const PhaseTimer timer(times ? &times->joiningAndSound : nullptr);
    const QString listPath = work.filePath(QStringLiteral("segments.txt"));
    QSaveFile list(listPath);
    if (!list.open(QIODevice::WriteOnly) ||
        list.write(FFmpegCommands::concatList(segmentFiles)) < 0 || !list.commit())
        throw EngineError(
            QStringLiteral("Filesystem"), 1,
            QStringLiteral("Could not write %1: %2").arg(listPath, list.errorString()));
    const QString joined = work.filePath(QStringLiteral("video.mp4"));
    runFFmpegSimple(FFmpegCommands::concatenate(listPath, joined));

    const QString result = WorkFolder::freshTempPath(QStringLiteral("ai-"), QStringLiteral(".mp4"));
    ResultGuard resultGuard(result);
    runFFmpegSimple(meta.hasAudio ? FFmpegCommands::addAudio(joined, input, result)
                                  : FFmpegCommands::noAudio(joined, result));
    report(1.0, QStringLiteral("Done"), QString());
    resultGuard.keep();
    return result;
}
