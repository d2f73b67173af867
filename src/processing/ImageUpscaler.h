#pragma once

#include <memory>
#include <optional>

#include <QDateTime>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>
#include <QUrl>
#include <QUuid>

#include "engine/AIQuality.h"
#include "engine/EngineError.h"
#include "processing/HistoryList.h"
#include "processing/ImageHistory.h"
#include "processing/ImageJob.h"


// The model behind the single-image screen: the loaded image, the settings of the next upscale
// (quality, scale, format, matching the source's file size, colour and sharpness adjustments),
// size and time estimates, the last result, the running state of this model's jobs and the
// history of image upscales ("image-history.json").
//
// Threading: a main-thread object; every property, operation and job completion belongs to the
// main thread. Images are loaded on a worker and posted back; a job's work runs on the job queue's
// worker with values captured when it was queued, plus the model's adjustment buffers (used by one
// job at a time); history files are read and written by the shared history writer.
class ImageUpscaler final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ImageUpscaler)
    Q_PROPERTY(QUrl inputURL READ inputURL NOTIFY inputURLChanged)
    Q_PROPERTY(QString fileName READ fileName NOTIFY fileNameChanged)
    Q_PROPERTY(QString sourceInfo READ sourceInfo NOTIFY sourceInfoChanged)
    Q_PROPERTY(qint64 sourceBytes READ sourceBytes NOTIFY sourceBytesChanged)
    Q_PROPERTY(qint64 srcW READ srcW NOTIFY srcWChanged)
    Q_PROPERTY(qint64 srcH READ srcH NOTIFY srcHChanged)
    Q_PROPERTY(QImage originalImage READ originalImage NOTIFY originalImageChanged)
    Q_PROPERTY(QImage upscaledImage READ upscaledImage NOTIFY upscaledImageChanged)
    Q_PROPERTY(QString upscaledInfo READ upscaledInfo NOTIFY upscaledInfoChanged)
    Q_PROPERTY(QUrl outputURL READ outputURL NOTIFY outputURLChanged)
    Q_PROPERTY(QString savedPath READ savedPath NOTIFY savedPathChanged)
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY isRunningChanged)
    Q_PROPERTY(QString errorText READ errorText NOTIFY errorTextChanged)
    Q_PROPERTY(QString statusText READ statusText NOTIFY statusTextChanged)
    Q_PROPERTY(QString etaText READ etaText NOTIFY etaTextChanged)
    Q_PROPERTY(AIQuality quality READ quality WRITE setQuality NOTIFY qualityChanged)
    Q_PROPERTY(int scale READ scale WRITE setScale NOTIFY scaleChanged)
    Q_PROPERTY(QString format READ format WRITE setFormat NOTIFY formatChanged)
    Q_PROPERTY(
        bool matchFileSize READ matchFileSize WRITE setMatchFileSize NOTIFY matchFileSizeChanged)
    Q_PROPERTY(bool advanced READ advanced WRITE setAdvanced NOTIFY advancedChanged)
    Q_PROPERTY(double sharpness READ sharpness WRITE setSharpness NOTIFY sharpnessChanged)
    Q_PROPERTY(double brightness READ brightness WRITE setBrightness NOTIFY brightnessChanged)
    Q_PROPERTY(double contrast READ contrast WRITE setContrast NOTIFY contrastChanged)
    Q_PROPERTY(double saturation READ saturation WRITE setSaturation NOTIFY saturationChanged)
    Q_PROPERTY(bool hasSelection READ hasSelection NOTIFY hasSelectionChanged)
    Q_PROPERTY(QString estimatedSizeText READ estimatedSizeText NOTIFY estimatedSizeTextChanged)
    Q_PROPERTY(QString estimatedTimeText READ estimatedTimeText NOTIFY estimatedTimeTextChanged)
    Q_PROPERTY(QList<ImageUpscaler::HistoryEntry> history READ history WRITE setHistory NOTIFY
                   historyChanged)
    Q_PROPERTY(bool historyLoaded READ historyLoaded NOTIFY historyLoadedChanged)

public:
    // One image upscale.
    using HistoryEntry = ImageHistory::Entry;

    // Carries the produced image and its description from a job's work to its completion.
    using ResultBox = ImageJob::Outcome;

    explicit ImageUpscaler(QObject* parent = nullptr);
    ~ImageUpscaler() override;

    const QUrl& inputURL() const { return m_inputURL; }
    const QString& fileName() const { return m_fileName; }
    const QString& sourceInfo() const { return m_sourceInfo; }
    qint64 sourceBytes() const { return m_sourceBytes; }
    qint64 srcW() const { return m_srcW; }
    qint64 srcH() const { return m_srcH; }
    const QImage& originalImage() const { return m_originalImage; }
    const QImage& upscaledImage() const { return m_upscaledImage; }
    const QString& upscaledInfo() const { return m_upscaledInfo; }
    const QUrl& outputURL() const { return m_outputURL; }
    // A null string when there is no saved file.
    const QString& savedPath() const { return m_savedPath; }
    bool isRunning() const { return m_isRunning; }
    // Empty when there is no failure to show.
    const QString& errorText() const { return m_errorText; }
    const QString& statusText() const { return m_statusText; }
    const QString& etaText() const { return m_etaText; }

    AIQuality quality() const { return m_quality; }
    void setQuality(AIQuality quality);
    int scale() const { return m_scale; }
    void setScale(int scale);
    const QString& format() const { return m_format; }
    void setFormat(const QString& format);
    bool matchFileSize() const { return m_matchFileSize; }
    void setMatchFileSize(bool on);
    bool advanced() const { return m_advanced; }
    void setAdvanced(bool on);
    double sharpness() const { return m_sharpness; }
    void setSharpness(double value);
    double brightness() const { return m_brightness; }
    void setBrightness(double value);
    double contrast() const { return m_contrast; }
    void setContrast(double value);
    double saturation() const { return m_saturation; }
    void setSaturation(double value);

    bool hasSelection() const { return !m_inputURL.isEmpty() && m_srcW > 0; }
    QString estimatedSizeText() const;
    QString estimatedTimeText() const;

    const QList<HistoryEntry>& history() const { return m_history.entries(); }
    // Every assignment is saved (once the history file has been read).
    void setHistory(const QList<HistoryEntry>& entries);
    bool historyLoaded() const { return m_history.loaded(); }

    // Makes url the current image; its size and pixels are read in the background.
    void load(const QUrl& url);
    // Queues one image job with the current settings and clears the selection; does nothing
    // without an image or when the user cancels the save dialog.
    void run();
    // Forgets the loaded image and the last result's display.
    void clearSelection();
    void deleteHistory(const QSet<QUuid>& ids, bool deleteFiles);
    void clearHistory(bool deleteFiles);
    // Reads the history file again, taking in what other Korvane processes (a command line
    // beside the window) added or removed.
    void reloadHistory();

    // "12.3 MB", "999 KB", "999 B" (decimal units).
    static QString byteString(double bytes);
    // "2s", "1m 0s": the seconds rounded to the nearest whole number.
    static QString timeString(double seconds);
    // The estimates for an image of w × h pixels; "—" when w is 0.
    static QString sizeEstimate(qint64 w, qint64 h, int scale, const QString& format,
                                bool matchFileSize, qint64 sourceBytes);
    static QString timeEstimate(qint64 w, qint64 h, int scale, AIQuality quality);
    // The expected size in bytes of the saved result, as sizeEstimate shows it.
    static qint64 estimatedBytes(qint64 w, qint64 h, int scale, const QString& format,
                                 bool matchFileSize, qint64 sourceBytes);
    // The memory an upscale of a picture of size needs at its peak: the decoded result, plus the
    // working copies of the colour and sharpness adjustments when they apply.
    static qint64 memoryNeeded(const QSize& size, int scale, bool advanced);

    // Where the next result for input is written in format (its extension): next to it as
    // "<base>_upscaled.<format>" (numbered when taken), or the place chosen in the save dialog when
    // "askWhereToSave" is on; nullopt when the dialog was cancelled.
    static std::optional<QString> destinationURL(const QUrl& input, const QString& format);
    // PNG, or JPEG ("jpg") with a compression factor from 0 to 1. Throws "Could not encode image.".
    static QByteArray encode(const QImage& image, const QString& format, double quality);
    // The JPEG whose size comes closest to targetBytes by bisection of the compression factor,
    // with at most 8 encodings.
    static QByteArray encodeMatchingSize(const QImage& image, qint64 targetBytes);

    static QString historyPath();
    static QByteArray encodeHistory(const QList<HistoryEntry>& entries);
    // Fails as a whole when any entry lacks a required key or has a value of the wrong type.
    static std::optional<QList<HistoryEntry>> decodeHistory(const QByteArray& json);

Q_SIGNALS:
    void inputURLChanged();
    void fileNameChanged();
    void sourceInfoChanged();
    void sourceBytesChanged();
    void srcWChanged();
    void srcHChanged();
    void originalImageChanged();
    void upscaledImageChanged();
    void upscaledInfoChanged();
    void outputURLChanged();
    void savedPathChanged();
    void isRunningChanged();
    void errorTextChanged();
    void statusTextChanged();
    void etaTextChanged();
    void qualityChanged();
    void scaleChanged();
    void formatChanged();
    void matchFileSizeChanged();
    void advancedChanged();
    void sharpnessChanged();
    void brightnessChanged();
    void contrastChanged();
    void saturationChanged();
    void hasSelectionChanged();
    void estimatedSizeTextChanged();
    void estimatedTimeTextChanged();
    void historyChanged();
    void historyLoadedChanged();

private:
    void applyLoadedImage(quint64 generation, qint64 bytes, const QImage& image,
                          const QString& problem);
    void jobFinished(const QString& name, int scale, const ImageJob::Outcome& box,
                     const QString& location, const std::optional<EngineError>& failure);
    void countDown();
    void refreshDerived();
    void setImage(QImage& field, const QImage& value, void (ImageUpscaler::*changed)());

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
    qint64 m_sourceBytes = 0;
    qint64 m_srcW = 0;
    qint64 m_srcH = 0;
    QImage m_originalImage;
    QImage m_upscaledImage;
    QString m_upscaledInfo;
    QUrl m_outputURL;
    QString m_savedPath;
    bool m_isRunning = false;
    QString m_errorText;
    QString m_statusText;
    QString m_etaText;
    AIQuality m_quality = AIQuality::Detailed;
    int m_scale = 4;
    QString m_format;
    bool m_matchFileSize = false;
    bool m_advanced = false;
    double m_sharpness = 0;
    double m_brightness = 0;
    double m_contrast = 1.0;
    double m_saturation = 1.0;
    HistoryList<HistoryEntry> m_history;

    // The last values announced for the derived properties.
    bool m_lastHasSelection = false;
    QString m_lastSizeText;
    QString m_lastTimeText;

    // Created once and reused by every job; a job holds it weakly, which also tells it whether
    // the model still exists.
    int m_outstanding = 0;
    quint64 m_loadGeneration = 0;
};
