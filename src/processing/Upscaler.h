#pragma once

#include <optional>

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUrl>
#include <QUuid>

#include "engine/AIQuality.h"
#include "engine/SystemAdvisor.h"
#include "engine/VideoMeta.h"
#include "processing/HistoryList.h"
#include "processing/VideoHistory.h"
#include "processing/VideoJob.h"

// The model behind the single-video screen: the loaded video and what is known about it, the
// settings of the next upscale with the recommendation, the storage estimate, the running state
// of this model's jobs and the history of finished video upscales ("history.json").
//
// Threading: a main-thread object; every property, operation and job completion belongs to the
// main thread. Metadata is read on a worker and posted back; a job's work runs on the job queue's
// worker with values captured when it was queued; history files are read and written by the
// shared history writer.
class Upscaler final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Upscaler)
    Q_PROPERTY(QUrl inputURL READ inputURL NOTIFY inputURLChanged)
    Q_PROPERTY(QString fileName READ fileName NOTIFY fileNameChanged)
    Q_PROPERTY(QString sourceInfo READ sourceInfo NOTIFY sourceInfoChanged)
    Q_PROPERTY(qint64 srcW READ srcW NOTIFY srcWChanged)
    Q_PROPERTY(qint64 srcH READ srcH NOTIFY srcHChanged)
    Q_PROPERTY(double srcDuration READ srcDuration NOTIFY srcDurationChanged)
    Q_PROPERTY(bool playable READ playable NOTIFY playableChanged)
    Q_PROPERTY(
        qint64 targetHeight READ targetHeight WRITE setTargetHeight NOTIFY targetHeightChanged)
    Q_PROPERTY(QString codec READ codec WRITE setCodec NOTIFY codecChanged)
    Q_PROPERTY(AIQuality quality READ quality WRITE setQuality NOTIFY qualityChanged)
    Q_PROPERTY(QString recommendationText READ recommendationText NOTIFY recommendationTextChanged)
    Q_PROPERTY(bool advancedPreview READ advancedPreview WRITE setAdvancedPreview NOTIFY
                   advancedPreviewChanged)
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY isRunningChanged)
    Q_PROPERTY(QUrl outputURL READ outputURL NOTIFY outputURLChanged)
    Q_PROPERTY(QString errorText READ errorText WRITE setErrorText NOTIFY errorTextChanged)
    Q_PROPERTY(QString loadProblem READ loadProblem NOTIFY loadProblemChanged)
    Q_PROPERTY(QString noticeText READ noticeText NOTIFY noticeTextChanged)
    Q_PROPERTY(
        QString estimatedStorageText READ estimatedStorageText NOTIFY estimatedStorageTextChanged)
    Q_PROPERTY(QString estimatedTimeText READ estimatedTimeText NOTIFY estimatedTimeTextChanged)
    Q_PROPERTY(
        QList<Upscaler::HistoryEntry> history READ history WRITE setHistory NOTIFY historyChanged)
    Q_PROPERTY(bool historyLoaded READ historyLoaded NOTIFY historyLoadedChanged)

public:
    // One finished video upscale.
    using HistoryEntry = VideoHistory::Entry;

    explicit Upscaler(QObject* parent = nullptr);
    ~Upscaler() override;

    const QUrl& inputURL() const { return m_inputURL; }
    const QString& fileName() const { return m_fileName; }
    const QString& sourceInfo() const { return m_sourceInfo; }
    qint64 srcW() const { return m_srcW; }
    qint64 srcH() const { return m_srcH; }
    double srcDuration() const { return m_srcDuration; }
    // True while the loaded file may be played (from load until it is refused or cleared); the
    // screen makes its own player for it.
    bool playable() const { return m_playable; }
    qint64 targetHeight() const { return m_targetHeight; }
    void setTargetHeight(qint64 height);
    const QString& codec() const { return m_codec; }
    void setCodec(const QString& codec);
    AIQuality quality() const { return m_quality; }
    void setQuality(AIQuality quality);
    const QString& recommendationText() const { return m_recommendationText; }
    bool advancedPreview() const { return m_advancedPreview; }
    void setAdvancedPreview(bool on);
    bool isRunning() const { return m_isRunning; }
    const QUrl& outputURL() const { return m_outputURL; }
    // Empty when there is no failure to show.
    const QString& errorText() const { return m_errorText; }
    // Shows a failure the model did not meet itself (the screen's first-frame preview).
    void setErrorText(const QString& message);
    // Why the loaded file can't be upscaled ("“clip.mp4” is empty."); empty while it is being
    // read and once it has been read as a video.
    const QString& loadProblem() const { return m_loadProblem; }
    // True once the loaded file has been read as a video.
    bool readyToUpscale() const { return !m_inputURL.isEmpty() && m_srcH > 0; }
    // A neutral line about the last job ("Stopped") or the screen's last action ("Saved a copy
    // as …"), empty otherwise.
    const QString& noticeText() const { return m_noticeText; }
    void setNoticeText(const QString& text);
    QString estimatedStorageText() const;
    // "Takes about 12 min on this computer" for the loaded video with the chosen options, from
    // the speed of earlier jobs of that quality; empty when there is nothing to go by.
    QString estimatedTimeText() const;
    const QList<HistoryEntry>& history() const { return m_history.entries(); }
    // Every assignment is saved (once the history file has been read).
    void setHistory(const QList<HistoryEntry>& entries);
    // True once the history file has been read.
    bool historyLoaded() const { return m_history.loaded(); }

    // Makes url the current video and reads its size and duration in the background; a file
    // that can't be read as a video is refused with loadProblem, and nothing is recorded.
    void load(const QUrl& url);
    // Queues one video job with these settings and clears the screen; does nothing when the user
    // cancels the save dialog or when input is the loaded file and it was refused.
    void upscale(const QUrl& input, qint64 targetHeight, const QString& codec, AIQuality quality);
    // Forgets the loaded video; settings, the last output and the history stay.
    void clearSelection();
    // Removes the entries with these ids, and their files when deleteFiles is set.
    void deleteHistory(const QSet<QUuid>& ids, bool deleteFiles);
    // Empties the history, removing every output file first when deleteFiles is set.
    void clearHistory(bool deleteFiles);
    // Reads the history file again, taking in what other Korvane processes (a command line
    // beside the window) added or removed.
    void reloadHistory();

    // A job left unfinished by an earlier run (its work folder and record), for the queue to
    // list as Interrupted; resumed, it reports here like any other video job.
    UpscaleJob interruptedJob(const QString& folder, const JobJournal::Decoded& record);

    // Where the next upscale of input is written: next to it as "<base>_upscaled.mp4" (numbered
    // when taken), or the place chosen in the save dialog when "askWhereToSave" is on; nullopt
    // when the dialog was cancelled.
    static std::optional<QString> videoDestination(const QUrl& input);
    // "Needs ~N GB free · 4K · H.265", or empty when there is nothing to upscale.
    // The expected size in bytes of the finished video; 0 when the duration is unknown.
    static qint64 estimatedOutputBytes(double duration, qint64 targetHeight, const QString& codec);
    static QString storageEstimate(qint64 srcW, qint64 srcH, double duration, qint64 targetHeight,
                                   const QString& codec);
    // "1920×1080 · landscape · 12.3s".
    static QString describe(qint64 width, qint64 height, double seconds);

    // The history file and its encoding: a compact JSON array, newest first.
    static QString historyPath();
    static QByteArray encodeHistory(const QList<HistoryEntry>& entries);
    // Fails as a whole when any entry lacks a required key or has a value of the wrong type.
    static std::optional<QList<HistoryEntry>> decodeHistory(const QByteArray& json);

Q_SIGNALS:
    void inputURLChanged();
    void fileNameChanged();
    void sourceInfoChanged();
    void srcWChanged();
    void srcHChanged();
    void srcDurationChanged();
    void playableChanged();
    void targetHeightChanged();
    void codecChanged();
    void qualityChanged();
    void recommendationTextChanged();
    void advancedPreviewChanged();
    void isRunningChanged();
    void outputURLChanged();
    void errorTextChanged();
    void loadProblemChanged();
    void noticeTextChanged();
    void estimatedStorageTextChanged();
    void estimatedTimeTextChanged();
    void historyChanged();
    void historyLoadedChanged();

private:
    void applyMeta(quint64 generation, const std::optional<VideoMeta>& meta, const QString& problem,
                   const UpscaleRecommendation& recommendation);
    void jobFinished(const QString& name, qint64 targetHeight, AIQuality quality, double duration,
                     const QString& location, const std::optional<EngineError>& failure);
    void jobRemoved();
    VideoJob::Hooks jobHooks(const JobManifest& manifest);
    void countDown();
    void setPlayable(bool playable);
    void refreshEstimate();

    template <typename T, typename Signal> void assign(T& field, const T& value, Signal changed)
    {
        if (field == value)
            return;
        field = value;
        Q_EMIT(this->*changed)();
    }

    QUrl m_inputURL;
    QString m_fileName;
    QString m_sourceInfo;
    qint64 m_srcW = 0;
    qint64 m_srcH = 0;
    double m_srcDuration = 0;
    bool m_playable = false;
    qint64 m_targetHeight = 2160;
    QString m_codec;
    AIQuality m_quality = AIQuality::Detailed;
    QString m_recommendationText;
    bool m_advancedPreview = false;
    bool m_isRunning = false;
    QUrl m_outputURL;
    QString m_errorText;
    QString m_loadProblem;
    QString m_noticeText;
    QString m_lastEstimate;
    QString m_lastTimeEstimate;
    double m_srcFps = 0;
    HistoryList<HistoryEntry> m_history;

    // The recommendation sets the options once, for the first video, and never over the user's
    // own choice.
    bool m_recommendationApplied = false;
    bool m_userChoseOptions = false;
    int m_outstanding = 0;
    // Bumped by every load and clearSelection, so metadata of a file no longer shown is dropped.
    quint64 m_loadGeneration = 0;
};
