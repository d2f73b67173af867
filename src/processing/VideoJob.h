#pragma once

#include <functional>

#include <QList>

#include <QString>
#include <QUuid>

#include "engine/JobJournal.h"
#include "engine/VideoMeta.h"
#include "processing/UpscaleJob.h"

// The queued job of one single-video upscale, resumable: its work folder is named by the job's
// id and holds the job's record, written when the job is queued and kept up to date by the run,
// so a job stopped to be resumed later, or left by a crash or a power cut, continues from its
// first unfinished segment.
//
// Threading: make, interrupted and the hooks run on the main thread; records are written and
// work folders removed on one background writer, in the order asked; the job's run waits for the
// writer before it starts.
namespace VideoJob {

// What the video model hears from its jobs (all on the main thread).
struct Hooks {
    // The job ended; kept names a result kept after a failed save (empty otherwise).
    std::function<void(const UpscaleJob::Result& result, const QString& kept)> finished;
    // The job left the queue without running to its end (removed while waiting, or set aside).
    std::function<void()> left;
    // An interrupted job was queued again.
    std::function<void()> resumed;
};

// The job for a recorded upscale; pixels (the output's, for the speed record) may be 0 when
// unknown. Writes the record in the background unless one exists.
UpscaleJob make(const JobManifest& manifest, double pixels, const Hooks& hooks);
// A job found unfinished at start-up in folder (its record as JobJournal::inspect gives it),
// listed as Interrupted: "12 of 40 segments" with Resume and Discard, or only Discard with the
// reason when it can't be resumed. Touches no disk.
UpscaleJob interrupted(const QString& folder, const JobJournal::Decoded& record,
                       const Hooks& hooks);

// Bytes the encoded result of meta's video takes with options (the plan's own figures).
qint64 estimatedOutputBytes(const VideoMeta& meta, const UpscaleOptions& options);

// An unfinished job of the same upscale as request (same source, options and destination
// folder; with an exact destination, that one) that no running Korvane holds, with why it can't
// be resumed (empty when it can). Reads the disk: worker threads only.
struct Unfinished {
    QString folder;
    JobManifest manifest;
    QString problem;
};
QList<Unfinished> findUnfinished(const JobManifest& request);

// "Resuming: 12 of 40 segments done".
QString resumingText(const JobManifest& manifest);

// Removes a job's work folder in the background.
void removeWork(const QString& folder);
// The work folder of a job.
QString folderOf(const QUuid& id);
// Blocks until every record and removal asked for so far is done (worker threads and exit).
void waitForWrites();

} // namespace VideoJob
