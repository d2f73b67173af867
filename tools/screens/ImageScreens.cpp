#include "ImageScreens.h"

#include <atomic>
#include <memory>

#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>

#include "ScreenSupport.h"
#include "processing/BulkImageProcessor.h"
#include "processing/ImageUpscaler.h"
#include "processing/JobQueue.h"
#include "ui/account/LoginView.h"
#include "ui/components/HistoryCard.h"
#include "ui/components/ToggleSwitch.h"
#include "ui/image/ImageControlPane.h"
#include "ui/image/ImageResultArea.h"
#include "ui/image/ImageUpscaleView.h"
#include "ui/shell/MediaModeBinding.h"

namespace {
using ScreenSupport::settle;
using ScreenSupport::settleUntil;

const QSize kScreenSize(1100, 720);

bool grab(QWidget& widget, const QDir& out, const QString& name)
{
    return ScreenSupport::save(widget, out, name, 250);
}

// The screen with its own models, shown at the render size, once its example pair has been read.
struct Screen {
    ImageUpscaler upscaler;
    BulkImageProcessor bulk;
    MediaModeBinding mode;
    ImageUpscaleView view{upscaler, bulk, mode};
    bool samplesRead = false;

    Screen()
    {
        QObject::connect(&view, &ImageUpscaleView::samplesLoaded, &view,
                         [this] { samplesRead = true; });
        view.resize(kScreenSize);
        view.show();
        settleUntil([&] { return samplesRead && upscaler.historyLoaded(); });
    }

    void load(const QString& path)
    {
        upscaler.load(QUrl::fromLocalFile(path));
        settleUntil([this] { return upscaler.hasSelection(); });
    }
};

ImageUpscaler::HistoryEntry entry(const QString& name, qint64 scale,
                                  const std::optional<QString>& saved, int minutesAgo)
{
    ImageUpscaler::HistoryEntry e;
    e.id = QUuid::createUuid();
    e.name = name;
    e.date = QDateTime::currentDateTimeUtc().addSecs(-60 * minutesAgo);
    e.scale = scale;
    e.success = saved.has_value();
    e.savedPath = saved;
    if (!saved)
        e.error = QStringLiteral("Real-ESRGAN failed (status 1): vkCreateInstance failed");
    return e;
}

// A few finished upscales; the files of the first two exist, so they get a reveal button.
QList<ImageUpscaler::HistoryEntry> sampleHistory(const QString& existing, const QString& moved)
{
    return {entry(QStringLiteral("Woman_looking_up.jpeg"), 4, existing, 3),
            entry(QStringLiteral("harbour-at-dusk.png"), 2, moved, 40),
            entry(QStringLiteral("scan-1987-family.jpg"), 3, std::nullopt, 95),
            entry(QStringLiteral("product-shot-03.webp"), 4,
                  QDir::homePath() + QStringLiteral("/Pictures/product-shot-03_upscaled.png"),
                  300)};
}
} // namespace

bool renderImageScreens(const QDir& out)
{
    bool ok = true;
    const std::optional<QImage> original =
        LoginView::bundleImage(QStringLiteral("Woman_looking_up"), QStringLiteral("jpeg"));
    const std::optional<QImage> upscaled =
        LoginView::bundleImage(QStringLiteral("Woman_looking_up_upscaled"), QStringLiteral("png"));
    QTemporaryDir pictures;
    const QString source = pictures.filePath(QStringLiteral("Woman_looking_up.jpeg"));
    const QString saved = pictures.filePath(QStringLiteral("Woman_looking_up_upscaled.png"));
    if (!original || !upscaled || !original->save(source) || !upscaled->save(saved)) {
        qWarning("image screens: the sample pictures are missing");
        return false;
    }

    {
        // Samples missing: the prompt.
        const QByteArray resources = qgetenv("KORVANE_RESOURCES");
        QTemporaryDir empty;
        qputenv("KORVANE_RESOURCES", QFile::encodeName(empty.path()));
        Screen screen;
        ok &= grab(screen.view, out, QStringLiteral("image-prompt.png"));
        qputenv("KORVANE_RESOURCES", resources);
    }
    {
        Screen screen;
        ok &= grab(screen.view, out, QStringLiteral("image-example.png"));

        // An image loaded, with a history.
        screen.upscaler.setHistory(sampleHistory(saved, pictures.filePath(QStringLiteral("x"))));
        screen.view.refreshSavedFiles();
        screen.load(source);
        ok &= grab(screen.view, out, QStringLiteral("image-loaded.png"));

        // Matching the file size (format greyed), the adjustments open, two rows selected.
        ImageControlPane* pane = screen.view.controlPane();
        pane->matchSwitch()->click();
        pane->advancedSwitch()->click();
        screen.upscaler.setSharpness(0.6);
        screen.upscaler.setSaturation(1.2);
        QTableWidget* table = screen.view.historyCard()->table();
        for (int row : {0, 2})
            table->selectionModel()->select(table->model()->index(row, 0),
                                            QItemSelectionModel::Select |
                                                QItemSelectionModel::Rows);
        ok &= grab(screen.view, out, QStringLiteral("image-options.png"));
    }
    {
        // A finished result compared with its source, as the screen shows it once the job that
        // was queued from it has ended and nothing else is loaded.
        Screen screen;
        screen.upscaler.setHistory(sampleHistory(saved, pictures.filePath(QStringLiteral("x"))));
        screen.view.refreshSavedFiles();
        settle(300);
        screen.view.resultArea()->setContent(*original, *upscaled, {}, {}, {});
        screen.view.controlPane()->setSavedPath(saved);
        ok &= grab(screen.view, out, QStringLiteral("image-result-slider.png"));
        screen.view.resultArea()->setCompareMode(ImageCompareMode::SideBySide);
        ok &= grab(screen.view, out, QStringLiteral("image-result-side-by-side.png"));
    }
    {
        // Another image job holds the queue: this screen's upscale waits behind it, and a further
        // image can be added to the queue. The tools are not installed here, so the waiting job
        // then fails, which shows the error line.
        Screen screen;
        auto release = std::make_shared<std::atomic<bool>>(false);
        UpscaleJob holder;
        holder.name = QStringLiteral("harbour-at-dusk.png");
        holder.icon = QStringLiteral("photo");
        holder.detail = QStringLiteral("4× · Detailed");
        holder.run = [release](const UpscaleJob::ProgressReporter& report) {
            report(0.42, QStringLiteral("Upscaling…"), QStringLiteral("~12s"));
            QElapsedTimer waited;
            waited.start();
            while (!*release && waited.elapsed() < 30000)
                QThread::msleep(20);
            return QString();
        };
        holder.onComplete = [](const UpscaleJob::Result&) {};
        JobQueue::shared().enqueue({holder});
        screen.load(source);
        screen.upscaler.run();
        screen.load(saved);
        settle(500);
        ok &= grab(screen.view, out, QStringLiteral("image-queued.png"));
        *release = true;
        settleUntil([&screen] { return !screen.upscaler.isRunning(); }, 30000);
        ok &= grab(screen.view, out, QStringLiteral("image-error.png"));
    }
    return ok;
}
