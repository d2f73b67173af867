#include "engine/PreviewService.h"

#include <exception>

#include <pthread.h>

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QMetaObject>
#include <QPointer>

#include "engine/FFmpegCommands.h"
#include "engine/ImageFile.h"
#include "engine/UpscaleCore.h"
#include "engine/WorkFolder.h"

PreviewService::PreviewService()
{
    m_thread = std::thread([this] { run(); });
}

PreviewService::~PreviewService()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_queue.clear();
        if (m_running)
            m_running->stop();
    }
    m_wake.notify_all();
    m_thread.join();
}

PreviewService& PreviewService::shared()
{
    // Destroyed when the process exits, which joins the worker thread.
    static PreviewService service;
    return service;
}

void PreviewService::post(std::function<void()> work, std::shared_ptr<StopToken> token)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping)
            return;
        m_queue.push_back(Item{std::move(work), std::move(token)});
    }
    m_wake.notify_one();
}

void PreviewService::run()
{
    pthread_setname_np(pthread_self(), "korvane.preview");
    for (;;) {
        Item item;
        {
            std::unique_lock lock(m_mutex);
            m_running.reset();
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_stopping)
                return;
            item = std::move(m_queue.front());
            m_queue.pop_front();
            m_running = item.token;
        }
        const StopToken::Scope scope(item.token);
        item.work();
    }
}

UpscaleCore::PreviewImages UpscaleCore::previewFrame(const QString& input,
                                                     const UpscaleOptions& options)
{
    if (!toolsInstalled())
        throw err(QStringLiteral("Engine is not installed."));
    const Meta meta = loadMeta(input);

    const WorkFolder work(QStringLiteral("prev-"));
    const QString inFolder = work.filePath(QStringLiteral("in"));
    const QString outFolder = work.filePath(QStringLiteral("out"));
    WorkFolder::makeFolder(inFolder);
    WorkFolder::makeFolder(outFolder);

    runFFmpegSimple(FFmpegCommands::previewFrame(input, inFolder, meta));
    // Both frames are read at the size shown, with a memory allowance that fits a 4× frame.
    const QImage source = ImageFile::read(inFolder + QStringLiteral("/frame_00000001.png"), 2200);
    if (source.isNull())
        throw err(QStringLiteral("Could not read preview frame."));

    const ModelChoice choice =
        aiModel(options.quality, options.targetHeight, meta.displayShortSide());
    runRealESRGANFolder(inFolder, outFolder, choice);
    const QImage upscaled =
        ImageFile::read(outFolder + QStringLiteral("/frame_00000001.png"), 2200);
    if (upscaled.isNull())
        throw err(QStringLiteral("Could not read upscaled preview frame."));

    return PreviewImages{downsized(source, 2200), downsized(upscaled, 2200)};
}

std::shared_ptr<StopToken> UpscaleCore::previewImages(
    const QString& input, const UpscaleOptions& options, QObject* receiver,
    std::function<void(const PreviewResult&)> done)
{
    const bool guarded = receiver != nullptr;
    QPointer<QObject> guard(receiver);
    auto token = std::make_shared<StopToken>();
    PreviewService::shared().post([this, input, options, guarded, guard, done = std::move(done)] {
        PreviewResult result;
        try {
            result.images = previewFrame(input, options);
        } catch (const EngineError& error) {
            result.error = error;
        } catch (const std::exception& error) {
            result.error = err(QString::fromLocal8Bit(error.what()));
        }
        // The application object lives on the main thread for the whole run; the receiver is
        // checked there, where it is destroyed.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [guarded, guard, done, result] {
                if (!guarded || guard)
                    done(result);
            },
            Qt::QueuedConnection);
    }, token);
    return token;
}
