#include "BatchScreens.h"

#include <QVBoxLayout>

#include "ScreenSupport.h"
#include "processing/BatchProcessor.h"
#include "processing/BulkImageProcessor.h"
#include "processing/JobQueue.h"
#include "ui/batch/BatchScreen.h"
#include "ui/batch/BatchView.h"
#include "ui/batch/BulkImageView.h"
#include "ui/shell/MediaModeBinding.h"

namespace {
using ScreenSupport::save;

// A window in the application's background colour holding one screen.
void prepare(QWidget& window, QWidget* screen)
{
    window.resize(1100, 720);
    ScreenSupport::fillAppBackground(window);
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(screen);
    window.show();
}

QList<QUrl> files(const QStringList& names)
{
    QList<QUrl> urls;
    for (const QString& name : names)
        urls.append(QUrl::fromLocalFile(QStringLiteral("/home/sam/Videos/") + name));
    return urls;
}

BatchListRow::Entry entry(const QString& name, const QString& status, double progress = 0,
                          const QString& eta = QString(), bool done = false, bool failed = false)
{
    return {QUuid::createUuid(),
            name,
            status,
            progress,
            eta,
            done ? QUrl::fromLocalFile(QStringLiteral("/home/sam/Upscaled/") + name) : QUrl(),
            failed,
            QUrl()};
}

// Takes this run's waiting jobs off the queue again, which ends their files as stopped.
void dropQueuedJobs()
{
    JobQueue& queue = JobQueue::shared();
    while (!queue.jobs().isEmpty())
        queue.remove(queue.jobs().constFirst().id);
}
} // namespace

bool renderBatchScreens(const QDir& out)
{
    // Reorder mode keeps started jobs waiting, so a started list stays "running" without work.
    JobQueue::shared().setReordering(true);
    const QUrl folder = QUrl::fromLocalFile(QDir::tempPath());
    bool ok = true;

    {
        BatchProcessor batch;
        MediaModeBinding mode;
        mode.setValue(MediaMode::Multiple);
        QWidget window;
        auto* view = new BatchView(batch, mode);
        prepare(window, view);
        ok &= save(window, out, QStringLiteral("batch-video-empty.png"));

        const QStringList names{QStringLiteral("Holiday in the mountains, day one.mov"),
                                QStringLiteral("birthday.mp4"), QStringLiteral("drone-coast.mp4"),
                                QStringLiteral("interview_take2.mkv")};
        batch.add(files(names));
        ok &= save(window, out, QStringLiteral("batch-video-listed.png"));

        // Running: the model is started; the rows show a run part-way through.
        batch.start(folder);
        view->screen()->setState({entry(names.at(0), QStringLiteral("Done"), 1, {}, true),
                                  entry(names.at(1), QStringLiteral("AI enhancing frames…"), 0.42,
                                        QStringLiteral("3m 5s left")),
                                  entry(names.at(2), QStringLiteral("Queued")),
                                  entry(names.at(3), QStringLiteral("Queued"))},
                                 true, 1);
        ok &= save(window, out, QStringLiteral("batch-video-running.png"));

        // Finished: one file stopped by the user, one that was no video.
        dropQueuedJobs();
        view->screen()->setState(
            {entry(names.at(0), QStringLiteral("Done"), 1, {}, true),
             entry(names.at(1), QStringLiteral("Stopped"), 0.42),
             entry(names.at(2), QStringLiteral("Done"), 1, {}, true),
             entry(names.at(3), QStringLiteral("Failed"), 0.1, {}, false, true)},
            false, 2);
        ok &= save(window, out, QStringLiteral("batch-video-finished.png"));
    }

    {
        BulkImageProcessor bulk;
        MediaModeBinding mode;
        mode.setValue(MediaMode::Multiple);
        QWidget window;
        auto* view = new BulkImageView(bulk, mode);
        prepare(window, view);
        ok &= save(window, out, QStringLiteral("batch-images-empty.png"));

        const QStringList names{QStringLiteral("portrait.png"), QStringLiteral("old-family.jpg"),
                                QStringLiteral("street at night.jpg"), QStringLiteral("logo.png")};
        bulk.add(files(names));
        bulk.start(folder);
        view->screen()->setState({entry(names.at(0), QStringLiteral("Done"), 0, {}, true),
                                  entry(names.at(1), QStringLiteral("Upscaling…")),
                                  entry(names.at(2), QStringLiteral("Queued")),
                                  entry(names.at(3), QStringLiteral("Queued"))},
                                 true, 1);
        ok &= save(window, out, QStringLiteral("batch-images-running.png"));
        dropQueuedJobs();
        ok &= save(window, out, QStringLiteral("batch-images-stopped.png"));
    }

    JobQueue::shared().setReordering(false);
    return ok;
}
