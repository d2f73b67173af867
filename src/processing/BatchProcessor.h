#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QUuid>

#include "engine/UpscaleOptions.h"
#include "processing/UpscaleJob.h"

class QDir;

// One video of a batch, as the batch list shows it.
struct BatchItem {
    QUuid id = QUuid::createUuid(); // identity of the item (not of its job)
    QUrl url;                       // the source video
    // "Queued", then the engine's phase text while running, then "Done", "Failed" or "Stopped".
    QString status = QStringLiteral("Queued");
    double progress = 0.0; // fraction done, 0 to 1
    QString eta;           // remaining-time text reported by the engine
    QUrl outputURL;        // the written file after success; empty until then
    QUrl keptURL;          // a finished result kept in the temporary folder after a failed save
    bool failed = false;   // the job failed for a reason other than a stop by the user

    bool operator==(const BatchItem&) const = default;
};

// The model behind the multiple-video screen: a list of videos, one set of options, and one
// queued job per video when started. Keeps no history and posts no notifications.
//
// Threading: lives on the main thread, and every public operation is called there. A job's work
// runs on the queue's worker with values captured at start; it reaches the items only by posting
// to the main thread. The work's posts, the completions and the removal actions hold the
// processor weakly, so they do nothing once it is gone.
class BatchProcessor final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BatchProcessor)
    Q_PROPERTY(QList<BatchItem> items READ items NOTIFY itemsChanged)
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY isRunningChanged)
    Q_PROPERTY(UpscaleOptions options READ options WRITE setOptions NOTIFY optionsChanged)
    Q_PROPERTY(int completedCount READ completedCount NOTIFY itemsChanged)

public:
    explicit BatchProcessor(QObject* parent = nullptr);

    // The videos of the batch, in the order they were added.
    const QList<BatchItem>& items() const { return m_items; }
    // A started batch still has jobs whose completion has not been processed.
    bool isRunning() const { return m_running; }
    // The settings used for every video of the next start.
    const UpscaleOptions& options() const { return m_options; }
    void setOptions(const UpscaleOptions& options);
    // The number of items that have an output.
    int completedCount() const;
    // This batch's jobs that have neither completed nor been removed from the queue.
    int outstanding() const { return m_outstanding; }

    // Appends one item per URL that is not already listed, in the given order; duplicates are
    // dropped silently. Items added while a batch runs wait for the next start.
    void add(const QList<QUrl>& urls);
    // Empties the list, or removes one item; both do nothing while a batch runs.
    void clear();
    void removeItem(const QUuid& id);

    // Queues one job per item, writing "<base>_<height>p.mp4" into folder, numbered when the
    // name is taken ("<base>_<height>p_1.mp4"). Does nothing while a batch runs or when the list
    // is empty. A folder that cannot be written ends every item as failed, with the reason as
    // its status, and queues nothing.
    void start(const QUrl& folder);

Q_SIGNALS:
    void itemsChanged();
    void isRunningChanged(bool isRunning);
    void optionsChanged();

private:
    void updateItem(const QUuid& id, const QString& status, double progress, const QString& eta);
    void finishItem(const QUuid& id, const QString& status, bool failed, const QUrl& output,
                    const QString& kept = {});
    UpscaleJob jobFor(const BatchItem& item, const QDir& folder, const UpscaleOptions& options);
    // kept: where a finished result was kept after a failed save, or empty.
    void complete(const QUuid& id, const UpscaleJob::Result& result, const QString& kept = {});
    void setRunning(bool running);
    qsizetype indexOf(const QUuid& id) const;

    QList<BatchItem> m_items;
    bool m_running = false;
    UpscaleOptions m_options;
    int m_outstanding = 0;
};
