#pragma once

#include <memory>
#include <optional>

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUuid>

#include "app/CommandLine.h"

class ImageUpscaler;
class Upscaler;
class CliOutput;

// Runs `korvane upscale` without a window: installs the tools when they are missing (as the
// window's first run does) and checks that they can start (ending with status 1 before any work
// when one cannot), then hands the inputs, one at a time, to the window's processing
// models (videos to Upscaler, images to ImageUpscaler) and the shared job queue, so naming,
// history and the work itself are the window's. Reports each job's progress and result on the
// terminal or as JSON lines, and ends with the command's exit status.
//
// Threading: main thread only; the installation runs on a worker and is posted back.
class CliRunner final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CliRunner)
public:
    // terminal: standard output is a terminal, so progress is drawn in place.
    CliRunner(CommandLine::UpscaleRequest request, bool terminal, QObject* parent = nullptr);
    ~CliRunner() override;

    void start();
    // Stops like the window's Stop: the running job's programs are ended and its work files
    // removed, no further input starts, and the command ends with exitStatus.
    void stop(int exitStatus);

Q_SIGNALS:
    // Emitted once, when everything is over and the history has been handed to its writer.
    void finished(int exitStatus);

private:
    enum class Kind { Video, Image };

    // problems: why installed programs cannot start (see ToolHealth::check), one per program.
    void toolsReady(const QStringList& problems);
    void next();
    void queueVideo();
    void checkQueued(bool queued, const QString& reason);
    void onJobsChanged();
    void jobEnded();
    void fail(const QString& file, const QString& message);
    void succeed(const QString& file, const QString& output);
    void finish();
    void finishWhenHistorySaved(int exitStatus);
    // The path --output or --output-dir gives input's result; empty without either.
    QString destinationFor(const QString& input, Kind kind) const;

    CommandLine::UpscaleRequest m_request;
    std::unique_ptr<CliOutput> m_output;
    Upscaler* m_video = nullptr;
    ImageUpscaler* m_image = nullptr;

    qsizetype m_index = -1;    // the input being worked on
    Kind m_kind = Kind::Video; // its kind
    QUuid m_historyBefore;     // its model's newest history entry before it was queued
    bool m_waitingForMeta = false;
    bool m_waitingForJob = false;
    QUuid m_jobId;
    int m_failures = 0;
    int m_successes = 0;
    std::optional<int> m_stopStatus;
    bool m_finished = false;
    bool m_reported = false;
    // Repeats the stop while the job runs, so a stop that lands as the job starts is not lost.
    QTimer m_stopRepeat;
};
