#include "app/WorkRestore.h"

#include <QCoreApplication>
#include <QList>
#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>

#include "engine/JobJournal.h"
#include "engine/UpscaleCore.h"
#include "processing/JobQueue.h"
#include "processing/Upscaler.h"

namespace WorkRestore {

void start(Upscaler& video, JobQueue& queue)
{
    QPointer<Upscaler> model(&video);
    QPointer<JobQueue> target(&queue);
    (void)QtConcurrent::run([model, target] {
        UpscaleCore::removeTempEntries(UpscaleCore::staleTempEntries());
        struct Found {
            QString folder;
            JobJournal::Decoded record;
        };
        QList<Found> found;
        for (const QString& folder : UpscaleCore::idleJobFolders())
            found.append(Found{folder, JobJournal::inspect(folder)});
        if (found.isEmpty())
            return;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [model, target, found] {
                if (!model || !target)
                    return;
                QList<UpscaleJob> jobs;
                for (const Found& entry : found)
                    jobs.append(model->interruptedJob(entry.folder, entry.record));
                target->restore(jobs);
            },
            Qt::QueuedConnection);
    });
}

} // namespace WorkRestore
