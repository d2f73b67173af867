#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include "engine/EncoderChoice.h"
#include "engine/SegmentPlan.h"
#include "engine/UpscaleOptions.h"

// What a resumable video job keeps beside its segments ("job.json" in its work folder): what was
// asked for, the plan the segments were made with, and every segment that was finished and
// checked. A segment counts as finished only once it is listed here.
struct JobManifest {
    static constexpr int kVersion = 1;

    struct Segment {
        QString file; // name inside the work folder's "segments" folder
        qint64 frames = 0;
        double duration = 0;
        bool operator==(const Segment&) const = default;
    };
    // The figures the segments were made with; a resumed run uses them unchanged.
    struct Plan {
        SegmentPlan plan;
        bool streaming = false;
        VideoEncoder encoder;
    };

    int version = kVersion;
    QUuid id;
    QString name;   // shown in the queue
    QString detail; // shown in the queue
    QDateTime created;
    QString source;
    qint64 sourceSize = 0;
    qint64 sourceModified = 0; // milliseconds since the epoch
    double sourceDuration = 0;
    QString destination;
    bool replaceDestination = false;   // chosen in the save dialog
    bool exclusiveDestination = false; // exactly that name or nothing (the command line's --output)
    bool destinationHeld = false;      // the empty file at destination is this job's placeholder
    UpscaleOptions options;
    QString tools; // see JobJournal::toolsFingerprint
    std::optional<Plan> plan;
    QList<Segment> segments;
    // The finished, checked video in the work folder, waiting to be put at destination; empty
    // until then. A job that died while placing it only has to place it again.
    QString result;
    // Why the last run failed while keeping its finished segments; empty otherwise.
    QString failure;
};

// Reading and writing job manifests. Pure apart from read, write, sourceProblem and
// toolsFingerprint, which look at the disk.
namespace JobJournal {

inline constexpr char kFileName[] = "job.json";

QByteArray encode(const JobManifest& manifest);
// A manifest, or why the bytes aren't one this version can resume ("damaged", "newer").
struct Decoded {
    std::optional<JobManifest> manifest;
    QString problem;
};
Decoded decode(const QByteArray& json);

// The manifest of a work folder; a missing, unreadable or damaged one gives its problem.
Decoded read(const QString& folder);
// Writes the manifest atomically (a complete file or the old one, never half of one); false when
// it could not be written. With replace off, an existing manifest is left as it is.
bool write(const QString& folder, const JobManifest& manifest, bool replace = true);

// Identifies the installed tools, so segments are never joined with ones another version made.
QString toolsFingerprint();
// Why the job's source can no longer be resumed from: gone or changed since it was recorded;
// empty when it is as it was.
QString sourceProblem(const JobManifest& manifest);
// Why a recorded job can't be resumed: its source is gone or changed, or the segments were made
// with other tools; empty when it can be.
QString resumeProblem(const JobManifest& manifest);
// The manifest of a work folder, with why it can't be resumed (a damaged record, or see
// resumeProblem) in problem. Reads the disk and may start the engine's device check: worker
// threads only.
Decoded inspect(const QString& folder);
// Fills in the source's identity (size and modification time) from the disk.
void recordSource(JobManifest& manifest);
// Rewrites the record in folder with change applied to it; false when there is none or it could
// not be written.
bool update(const QString& folder, const std::function<void(JobManifest&)>& change);
// "12 of 40 segments", or "Not started" before the plan exists.
QString progressText(const JobManifest& manifest);

} // namespace JobJournal
