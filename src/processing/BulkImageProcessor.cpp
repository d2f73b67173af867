#include "processing/BulkImageProcessor.h"

#include <algorithm>
#include <memory>
#include <utility>

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QThread>

#include "engine/ImageFile.h"
#include "engine/UpscaleCore.h"
#include "engine/WorkFolder.h"
#include "processing/ImageJob.h"
#include "processing/JobQueue.h"
#include "processing/MissingTools.h"
#include "processing/OutputFile.h"
#include "processing/OutputNaming.h"

namespace {

bool onMainThread(const QObject* object)
{
    return QThread::currentThread() == object->thread();
}

} // namespace

BulkImageProcessor::BulkImageProcessor(QObject* parent) : QObject(parent) {}

void BulkImageProcessor::setQuality(AIQuality quality)
{
    Q_ASSERT(onMainThread(this));
    if (m_quality == quality)
        return;
    m_quality = quality;
    Q_EMIT qualityChanged();
}

void BulkImageProcessor::setScale(int scale)
{
    Q_ASSERT(onMainThread(this));
    if (m_scale == scale)
        return;
    m_scale = scale;
    Q_EMIT scaleChanged();
}

void BulkImageProcessor::setFormat(const QString& format)
{
    Q_ASSERT(onMainThread(this));
    if (m_format == format)
        return;
    m_format = format;
    Q_EMIT formatChanged();
}

int BulkImageProcessor::completedCount() const
{
    return int(std::count_if(m_items.cbegin(), m_items.cend(),
                             [](const BulkImageItem& item) { return !item.outputURL.isEmpty(); }));
}

void BulkImageProcessor::add(const QList<QUrl>& urls)
{
    Q_ASSERT(onMainThread(this));
    const qsizetype before = m_items.size();
    for (const QUrl& url : urls) {
        if (std::none_of(m_items.cbegin(), m_items.cend(),
                         [&url](const BulkImageItem& item) { return item.url == url; })) {
            BulkImageItem item;
            item.url = url;
            m_items.append(item);
        }
    }
    if (m_items.size() != before)
        Q_EMIT itemsChanged();
}

void BulkImageProcessor::clear()
{
    Q_ASSERT(onMainThread(this));
    if (m_running || m_items.isEmpty())
        return;
    m_items.clear();
    Q_EMIT itemsChanged();
}

void BulkImageProcessor::removeItem(const QUuid& id)
{
    Q_ASSERT(onMainThread(this));
    const qsizetype index = indexOf(id);
    if (m_running || index < 0)
        return;
    m_items.removeAt(index);
    Q_EMIT itemsChanged();
}

void BulkImageProcessor::start(const QUrl& folder)
{
    Q_ASSERT(onMainThread(this));
    if (m_running || m_items.isEmpty())
        return;
    // The folder is checked before any work: a problem ends every item at once, with its reason.
    if (const auto problem =
            OutputFile::folderProblem(folder.toLocalFile(), QStringLiteral("images"))) {
        OutputFile::failEvery(m_items, *problem);
        Q_EMIT itemsChanged();
        return;
    }
    setRunning(true);
    const AIQuality quality = m_quality;
    const int scale = m_scale;
    const QString fmt = m_format;
    const QString detail =
        QString::number(scale) + QStringLiteral("× · ") + AIQualities::label(quality);
    const QString destinationFolder = folder.toLocalFile();
    m_outstanding = int(m_items.size());

    for (BulkImageItem& item : m_items) {
        item.status = QStringLiteral("Queued");
        item.outputURL.clear();
        item.keptURL.clear();
        item.failed = false;
    }
    Q_EMIT itemsChanged();

    QList<UpscaleJob> jobs;
    jobs.reserve(m_items.size());
    // Shared rather than copied into each action: the guard is only read on the main thread.
    const auto self = std::make_shared<const QPointer<BulkImageProcessor>>(this);
    for (const BulkImageItem& item : std::as_const(m_items)) {
        const QUuid itemId = item.id;
        const QString input = item.url.toLocalFile();
        const QString fileName = QFileInfo(input).fileName();
        // Each name is taken for this run, so "a.png" and "a.jpg" get "a_upscaled.png" and
        // "a_upscaled_1.png", and no other job is given either while they wait.
        ImageJob::Settings settings;
        settings.input = input;
        settings.destination = OutputNaming::firstFreePath(
            destinationFolder, OutputNaming::baseName(fileName) + QStringLiteral("_upscaled"), fmt);
        settings.quality = quality;
        settings.scale = scale;
        settings.format = fmt;
        UpscaleJob job = ImageJob::make(
            settings, fileName, detail,
            [self, itemId](const UpscaleJob::Result& result, const ImageJob::Outcome& outcome) {
                if (*self)
                    (*self)->complete(itemId, result, outcome.keptPath);
            },
            // A waiting job taken off the queue never runs: its image counts as stopped.
            [self, itemId] {
                if (*self)
                    (*self)->complete(itemId,
                                      UpscaleJob::Result::failure(EngineError::cancelled()));
            });
        // The row says when its own picture is being worked on. Posted to the application
        // object, which outlives the processor; the guard is read on the main thread.
        job.run = [work = job.run, self, itemId](const UpscaleJob::ProgressReporter& report) {
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [self, itemId] {
                    if (*self)
                        (*self)->updateItem(itemId, QStringLiteral("Upscaling…"));
                },
                Qt::QueuedConnection);
            return work(report);
        };
        jobs.append(job);
    }
    JobQueue::shared().enqueue(jobs);
}

void BulkImageProcessor::updateItem(const QUuid& id, const QString& status)
{
    const qsizetype index = indexOf(id);
    if (index < 0)
        return;
    m_items[index].status = status;
    Q_EMIT itemsChanged();
}

void BulkImageProcessor::finishItem(const QUuid& id, const QString& status, bool failed,
                                    const QUrl& output, const QString& kept)
{
    const qsizetype index = indexOf(id);
    if (index < 0)
        return;
    BulkImageItem& item = m_items[index];
    item.status = status;
    item.failed = failed;
    item.keptURL = kept.isEmpty() ? QUrl() : QUrl::fromLocalFile(kept);
    item.outputURL = output;
    Q_EMIT itemsChanged();
}

void BulkImageProcessor::complete(const QUuid& id, const UpscaleJob::Result& result,
                                  const QString& kept)
{
    if (result.succeeded())
        finishItem(id, QStringLiteral("Done"), false, QUrl::fromLocalFile(result.location));
    else if (result.cancelled())
        finishItem(id, QStringLiteral("Stopped"), false, {});
    else if (result.error->domain() == QLatin1String("OutputFile"))
        finishItem(id, result.error->message(), true, {}, kept); // says where the result is
    else
        finishItem(id, QStringLiteral("Failed"), true, {});
    --m_outstanding;
    if (m_outstanding <= 0)
        setRunning(false);
}

void BulkImageProcessor::setRunning(bool running)
{
    if (m_running == running)
        return;
    m_running = running;
    Q_EMIT isRunningChanged(running);
}

qsizetype BulkImageProcessor::indexOf(const QUuid& id) const
{
    const auto found = std::find_if(m_items.cbegin(), m_items.cend(),
                                    [&id](const BulkImageItem& item) { return item.id == id; });
    return found == m_items.cend() ? -1 : qsizetype(found - m_items.cbegin());
}
