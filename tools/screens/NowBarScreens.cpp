#include "NowBarScreens.h"

#include <atomic>
#include <memory>
#include <thread>

#include <QApplication>
#include <QVBoxLayout>

#include "ScreenSupport.h"
#include "processing/JobQueue.h"
#include "ui/queue/JobProgressSection.h"
#include "ui/queue/NowBar.h"

namespace {
UpscaleJob waitingJob(const QString& name, const QString& icon, const QString& detail,
                      const std::shared_ptr<std::atomic<bool>>& released)
{
    UpscaleJob job;
    job.name = name;
    job.icon = icon;
    job.detail = detail;
    job.run = [released](const UpscaleJob::ProgressReporter& report) {
        report(0.42, QStringLiteral("AI enhancing frames…"), QStringLiteral("3m 5s"));
        while (!released->load())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return QString();
    };
    job.onComplete = [](const UpscaleJob::Result&) {};
    return job;
}

// A job found unfinished: what it had done, or why it can't go on.
UpscaleJob interruptedJob(const QString& name, const QString& detail, const QString& done,
                          const QString& problem = {})
{
    UpscaleJob job;
    job.name = name;
    job.icon = QStringLiteral("film");
    job.detail = detail;
    job.resumable = true;
    job.statusText = problem.isEmpty() ? done : problem;
    job.resumeProblem = problem;
    return job;
}
} // namespace

bool renderNowBarScreens(const QDir& out)
{
    auto released = std::make_shared<std::atomic<bool>>(false);
    JobQueue queue;
    QWidget window;
    window.resize(1100, 700);
    ScreenSupport::fillAppBackground(window);
    auto* column = new QVBoxLayout(&window);
    column->setContentsMargins(40, 40, 40, 40);
    column->addWidget(new JobProgressSection(queue, QStringLiteral("film"),
                                             QStringLiteral("Processing"), &window));
    column->addStretch();
    auto* bar = new NowBar(queue, &window);
    window.show();

    queue.enqueue(
        {waitingJob(QStringLiteral("Holiday in the mountains with a very long file "
                                   "name.mov"),
                    QStringLiteral("film"), QStringLiteral("4K · HEVC · Detailed"), released),
         waitingJob(QStringLiteral("portrait.png"), QStringLiteral("photo"),
                    QStringLiteral("4× · Max"), released),
         waitingJob(QStringLiteral("clip.mp4"), QStringLiteral("film"),
                    QStringLiteral("1080p · H.264 · Fast"), released),
         waitingJob(QStringLiteral("family.jpg"), QStringLiteral("photo"),
                    QStringLiteral("2× · Detailed"), released)});
    const int settleMs = 400; // the bar's animations
    bool ok = ScreenSupport::save(window, out, QStringLiteral("nowbar-collapsed.png"), settleMs);
    bar->setExpanded(true);
    ok &= ScreenSupport::save(window, out, QStringLiteral("nowbar-expanded.png"), settleMs);
    queue.setReordering(true);
    ok &= ScreenSupport::save(window, out, QStringLiteral("nowbar-reorder.png"), settleMs);
    bar->collapse();

    // Interrupted jobs below the waiting ones, then alone once the rest has finished.
    const QList<UpscaleJob> interrupted = {
        interruptedJob(QStringLiteral("Wedding reel.mp4"), QStringLiteral("4K · HEVC · Detailed"),
                       QStringLiteral("12 of 40 segments")),
        interruptedJob(QStringLiteral("drone flight over the lake.mov"),
                       QStringLiteral("1080p · H.264 · Fast"), QStringLiteral("3 of 9 segments"),
                       QStringLiteral("The video file has changed since the upscale stopped, so "
                                      "it can't be resumed."))};
    queue.restore(interrupted);
    bar->setExpanded(true);
    ok &= ScreenSupport::save(window, out, QStringLiteral("nowbar-interrupted.png"), settleMs);
    bar->collapse();
    released->store(true);
    while (queue.hasWork())
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    ok &= ScreenSupport::save(window, out, QStringLiteral("nowbar-interrupted-collapsed.png"),
                              settleMs);
    bar->setExpanded(true);
    ok &= ScreenSupport::save(window, out, QStringLiteral("nowbar-interrupted-only.png"), settleMs);
    for (const UpscaleJob& job : interrupted)
        queue.discard(job.id);
    return ok;
}
