#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include <QByteArray>
#include <QImage>
#include <QMap>
#include <QString>
#include <QStringList>

#include "engine/AIQuality.h"
#include "engine/EngineError.h"
#include "engine/UpscaleOptions.h"
#include "engine/VideoMeta.h"

class ChildProcess;
struct JobManifest;
class QObject;
class StopToken;
class WorkFolder;
struct StreamSegment;

// The model, output scale and tile size chosen for one AI pass.
struct ModelChoice {
    QString model;
    int scale = 4;
    int tile = 0;
    bool operator==(const ModelChoice&) const = default;
};

// What a finished child process left behind.
struct ProcessResult {
    int exitStatus = 0;
    QByteArray standardError;
};

// The one object through which the application touches ffmpeg and the Real-ESRGAN engine.
//
// Threading: the blocking operations (run*, cleanStaleTemp) are called on worker threads, never on
// the main thread. Each operation (a queued job, a preview) runs under its own StopToken, made
// current on its thread: the programs it starts are attached to that token, and a stop of one
// operation reaches only its own programs.
class UpscaleCore final {
public:
    static UpscaleCore& shared();

    // Tool locations, recomputed on every use from the per-user data folder.
    static QString toolsFolder();
    static QString ffmpeg();
    static QString realesrganBinary();
    static QString realesrganModels();
    static bool toolsInstalled();

    // The engine's own error: domain "UpscaleCore", code 1.
    static EngineError err(const QString& message) { return EngineError::engine(message); }
    // Remaining-time text: "42s", "3m 5s", or "Calculating ETA…" for NaN, infinity or negatives.
    static QString fmt(double seconds);

    // Bytes available to this user on the volume of the work folder; nullopt when unknown.
    std::optional<qint64> freeDiskBytes() const;
    // Tests substitute the figure; an empty function restores the real query.
    void setFreeDiskBytesProvider(std::function<std::optional<qint64>()> provider);

    // Removes what is left in the work folder (see WorkFolder::root) by work that ended, except
    // kept results (see WorkFolder::keep) with their markers, folders another run still uses
    // (their lock is held), loose files less than a day old (another run's result waiting to be
    // placed) and interrupted jobs that can still be resumed: those whose record is less than
    // 14 days old and whose source is still there. Nothing outside the work folder is touched.
    void cleanStaleTemp() const;
    // The two halves of cleanStaleTemp: listing is quick, removal may take long.
    static QStringList staleTempEntries();
    static void removeTempEntries(const QStringList& paths);
    // Job folders in the work folder that no running Korvane holds and that have a job record.
    static QStringList idleJobFolders();

    // True once the operation running on this thread was stopped.
    static bool isCancelled();

    // Runs ffmpeg with "-hide_banner -loglevel error" and the given arguments to completion.
    // Throws "Cancelled" after a stop, "FFmpeg failed: …" for a non-zero status. tick, when
    // given, runs every 0.4 s while ffmpeg works.
    void runFFmpegSimple(const QStringList& arguments, const std::function<void()>& tick = {});

    // Runs a program as part of this thread's operation (see StopToken) and returns its status and
    // standard error. A start failure is thrown unchanged.
    ProcessResult runTool(const QString& program, const QStringList& arguments,
                          const std::function<void()>& tick = {},
                          std::chrono::milliseconds tickInterval = std::chrono::milliseconds(400),
                          const QMap<QString, QString>& environment = {});

    // Model, scale and tile for a video or preview pass.
    static ModelChoice aiModel(AIQuality quality, qint64 targetHeight, qint64 sourceHeight);

    // One Real-ESRGAN run over a single picture. Leaves no output behind when it fails.
    void runRealESRGANImage(const QString& input, const QString& output, const QString& model,
                            int scale, const QString& format);
    // One Real-ESRGAN run over a folder of PNG frames; tick runs every 0.4 s while it works.
    // Fails unless every input frame has its output frame.
    void runRealESRGANFolder(const QString& inFolder, const QString& outFolder,
                             const ModelChoice& choice, const std::function<void()>& tick = {});

    // Shrinks a picture so its longer side is at most maxDim; smaller pictures come back unchanged.
    static QImage downsized(const QImage& picture, int maxDim);

    // Video: metadata, first-frame preview and the segmented upscale.
    using Meta = VideoMeta;
    // Fraction done (0 to 1), status text, remaining-time text (empty when there is none).
    using ProgressCallback =
        std::function<void(double fraction, const QString& status, const QString& eta)>;
    struct PreviewImages {
        QImage source;   // the first frame as decoded
        QImage upscaled; // the same frame after the AI pass, at the model's scale
    };
    // What an asynchronous preview ended with: the images, or the error.
    struct PreviewResult {
        PreviewImages images;
        std::optional<EngineError> error;
    };
    // Seconds spent in each phase of one runAI call (read by the benchmark driver).
    struct PhaseTimes {
        double extraction = 0;
        double ai = 0;
        double encoding = 0;
        double joiningAndSound = 0;
    };

    // Size, frame rate, duration and sound of a video. Blocks on the disk: worker threads only.
    static Meta loadMeta(const QString& path);
    // The first frame before and after the AI pass, each at most 2200 pixels on its longer side.
    // Blocking; runs on the preview worker thread.
    PreviewImages previewFrame(const QString& input, const UpscaleOptions& options);
    // Queues previewFrame on the preview worker thread (previews run one at a time, in the order
    // requested) and calls done on the main thread with its outcome. Called on the main thread;
    // done is dropped if receiver (when given) is destroyed first. The returned token stops this
    // preview and nothing else.
    std::shared_ptr<StopToken> previewImages(const QString& input, const UpscaleOptions& options,
                                             QObject* receiver,
                                             std::function<void(const PreviewResult&)> done);
    // Upscales a whole video segment by segment and returns the finished MP4, which the caller
    // moves away. Blocking; called on a job's worker.
    // Without a journal the result is "ai-<UUID>.mp4" in the work folder and everything else is
    // removed when it ends. With a journal the run is resumable: it works in jobFolder (the job's
    // work folder, held by the caller), keeping there a record of the plan and of every finished
    // segment, and a later run of the same job continues from the first unfinished segment. The
    // folder is kept when the run was stopped to be resumed later, when it failed after
    // finishing segments (the error says workKept), and when it succeeded: the result is then
    // "result.mp4" in the folder, on the record, until the caller has put it in place and removes
    // the folder.
    QString runAI(const QString& input, const UpscaleOptions& options,
                  const ProgressCallback& progress, PhaseTimes* times = nullptr,
                  const JobManifest* journal = nullptr, WorkFolder* jobFolder = nullptr);

    // One video segment through ffmpeg, the processor engine and ffmpeg joined by pipes, with no
    // frame files (see StreamingSegment.h). progress gets the frames upscaled so far, every 0.4 s.
    // Returns the seconds the engine spent upscaling. Throws "Cancelled" after a stop; every
    // program has ended when it returns or throws.
    double runStreamingSegment(const StreamSegment& segment,
                               const std::function<void(int frames)>& progress = {});

private:
    UpscaleCore() = default;

    mutable std::mutex m_providerMutex;
    std::function<std::optional<qint64>()> m_freeDiskProvider;
};
