// The segmented video upscale: the video is cut into short segments; each is decoded into PNG
// frames, enhanced by the AI engine, encoded and checked, so only one segment's frames are on
// disk at a time (with the processor engine the frames pass through pipes and never reach the
// disk). The segments are then joined and given the source's sound, subtitles, chapters
// and metadata.
#include "engine/UpscaleCore.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <optional>

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

#include "engine/EncoderChoice.h"
#include "engine/EngineChoice.h"
#include "engine/EngineLog.h"
#include "engine/FFmpegCommands.h"
#include "engine/JobJournal.h"
#include "engine/SegmentPlan.h"
#include "engine/StreamCommands.h"
#include "engine/StopToken.h"
#include "engine/StreamingSegment.h"
#include "engine/ToolHealth.h"
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

// The remaining time of the whole run, from measured work only: the pace since the first
// enhanced frame of the run. Once there is an estimate, every report carries one.
class RemainingTime final {
public:
    void frameDone(double fraction)
    {
        if (!m_start)
            m_start = Mark{Clock::now(), fraction};
    }
    QString text(double fraction)
    {
        if (m_start && fraction > m_start->fraction + 1e-6)
            m_text = UpscaleCore::fmt(secondsSince(m_start->time) * (1.0 - fraction) /
                                      (fraction - m_start->fraction));
        return m_text;
    }

private:
    struct Mark {
        Clock::time_point time;
        double fraction;
    };
    std::optional<Mark> m_start;
    QString m_text = QStringLiteral("Calculating ETA…");
};

// The frame count and length of a video file; nullopt when it cannot be read.
std::optional<VideoMeta> readBack(const QString& path)
{
    try {
        return VideoMeta::load(path);
    } catch (const EngineError&) {
        return std::nullopt;
    }
}

// One runAI call: the checks, the plan, the segment loop and the finish, each a step of its own.
class VideoRun final {
public:
    VideoRun(UpscaleCore& core, const QString& input, const UpscaleOptions& options,
             const UpscaleCore::ProgressCallback& progress, UpscaleCore::PhaseTimes* times,
             const JobManifest* journal, WorkFolder* jobFolder)
        : m_core(core), m_input(input), m_options(options), m_progress(progress), m_times(times),
          m_meta(UpscaleCore::loadMeta(input)), m_work(jobFolder), m_journaled(journal != nullptr)
    {
        Q_ASSERT(!journal || jobFolder);
        if (journal) {
            // What was done is read back from the work folder, never taken on trust.
            m_journal = *journal;
            m_journal.plan.reset();
            m_journal.segments.clear();
            m_journal.result.clear();
            m_journal.failure.clear();
        }
    }

    QString run();

private:
    QString segments();
    void refuseWhenPointless() const;
    void keepAfterFailure(EngineError& error);
    QList<int> resumeOrPlan();
    void record(int index, const VideoMeta& written);
    void saveJournal();
    QList<int> decodableAudio();
    SegmentPlan makePlan();
    int extractSegment(int index, const QString& number);
    void enhanceSegment(int index, int extracted);
    QString encodeSegment(int index, const QString& number, int extracted);
    QString streamSegment(int index, const QString& number);
    QString segmentPath(int index) const;
    void encodeOnce(const QString& segmentFile, int extracted, double base, const QString& status);
    QString finish(const QStringList& segmentFiles, const QList<int>& audio);
    void checkResult(const QString& result, const QList<int>& audio) const;

    void report(double fraction, const QString& status);
    double* timer(double UpscaleCore::PhaseTimes::*phase) const
    {
        return m_times ? &(m_times->*phase) : nullptr;
    }
    // Runs ffmpeg with "-progress" into the work folder; tick receives what it has said so far.
    void runWithProgress(QStringList arguments,
                         const std::function<void(const FFmpegCommands::ProgressState&)>& tick);

    UpscaleCore& m_core;
    QString m_input;
    UpscaleOptions m_options;
    const UpscaleCore::ProgressCallback& m_progress;
    UpscaleCore::PhaseTimes* m_times;
    VideoMeta m_meta;
    // The job's folder (held by the caller) or the run's own.
    WorkFolder* m_work = nullptr;
    std::optional<WorkFolder> m_ownWork;
    // A finished result an earlier run of this job recorded; the run only hands it over.
    QString m_readyResult;
    SegmentPlan m_plan;
    VideoEncoder m_encoder;
    QString m_inFolder;
    QString m_outFolder;
    QString m_progressFile;
    double m_reported = 0;
    double m_share = 1;
    bool m_streaming = false;
    RemainingTime m_remaining;
    // A resumable run keeps its record in its work folder; finished segments are skipped.
    bool m_journaled = false;
    JobManifest m_journal;
    QSet<int> m_finished;
};

void VideoRun::report(double fraction, const QString& status)
{
    // Reports never go backwards within a run.
    m_reported = std::max(m_reported, std::min(fraction, 1.0));
    if (m_progress)
        m_progress(m_reported, status, m_remaining.text(m_reported));
}

void VideoRun::refuseWhenPointless() const
{
    const qint64 source = m_meta.displayShortSide();
    if (source >= m_options.targetHeight)
        throw UpscaleCore::err(
            QStringLiteral("This video is already ") + QString::number(source) +
            QStringLiteral("p — at or above the ") + QString::number(m_options.targetHeight) +
            QStringLiteral("p output you chose, so there's nothing to upscale."));
    const std::optional<qint64> freeAtStart = m_core.freeDiskBytes();
    if (freeAtStart && *freeAtStart < 3000000000LL)
        throw UpscaleCore::err(QStringLiteral(
            "Not enough free disk space to upscale. Free up a few GB and try again."));
}

// Decodes a second of every audio track before any AI work. A track that cannot be decoded is
// left out of the result (and logged) rather than failing the job after all the AI work.
QList<int> VideoRun::decodableAudio()
{
    QList<int> kept;
    for (qsizetype i = 0; i < m_meta.audioTracks.size(); ++i) {
        const MediaTrack& track = m_meta.audioTracks[i];
        try {
            m_core.runFFmpegSimple(FFmpegCommands::audioCheck(m_input, track.index));
            kept.append(track.index);
        } catch (const EngineError& error) {
            if (m_core.isCancelled())
                throw;
            // ffmpeg itself not starting says nothing about the track.
            if (const auto broken = ToolHealth::startProblem(QStringLiteral("ffmpeg"), error))
                throw UpscaleCore::err(*broken);
            EngineLog::line(
                QStringLiteral("Korvane: audio track %1 (%2) of %3 can't be decoded "
                               "and is left out of the upscale: %4")
                    .arg(QString::number(i + 1), track.codec, m_input, error.message()));
        }
    }
    return kept;
}

SegmentPlan VideoRun::makePlan()
{
    const ModelChoice choice =
        UpscaleCore::aiModel(m_options.quality, m_options.targetHeight, m_meta.displayShortSide());
    const qint64 freeForEstimate =
        m_core.freeDiskBytes().value_or(std::numeric_limits<qint64>::max());
    SegmentPlan plan = SegmentPlan::make(m_meta, m_options, choice, freeForEstimate);
    // The processor engine takes frames through pipes, so no frame files need room on disk.
    if (m_streaming)
        plan = StreamCommands::streamingPlan(plan);
    // Shorter segments on request (tests use it to get several segments from a short clip).
    const double shorter = qEnvironmentVariable("KORVANE_SEGMENT_SECONDS").toDouble();
    if (shorter > 0 && shorter < plan.segmentLength) {
        plan.segmentLength = shorter;
        plan.segmentCount = int(std::ceil(plan.durationUsed / shorter - 1e-9));
    }
    if (freeForEstimate < plan.neededBytes)
        throw UpscaleCore::err(QStringLiteral("Not enough storage. This upscale needs about ") +
                               gigabytes(plan.neededBytes) + QStringLiteral(" free, but only ") +
                               gigabytes(freeForEstimate) +
                               QStringLiteral(" is available. Free up space and try again."));
    return plan;
}

void VideoRun::runWithProgress(
    QStringList arguments, const std::function<void(const FFmpegCommands::ProgressState&)>& tick)
{
    QFile::remove(m_progressFile);
    m_core.runFFmpegSimple(arguments, [&] {
        QFile file(m_progressFile);
        if (file.open(QIODevice::ReadOnly))
            tick(FFmpegCommands::progressState(file.readAll()));
    });
}

// Decodes one segment into "in"; returns the number of frames written. A segment that ends before
// the video does must hold its planned frames (within one); a short one is decoded once more
// before the run gives up.
int VideoRun::extractSegment(int index, const QString& number)
{
    const double start = m_plan.segmentStart(index);
    const double length = m_plan.segmentDuration(index);
    const double base = m_share * index;
    const double planned = length * m_meta.fps;
    const double videoEnd = m_meta.videoDuration > 0 ? m_meta.videoDuration : m_plan.durationUsed;
    const bool whole = start + length < videoEnd - 0.5 / m_meta.fps;
    const double expected = std::max(1.0, std::ceil(planned));
    const QString status = QStringLiteral("Preparing segment ") + number + QStringLiteral("…");
    const PhaseTimer phase(timer(&UpscaleCore::PhaseTimes::extraction));
    int written = 0;
    const auto tick = [&] {
        written = WorkFolder::countEntries(m_inFolder);
        report(base + m_share * 0.06 * std::min(1.0, written / expected), status);
    };
    for (int attempt = 0; attempt < 2; ++attempt) {
        WorkFolder::removeFolder(m_inFolder);
        WorkFolder::makeFolder(m_inFolder);
        m_core.runFFmpegSimple(FFmpegCommands::segmentFrames(m_input, m_inFolder, start, length,
                                                             m_meta, m_plan.frameWidth,
                                                             m_plan.frameHeight),
                               tick);
        tick();
        if (written == 0 || (written <= expected + 1 && (!whole || written >= planned - 1.5)))
            return written;
        EngineLog::line(QStringLiteral("Korvane: segment %1 was decoded into %2 frames instead "
                                       "of %3")
                            .arg(number)
                            .arg(written)
                            .arg(std::llround(planned)));
    }
    throw UpscaleCore::err(QStringLiteral("Segment ") + number +
                           QStringLiteral(" of the video could not be read completely (") +
                           QString::number(written) + QStringLiteral(" of ") +
                           QString::number(std::llround(planned)) +
                           QStringLiteral(" frames, twice), so the upscale was stopped. Please "
                                          "try again."));
}

// Runs the AI engine over "in" into "out".
void VideoRun::enhanceSegment(int index, int extracted)
{
    const double base = m_share * index;
    const auto aiProgress = [&] {
        const int enhanced = WorkFolder::countEntries(m_outFolder);
        const double done = std::min(1.0, double(enhanced) / double(extracted));
        const double fraction = base + m_share * 0.06 + m_share * 0.82 * done;
        if (enhanced > 0)
            m_remaining.frameDone(std::max(m_reported, fraction));
        report(fraction, enhanced == 0 ? QStringLiteral("Loading AI model…")
                                       : QStringLiteral("AI enhancing frames…"));
    };
    const PhaseTimer phase(timer(&UpscaleCore::PhaseTimes::ai));
    aiProgress();
    m_core.runRealESRGANFolder(m_inFolder, m_outFolder, m_plan.choice, aiProgress);
}

// One encode of "out", falling back to the next encoder when the current one fails.
void VideoRun::encodeOnce(const QString& segmentFile, int extracted, double base,
                          const QString& status)
{
    for (;;) {
        try {
            runWithProgress(
                FFmpegCommands::segmentEncode(m_outFolder, m_meta.fps, m_plan.outputWidth,
                                              m_plan.outputHeight, m_encoder, m_plan.bitRate,
                                              m_plan.hevc, m_progressFile, segmentFile),
                [&](const FFmpegCommands::ProgressState& state) {
                    const double done = std::min(1.0, double(state.frames) / double(extracted));
                    report(base + m_share * (0.9 + 0.05 * done), status);
                });
            report(base + m_share * 0.95, status);
            return;
        } catch (const EngineError&) {
            if (m_core.isCancelled())
                throw;
            const std::optional<VideoEncoder> next = EncoderChoice::fallback(
                m_encoder, m_plan.hevc, m_plan.outputWidth, m_plan.outputHeight);
            if (!next)
                throw;
            m_encoder = *next;
        }
    }
}

// Encodes "out" into the segment's file and checks that every frame is in it; a short segment is
// encoded once more before the run gives up.
QString VideoRun::encodeSegment(int index, const QString& number, int extracted)
{
    const double base = m_share * index;
    const QString status = QStringLiteral("Encoding segment ") + number + QStringLiteral("…");
    const QString segmentFile = segmentPath(index);
    const double frame = 1.0 / m_meta.fps;
    const double expectedLength = double(extracted) * frame;
    const PhaseTimer phase(timer(&UpscaleCore::PhaseTimes::encoding));
    qint64 frames = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        report(base + m_share * 0.9, status);
        encodeOnce(segmentFile, extracted, base, status);
        const std::optional<VideoMeta> written = readBack(segmentFile);
        frames = written ? written->frameCount : 0;
        if (written && frames == extracted &&
            std::abs(written->videoDuration - expectedLength) <= frame + 0.001) {
            record(index, *written);
            return segmentFile;
        }
        EngineLog::line(QStringLiteral("Korvane: segment %1 was encoded with %2 of its %3 frames")
                            .arg(number)
                            .arg(frames)
                            .arg(extracted));
    }
    throw UpscaleCore::err(QStringLiteral("Segment ") + number +
                           QStringLiteral(" of the video could not be encoded completely (") +
                           QString::number(frames) + QStringLiteral(" of ") +
                           QString::number(extracted) +
                           QStringLiteral(" frames, twice), so the upscale was stopped. Please "
                                          "try again."));
}

QString segmentName(int index)
{
    return QStringLiteral("seg_%1.mp4").arg(index, 5, 10, QLatin1Char('0'));
}

QString VideoRun::segmentPath(int index) const
{
    return m_work->filePath(QStringLiteral("segments")) + QLatin1Char('/') + segmentName(index);
}

// Takes the plan and the checked segments of an earlier run of this job, or makes a fresh plan;
// returns the sound tracks to keep.
QList<int> VideoRun::resumeOrPlan()
{
    const JobJournal::Decoded earlier = m_journaled ? JobJournal::read(m_work->path())
                                                    : JobJournal::Decoded{};
    if (earlier.manifest && earlier.manifest->plan) {
        const QString problem = JobJournal::resumeProblem(*earlier.manifest);
        if (!problem.isEmpty())
            throw UpscaleCore::err(problem);
        const JobManifest::Plan& kept = *earlier.manifest->plan;
        m_plan = kept.plan;
        m_streaming = kept.streaming;
        m_encoder = kept.encoder;
        const double frame = 1.0 / m_meta.fps;
        for (const JobManifest::Segment& segment : earlier.manifest->segments) {
            const QString path =
                m_work->filePath(QStringLiteral("segments")) + QLatin1Char('/') + segment.file;
            const std::optional<VideoMeta> written = readBack(path);
            int index = -1;
            for (int i = 0; i < m_plan.segmentCount && index < 0; ++i) {
                if (segmentName(i) == segment.file)
                    index = i;
            }
            // Reused only when it still holds what was recorded; otherwise it is made again.
            if (index >= 0 && written && written->frameCount == segment.frames &&
                std::abs(written->videoDuration - segment.duration) <= frame + 0.001) {
                m_finished.insert(index);
                m_journal.segments.append(segment);
            }
        }
        EngineLog::line(QStringLiteral("Korvane: resuming %1 with %2 of %3 segments done")
                            .arg(m_input)
                            .arg(m_finished.size())
                            .arg(m_plan.segmentCount));
    } else {
        m_plan = makePlan();
    }
    const QList<int> audio = decodableAudio();
    if (earlier.manifest && earlier.manifest->plan && !earlier.manifest->result.isEmpty()) {
        // Died while the result was being put in place: it is handed over again once it checks.
        const QString result = m_work->filePath(earlier.manifest->result);
        try {
            checkResult(result, audio);
            m_readyResult = result;
            m_journal.result = earlier.manifest->result;
        } catch (const EngineError&) {
            QFile::remove(result);
        }
    }
    if (!earlier.manifest || !earlier.manifest->plan)
        m_encoder =
            EncoderChoice::forOutput(m_plan.hevc, m_plan.outputWidth, m_plan.outputHeight);
    if (m_journaled) {
        JobJournal::recordSource(m_journal);
        m_journal.tools = JobJournal::toolsFingerprint();
        saveJournal();
    }
    return audio;
}

void VideoRun::saveJournal()
{
    m_journal.plan = JobManifest::Plan{m_plan, m_streaming, m_encoder};
    if (!JobJournal::write(m_work->path(), m_journal))
        EngineLog::line(QStringLiteral("Korvane: the record of %1 could not be written; this "
                                       "upscale can't be resumed if it stops")
                            .arg(m_input));
}

// A checked segment is finished once its entry is in the record; written is what the check read.
void VideoRun::record(int index, const VideoMeta& written)
{
    if (!m_journaled)
        return;
    m_journal.segments.append(
        JobManifest::Segment{segmentName(index), written.frameCount, written.videoDuration});
    saveJournal();
}

// Decodes, enhances and encodes one segment at once, the frames passing through pipes (the
// processor engine), and checks that the segment holds its frames.
QString VideoRun::streamSegment(int index, const QString& number)
{
    const double base = m_share * index;
    const double start = m_plan.segmentStart(index);
    const double length = m_plan.segmentDuration(index);
    const double expected = std::max(1.0, std::round(length * m_meta.fps));
    const QString segmentFile = segmentPath(index);
    const StreamSegment segment =
        StreamSegment::forVideo(m_input, m_meta, m_plan, m_encoder, start, length, segmentFile);
    const Clock::time_point started = Clock::now();
    const double aiSeconds = m_core.runStreamingSegment(segment, [&](int frames) {
        const double fraction =
            base + m_share * (0.06 + 0.88 * std::min(1.0, double(frames) / expected));
        if (frames > 0)
            m_remaining.frameDone(std::max(m_reported, fraction));
        report(fraction, frames == 0 ? QStringLiteral("Loading AI model…")
                                     : QStringLiteral("AI enhancing frames…"));
    });
    if (m_times) {
        m_times->ai += aiSeconds;
        m_times->encoding += std::max(0.0, secondsSince(started) - aiSeconds);
    }
    const std::optional<VideoMeta> written = readBack(segmentFile);
    const qint64 frames = written ? written->frameCount : 0;
    if (frames < 1 || frames > expected + 1)
        throw UpscaleCore::err(QStringLiteral("Segment ") + number +
                               QStringLiteral(" of the video could not be upscaled completely (") +
                               QString::number(frames) + QStringLiteral(" of ") +
                               QString::number(std::llround(expected)) +
                               QStringLiteral(" frames), so the upscale was stopped. Please try "
                                              "again."));
    record(index, *written);
    report(base + m_share * 0.95, QStringLiteral("Encoding segment ") + number +
                                      QStringLiteral("…"));
    return segmentFile;
}

// Joins the segments and adds the source's other streams; returns the result's path.
QString VideoRun::finish(const QStringList& segmentFiles, const QList<int>& audio)
{
    const QString finalizing = QStringLiteral("Finalizing…");
    report(0.95, finalizing);
    const PhaseTimer phase(timer(&UpscaleCore::PhaseTimes::joiningAndSound));
    const QString listPath = m_work->filePath(QStringLiteral("segments.txt"));
    QSaveFile list(listPath);
    if (!list.open(QIODevice::WriteOnly) ||
        list.write(FFmpegCommands::concatList(segmentFiles)) < 0 || !list.commit())
        throw EngineError(
            QStringLiteral("Filesystem"), 1,
            QStringLiteral("Could not write %1: %2").arg(listPath, list.errorString()));

    const double length = m_plan.durationUsed;
    const auto joinTick = [&](double from) {
        return [&, from](const FFmpegCommands::ProgressState& state) {
            report(from + 0.025 * std::min(1.0, state.seconds / length), finalizing);
        };
    };
    const QString joined = m_work->filePath(QStringLiteral("video.mp4"));
    runWithProgress(FFmpegCommands::concatenate(listPath, m_progressFile, joined), joinTick(0.95));
    report(0.975, finalizing);

    FFmpegCommands::FinishStreams streams;
    streams.audio = audio;
    for (const MediaTrack& track : std::as_const(m_meta.subtitleTracks)) {
        if (track.text)
            streams.subtitles.append(track.index);
    }
    const std::optional<VideoMeta> joinedFacts = readBack(joined);
    streams.length =
        joinedFacts && joinedFacts->videoDuration > 0 ? joinedFacts->videoDuration : length;
    // A resumable job's result stays in its folder, on its record, until it is in place.
    const QString result =
        m_journaled ? m_work->filePath(QStringLiteral("result.mp4"))
                    : WorkFolder::freshTempPath(QStringLiteral("ai-"), QStringLiteral(".mp4"));
    ResultGuard resultGuard(result);
    runWithProgress(FFmpegCommands::finish(joined, m_input, streams, m_progressFile, result),
                    joinTick(0.975));
    checkResult(result, audio);
    resultGuard.keep();
    if (m_journaled) {
        m_journal.result = QFileInfo(result).fileName();
        saveJournal();
    }
    return result;
}

// The finished file is as long as the source's video (within one frame) and so is its sound.
void VideoRun::checkResult(const QString& result, const QList<int>& audio) const
{
    const double frame = 1.0 / m_meta.fps;
    const double tolerance = frame + 0.03; // one video frame and one AAC frame
    const double expected = m_meta.videoDuration > 0 ? m_meta.videoDuration : m_plan.durationUsed;
    const std::optional<VideoMeta> facts = readBack(result);
    const double video = facts ? facts->videoDuration : 0;
    bool soundShort = !facts || facts->audioTracks.size() != audio.size();
    for (qsizetype i = 0; !soundShort && i < audio.size(); ++i) {
        double source = 0;
        for (const MediaTrack& track : m_meta.audioTracks) {
            if (track.index == audio[i])
                source = track.duration;
        }
        const double wanted = std::min(source > 0 ? source : video, video);
        soundShort = facts->audioTracks[i].duration < wanted - tolerance;
    }
    if (std::abs(video - expected) > tolerance || soundShort)
        throw UpscaleCore::err(
            QStringLiteral("The upscaled video came out incomplete (%1 s of picture for a %2 s "
                           "source%3), so it was not saved. Please try again.")
                .arg(QString::asprintf("%.2f", video), QString::asprintf("%.2f", expected),
                     soundShort ? QStringLiteral(", sound missing") : QString()));
}

QString VideoRun::run()
{
    refuseWhenPointless();
    if (!m_journaled) {
        m_ownWork.emplace(QStringLiteral("ai-"));
        m_work = &*m_ownWork;
    }
    WorkFolder::makeFolder(m_work->filePath(QStringLiteral("segments")));
    m_inFolder = m_work->filePath(QStringLiteral("in"));
    m_outFolder = m_work->filePath(QStringLiteral("out"));
    m_progressFile = m_work->filePath(QStringLiteral("progress.txt"));
    m_streaming = EngineChoice::current() == EngineKind::Cpu;
    try {
        const QString result = segments();
        if (m_journaled)
            m_work->keepForResume(); // removed by the job once the result is in place
        return result;
    } catch (EngineError& error) {
        const StopToken& stop = StopToken::current();
        if (!stop.stopped()) {
            keepAfterFailure(error);
            throw;
        }
        // Stopped to be resumed later: the finished segments and their record stay; the frames
        // of the segment in progress go.
        if (m_journaled && stop.keepsWork()) {
            WorkFolder::removeFolder(m_inFolder);
            WorkFolder::removeFolder(m_outFolder);
            m_work->keepForResume();
            if (m_progress && m_journal.plan)
                m_progress(m_reported, JobJournal::progressText(m_journal), QString());
        }
        // Whatever a stopped program made its step say, the run was stopped.
        throw EngineError::cancelled();
    }
}

// A resumable run that failed after finishing segments keeps them with the reason, so the job
// continues from them once the cause is dealt with (space freed, a device back).
void VideoRun::keepAfterFailure(EngineError& error)
{
    if (!m_journaled || m_journal.segments.isEmpty() || !m_journal.plan)
        return;
    WorkFolder::removeFolder(m_inFolder);
    WorkFolder::removeFolder(m_outFolder);
    m_journal.failure = error.message();
    saveJournal();
    m_work->keepForResume();
    error.setWorkKept();
}

QString VideoRun::segments()
{
    const QList<int> audio = resumeOrPlan();
    if (!m_readyResult.isEmpty())
        return m_readyResult;
    const int count = m_plan.segmentCount;
    m_share = 1.0 / count;
    const QString ofCount = QLatin1Char('/') + QString::number(count);
    QStringList segmentFiles;
    for (int i = 0; i < count; ++i) {
        if (m_core.isCancelled())
            throw EngineError::cancelled();
        if (m_plan.segmentDuration(i) <= 0)
            break;
        if (m_finished.contains(i)) {
            segmentFiles.append(segmentPath(i));
            continue;
        }
        const std::optional<qint64> freeNow = m_core.freeDiskBytes();
        if (freeNow && *freeNow < m_plan.lowStorageThreshold)
            throw UpscaleCore::err(
                QStringLiteral("Storage ran low during upscaling, so it was stopped to protect "
                               "your disk. Free up space and try again."));
        WorkFolder::removeFolder(m_inFolder);
        WorkFolder::removeFolder(m_outFolder);
        WorkFolder::makeFolder(m_inFolder);
        WorkFolder::makeFolder(m_outFolder);

        const QString number = QString::number(i + 1) + ofCount;
        report(m_share * i, QStringLiteral("Preparing segment ") + number + QStringLiteral("…"));
        if (m_streaming) {
            segmentFiles.append(streamSegment(i, number));
            continue;
        }
        const int extracted = extractSegment(i, number);
        if (extracted == 0)
            continue;
        enhanceSegment(i, extracted);
        segmentFiles.append(encodeSegment(i, number, extracted));
        WorkFolder::removeFolder(m_inFolder);
        WorkFolder::removeFolder(m_outFolder);
    }
    if (segmentFiles.isEmpty())
        throw UpscaleCore::err(QStringLiteral("No frames were produced."));

    const QString result = finish(segmentFiles, audio);
    m_reported = 1.0;
    if (m_progress)
        m_progress(1.0, QStringLiteral("Done"), QString());
    return result;
}

} // namespace

QString UpscaleCore::runAI(const QString& input, const UpscaleOptions& options,
                           const ProgressCallback& progress, PhaseTimes* times,
                           const JobManifest* journal, WorkFolder* jobFolder)
{
    VideoRun run(*this, input, options, progress, times, journal, jobFolder);
    return run.run();
}
