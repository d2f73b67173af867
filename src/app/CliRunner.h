#pragma once

#include <memory>
#include <optional>

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUuid>

#include "app/CommandLine.h"
#include "engine/SystemAdvisor.h"
#include "engine/VideoMeta.h"
#include "processing/UpscaleJob.h"

class CliOutput;
class HistoryStore;
class JobQueue;
struct JobManifest;

// Runs `korvane upscale` without a window: installs the tools when they are missing (as the
// window's first run does, under the same lock) and checks that they can start (ending with
// status 1 before any work when one cannot), then builds each input's job, one at a time, with
// the same recipes the window uses (a video job, an image job) and runs it through the queue it is
// given. Results are named and recorded in the histories as in the window. A video whose earlier
// run was killed continues from its finished segments unless --no-resume. Reports each job's
// progress and result on the terminal or as JSON lines, and ends with the command's exit status.
//
// Threading: main thread only; the installation and the reading of each input run on workers and
// are posted back.
class CliRunner final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CliRunner)
public:
    // terminal: standard output is a terminal, so progress is drawn in place.
    CliRunner(CommandLine::UpscaleRequest request, bool terminal, JobQueue& queue,
              HistoryStore& histories, QObject* parent = nullptr);
    ~CliRunner() override;

    void start();
    // Stops like the window's Stop: the running job's programs are ended and its work files
    // removed, no further input starts, and the command ends with exitStatus.
    void stop(int exitStatus);

Q_SIGNALS:
    // Emitted once, when everything is over and the histories are written.
    void finished(int exitStatus);

private:
    enum class Kind { Video, Image };

    // What the worker found out about a video before its job is made.
    struct VideoReading {
        std::optional<VideoMeta> meta;
        QString problem;
        UpscaleRecommendation recommendation;
    };

    // problems: why the tools could not be installed or cannot start, one per line.
    void toolsReady(const QStringList& problems);
    void next();
    void queueImage(const QString& path, const QString& destination);
    void readVideo(const QString& path, const QString& destination);
    void queueVideo(const QString& path, const QString& destination, const VideoReading& reading);
    void runVideo(JobManifest manifest, double pixels, const QString& resumedFrom);
    void enqueue(const UpscaleJob& job);
    void onJobsChanged();
    void jobEnded(const UpscaleJob::Result& result);
    void fail(const QString& file, const QString& message);
    void succeed(const QString& file, const QString& output);
    void finish();
    void finishWhenHistorySaved(int exitStatus);
    void historyWritten();
    void finishIfWritten();
    // The path the result of input gets: --output as given, else the first free
    // NAME_upscaled.EXT in --output-dir or beside the input.
    QString destinationFor(const QString& input, Kind kind) const;
    const QString& currentFile() const { return m_request.inputs.at(m_index); }

    CommandLine::UpscaleRequest m_request;
    std::unique_ptr<CliOutput> m_output;
    JobQueue& m_queue;
    HistoryStore& m_histories;

    qsizetype m_index = -1; // the input being worked on
    QUuid m_jobId;          // its job, once queued
    int m_failures = 0;
    int m_successes = 0;
    int m_historyWrites = 0; // history entries handed to the writer and not written yet
    std::optional<int> m_stopStatus;
    std::optional<int> m_exitStatus; // set once the command is over
    bool m_finished = false;
    bool m_reported = false;
    // Repeats the stop while the job runs, so a stop that lands as the job starts is not lost.
    QTimer m_stopRepeat;
};
