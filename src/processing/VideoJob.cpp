#include "processing/VideoJob.h"

#include <memory>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QThreadPool>

#include "engine/AIQuality.h"
#include "engine/UpscaleCore.h"
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

QString run(const JobManifest& manifest, double pixels, QString* kept,
            const UpscaleJob::ProgressReporter& report)
{
    // The record written when the job was queued is in place before the run reads it.
    waitForWrites();
    if (!QFileInfo::exists(UpscaleCore::ffmpeg()))
        throw UpscaleCore::err(MissingTools::ffmpegMessage());
    if (!QFileInfo::exists(UpscaleCore::realesrganBinary()))
        throw UpscaleCore::err(MissingTools::realesrganMessage());
    const OutputFile::Mode mode = manifest.replaceDestination ? OutputFile::Mode::Replace
                                                              : OutputFile::Mode::KeepExisting;
    if (mode == OutputFile::Mode::Replace &&
        OutputFile::sameFile(manifest.source, manifest.destination))
        throw UpscaleCore::err(QStringLiteral("The upscaled video would replace its own "
                                              "source. Choose another name."));
    QElapsedTimer timer;
    timer.start();
    const QString tmp =
        UpscaleCore::shared().runAI(manifest.source, manifest.options, report, nullptr, &manifest);
    const OutputFile::Placement placed =
        OutputFile::place(tmp, manifest.destination, mode, QStringLiteral("video"));
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
        job.statusText = JobJournal::progressText(*record.manifest);
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
