#pragma once

#include <functional>
#include <optional>

#include <QString>
#include <QUuid>

#include "engine/EngineError.h"

// One queued unit of work: a plain value record, copied rather than shared. Producers build it
// with status Queued, progress 0, status text "Queued" and an empty remaining-time text, and hand
// it to JobQueue::enqueue. The queue knows nothing about what the work does.
//
// Threading: `run` executes on the queue's worker thread; the reporter it receives may be called
// from any thread. `onComplete` and `onRemoved` run on the main thread.
struct UpscaleJob {
    // Interrupted: stopped to be resumed later (or found unfinished at start-up); listed, never
    // started until resumed.
    enum class Status { Queued, Running, Done, Failed, Interrupted };

    // Fraction done (0 to 1), status text, remaining-time text.
    using ProgressReporter =
        std::function<void(double progress, const QString& statusText, const QString& eta)>;
    // The work itself. Returns the output file's path, or an empty string when it has none;
    // fails by throwing (an EngineError, or any other exception, whose text is passed on).
    using Work = std::function<QString(const ProgressReporter& report)>;

    // What the work ended with: success with its optional output location, or failure.
    struct Result {
        QString location;
        std::optional<EngineError> error;

        bool succeeded() const { return !error.has_value(); }
        // A failure caused by the user's stop rather than by the work.
        bool cancelled() const { return error.has_value() && error->isCancellation(); }

        static Result success(const QString& outputLocation) { return {outputLocation, {}}; }
        static Result failure(const EngineError& failure) { return {QString(), failure}; }
    };

    QUuid id = QUuid::createUuid();
    QString name;   // the input file's last path component
    QString icon;   // "film" for video jobs, "photo" for image jobs
    QString detail; // one-line summary of the settings
    Status status = Status::Queued;
    double progress = 0.0;
    QString statusText = QStringLiteral("Queued");
    QString eta;
    Work run;
    // Receives the result of `run`; called once, before the job leaves the queue.
    std::function<void(const Result& result)> onComplete;
    // Called instead of `onComplete` when the job is removed from the queue while it waits, so a
    // producer can count down its outstanding jobs. Optional.
    std::function<void()> onRemoved;

    // Resumable jobs keep their finished work when stopped to be resumed later; running `run`
    // again continues from it. Others are dropped when the queue is put aside.
    bool resumable = false;
    // Interrupted jobs: why it can't be resumed (then it can only be discarded); empty otherwise.
    QString resumeProblem;
    // Called instead of `onRemoved` when a waiting job is set aside as Interrupted. Optional.
    std::function<void()> onSetAside;
    // Called when an Interrupted job is queued again, before it runs. Optional.
    std::function<void()> onResume;
    // Called when an Interrupted job is thrown away; removes the work it kept. Optional.
    std::function<void()> onDiscard;
};
