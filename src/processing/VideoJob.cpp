#include "processing/VideoJob.h"

#include <memory>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QThreadPool>

#include "engine/AIQuality.h"
#include "engine/UpscaleCore.h"
#include "engine/JobJournal.h"
#include "engine/SegmentPlan.h"
#include "engine/WorkFolder.h"
#include "processing/JobSpeed.h"
#include "processing/MissingTools.h"
#include "processing/OutputFile.h"
#include "processing/OutputNaming.h"

namespace VideoJob {
namespace {

// One thread, so records and removals happen in the order they were asked for.
QThreadPool& writer()
{
    static QThreadPool* pool = [] {
        auto* made = new QThreadPool;
        made->setMaxThreadCount(1);
        made->setExpiryTimeout(-1);
        return made;
    }();
    return *pool;
}

void writeRecord(const JobManifest& manifest)
{
    writer().start([request = manifest] {
        JobManifest record = request;
        JobJournal::recordSource(record);
        // root() makes the work folder private when this is the first thing in it.
        const QString folder = WorkFolder::root() + QLatin1Char('/') +
                               record.id.toString(QUuid::WithoutBraces);
        try {
            WorkFolder::makeFolder(folder);
        } catch (const EngineError&) {
            return;
        }
        JobJournal::write(folder, record, false);
    });
}

OutputFile::Mode modeOf(const JobManifest& manifest)
{
    if (manifest.replaceDestination)
        return OutputFile::Mode::Replace;
    return manifest.exclusiveDestination ? OutputFile::Mode::Exclusive
                                         : OutputFile::Mode::KeepExisting;
}

// Takes the job's name before any work and notes it on the record, so a run that dies keeps
// its name: the next run adopts the placeholder instead of numbering a new one.
OutputFile::Reservation takeName(const JobManifest& manifest, const QString& folder)
{
    const OutputFile::Reservation taken =
        OutputFile::reserve(manifest.destination, modeOf(manifest), QStringLiteral("video"),
                            manifest.destinationHeld);
    JobJournal::update(folder, [&taken](JobManifest& record) {
        record.destination = taken.path;
        record.destinationHeld = taken.hasPlaceholder();
    });
    return taken;
}

// The latest record of the job: what an earlier run of it left, else what was asked for.
JobManifest latest(const JobManifest& manifest, const QString& folder)
{
    const JobJournal::Decoded record = JobJournal::read(folder);
    return record.manifest && record.manifest->id == manifest.id ? *record.manifest : manifest;
}

QString run(const JobManifest& request, double pixels, QString* kept,
            const UpscaleJob::ProgressReporter& report)
{
    // The record written when the job was queued is in place before the run reads it.
    waitForWrites();
    if (!QFileInfo::exists(UpscaleCore::ffmpeg()))
        throw UpscaleCore::err(MissingTools::ffmpegMessage());
    if (!QFileInfo::exists(UpscaleCore::realesrganBinary()))
        throw UpscaleCore::err(MissingTools::realesrganMessage());
    if (modeOf(request) == OutputFile::Mode::Replace &&
        OutputFile::sameFile(request.source, request.destination))
        throw UpscaleCore::err(QStringLiteral("The upscaled video would replace its own "
                                              "source. Choose another name."));
    // Held for the whole run, placing included: no other Korvane resumes or sweeps it meanwhile.
    WorkFolder work(WorkFolder::Job{request.id.toString(QUuid::WithoutBraces)});
    JobManifest manifest = latest(request, work.path());
    OutputFile::HeldName name(takeName(manifest, work.path()));
    manifest.destination = name.reservation().path;
    manifest.destinationHeld = name.reservation().hasPlaceholder();

    QElapsedTimer timer;
    timer.start();
    QString tmp;
    try {
        tmp = UpscaleCore::shared().runAI(manifest.source, manifest.options, report, nullptr,
                                          &manifest, &work);
    } catch (const EngineError&) {
        // The placeholder goes with the run; a resumed run takes the name again.
        name.settle();
        OutputFile::release(name.reservation());
        JobJournal::update(work.path(), [](JobManifest& record) { record.destinationHeld = false; });
        throw;
    }
    const OutputFile::Placement placed = OutputFile::place(tmp, name.reservation(),
                                                           QStringLiteral("video"));
    name.settle();
    // The record goes only now that the result is in place (or kept where the error says).
    WorkFolder::removeFolder(work.path());
    if (placed.error) {
        *kept = placed.keptPath;
        throw *placed.error;
    }
    // What this machine managed refines the next estimate.
    if (pixels > 0)
        JobSpeed::record(manifest.options.quality, pixels, double(timer.elapsed()) / 1000.0);
    return placed.path;
}

} // namespace

qint64 estimatedOutputBytes(const VideoMeta& meta, const UpscaleOptions& options)
{
    const ModelChoice choice =
        UpscaleCore::aiModel(options.quality, options.targetHeight, meta.displayShortSide());
    const SegmentPlan plan = SegmentPlan::make(meta, options, choice, std::nullopt);
    return qint64(double(plan.byteRate) * plan.durationUsed);
}

QList<Unfinished> findUnfinished(const JobManifest& request)
{
    const auto folderOfPath = [](const QString& path) { return QFileInfo(path).absolutePath(); };
    QList<Unfinished> found;
    for (const QString& folder : UpscaleCore::idleJobFolders()) {
        const JobJournal::Decoded record = JobJournal::read(folder);
        if (!record.manifest)
            continue;
        const JobManifest& earlier = *record.manifest;
        const bool same =
            earlier.source == request.source &&
            earlier.options.targetHeight == request.options.targetHeight &&
            earlier.options.codec == request.options.codec &&
            earlier.options.quality == request.options.quality &&
            earlier.exclusiveDestination == request.exclusiveDestination &&
            earlier.replaceDestination == request.replaceDestination &&
            (request.exclusiveDestination
                 ? earlier.destination == request.destination
                 : folderOfPath(earlier.destination) == folderOfPath(request.destination));
        if (same)
            found.append({folder, earlier, JobJournal::resumeProblem(earlier)});
    }
    return found;
}

QString resumingText(const JobManifest& manifest)
{
    const int count = manifest.plan ? manifest.plan->plan.segmentCount : 0;
    return QStringLiteral("Resuming: %1 of %2 segments done")
        .arg(manifest.segments.size())
        .arg(count);
}

QString folderOf(const QUuid& id)
{
    return WorkFolder::rootPath() + QLatin1Char('/') + id.toString(QUuid::WithoutBraces);
}

void removeWork(const QString& folder)
{
    writer().start([folder] { WorkFolder::removeFolder(folder); });
}

void waitForWrites()
{
    writer().waitForDone();
}

namespace {

// The queue job of a recorded upscale; its record is not written here.
UpscaleJob build(const JobManifest& manifest, double pixels, const Hooks& hooks)
{
    UpscaleJob job;
    job.id = manifest.id;
    job.name = manifest.name;
    job.icon = QStringLiteral("film");
    job.detail = manifest.detail;
    job.resumable = true;
    const auto kept = std::make_shared<QString>();
    job.run = [manifest, pixels, kept](const UpscaleJob::ProgressReporter& report) {
        return run(manifest, pixels, kept.get(), report);
    };
    const QString destination = manifest.destination;
    const QString folder = folderOf(manifest.id);
    job.onComplete = [hooks, destination, kept](const UpscaleJob::Result& result) {
        OutputNaming::release(destination);
        if (hooks.finished)
            hooks.finished(result, *kept);
    };
    job.onRemoved = [hooks, destination, folder] {
        OutputNaming::release(destination);
        removeWork(folder);
        if (hooks.left)
            hooks.left();
    };
    job.onSetAside = [hooks, destination] {
        OutputNaming::release(destination);
        if (hooks.left)
            hooks.left();
    };
    job.onResume = [hooks, destination] {
        OutputNaming::reserve(destination);
        if (hooks.resumed)
            hooks.resumed();
    };
    job.onDiscard = [folder] { removeWork(folder); };
    return job;
}

} // namespace

UpscaleJob make(const JobManifest& manifest, double pixels, const Hooks& hooks)
{
    writeRecord(manifest);
    // The name stays taken until the job has written its file (or will never write it).
    OutputNaming::reserve(manifest.destination);
    return build(manifest, pixels, hooks);
}

UpscaleJob interrupted(const QString& folder, const JobJournal::Decoded& record,
                       const Hooks& hooks)
{
    UpscaleJob job;
    if (record.manifest) {
        // Its name is taken only once the user resumes it (see onResume).
        job = build(*record.manifest, 0, hooks);
        // A run that failed is listed with the reason it gave; Resume continues once it is dealt
        // with.
        job.statusText = record.manifest->failure.isEmpty() ? JobJournal::progressText(*record.manifest)
                                                            : record.manifest->failure;
        if (record.manifest->plan && record.manifest->plan->plan.segmentCount > 0)
            job.progress = double(record.manifest->segments.size()) /
                           double(record.manifest->plan->plan.segmentCount);
    } else {
        const QUuid id = QUuid::fromString(QFileInfo(folder).fileName());
        if (!id.isNull())
            job.id = id;
        job.name = QStringLiteral("Unfinished video upscale");
        job.icon = QStringLiteral("film");
    }
    job.resumeProblem = record.problem;
    job.status = UpscaleJob::Status::Interrupted;
    job.onDiscard = [folder] { removeWork(folder); };
    if (!job.resumeProblem.isEmpty())
        job.statusText = job.resumeProblem;
    return job;
}

} // namespace VideoJob
