#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QUuid>

#include "engine/AIQuality.h"
#include "processing/UpscaleJob.h"

// One image of a bulk run, as the list shows it.
struct BulkImageItem {
    QUuid id = QUuid::createUuid(); // identity of the item (not of its job)
    QUrl url;                       // the source image
    // "Queued", "Upscaling…", then "Done", "Failed" or "Stopped".
    QString status = QStringLiteral("Queued");
    QUrl outputURL;      // the written file after success; empty until then
    QUrl keptURL;        // a finished result kept in the temporary folder after a failed save
    bool failed = false; // the job failed for a reason other than a stop by the user

    bool operator==(const BulkImageItem&) const = default;
};

// The model behind the multiple-image screen: a list of images, one quality, scale and output
// format, and one queued job per image when started. Each job lets the engine write its
// destination directly. Keeps no history and posts no notifications.
//
// Threading: lives on the main thread, and every public operation is called there. A job's work
// runs on the queue's worker with values captured at start; it reaches the items only by posting
// to the main thread. The work's posts, the completions and the removal actions hold the
// processor weakly, so they do nothing once it is gone.
class BulkImageProcessor final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BulkImageProcessor)
    Q_PROPERTY(QList<BulkImageItem> items READ items NOTIFY itemsChanged)
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY isRunningChanged)
    Q_PROPERTY(AIQuality quality READ quality WRITE setQuality NOTIFY qualityChanged)
    Q_PROPERTY(int scale READ scale WRITE setScale NOTIFY scaleChanged)
    Q_PROPERTY(QString format READ format WRITE setFormat NOTIFY formatChanged)
    Q_PROPERTY(int completedCount READ completedCount NOTIFY itemsChanged)

public:
    explicit BulkImageProcessor(QObject* parent = nullptr);

    // The images, in the order they were added.
    const QList<BulkImageItem>& items() const { return m_items; }
    // A started run still has jobs whose completion has not been processed.
    bool isRunning() const { return m_running; }
    // The AI quality for every image of the next start.
    AIQuality quality() const { return m_quality; }
    void setQuality(AIQuality quality);
    // The scale factor; the screen offers 2, 3 and 4.
    int scale() const { return m_scale; }
    void setScale(int scale);
    // Output format and file extension: "png" or "jpg".
    const QString& format() const { return m_format; }
    void setFormat(const QString& format);
    // The number of items that have an output.
    int completedCount() const;
    // This run's jobs that have neither completed nor been removed from the queue.
    int outstanding() const { return m_outstanding; }

    // Appends one item per URL that is not already listed, in the given order; duplicates are
    // dropped silently. Items added while a run goes on wait for the next start.
    void add(const QList<QUrl>& urls);
    // Empties the list, or removes one item; both do nothing while a run goes on.
    void clear();
    void removeItem(const QUuid& id);

    // Queues one job per item, writing "<base>_upscaled.<format>" into folder, or the first
    // "<base>_upscaled_<n>.<format>" that neither exists nor is taken by another job. Does nothing
    // while a run goes on or when the list is empty. A folder that cannot be written ends every
    // item as failed, with the reason as its status, and queues nothing.
    void start(const QUrl& folder);

Q_SIGNALS:
    void itemsChanged();
    void isRunningChanged(bool isRunning);
    void qualityChanged();
    void scaleChanged();
    void formatChanged();

private:
    void updateItem(const QUuid& id, const QString& status);
    void finishItem(const QUuid& id, const QString& status, bool failed, const QUrl& output,
                    const QString& kept = {});
    // kept: where a finished result was kept after a failed save, or empty.
    void complete(const QUuid& id, const UpscaleJob::Result& result, const QString& kept = {});
    void setRunning(bool running);
    qsizetype indexOf(const QUuid& id) const;

    QList<BulkImageItem> m_items;
    bool m_running = false;
    AIQuality m_quality = AIQuality::Detailed;
    int m_scale = 4;
    QString m_format = QStringLiteral("png");
    int m_outstanding = 0;
};
