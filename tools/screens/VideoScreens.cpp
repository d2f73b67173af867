#include "VideoScreens.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include "processing/BatchProcessor.h"
#include "processing/Upscaler.h"
#include "ui/MediaModeBinding.h"
#include "ui/components/HistoryCard.h"
#include "ui/components/Segmented.h"
#include "ui/components/Theme.h"
#include "ui/video/CompareSheet.h"
#include "ui/video/PreviewSheet.h"
#include "ui/video/UpscaleView.h"
#include "ui/video/VideoControlPane.h"

namespace {
void settleUntil(const std::function<bool()>& done, int milliseconds = 8000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    QApplication::processEvents();
}

bool grabTo(QWidget& widget, const QSize& size, const QString& path)
{
    widget.resize(size);
    widget.show();
    settleUntil([] { return false; }, 300);
    return widget.grab().save(path);
}

// A one-frame test clip made with the system's ffmpeg; empty when it cannot be made.
QString makeClip(const QDir& folder, const QString& name, const QString& size)
{
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty())
        return {};
    const QString path = folder.filePath(name);
    const int status = QProcess::execute(
        ffmpeg,
        {QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"), QStringLiteral("error"),
         QStringLiteral("-y"), QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
         QStringLiteral("testsrc=size=") + size + QStringLiteral(":rate=30"), QStringLiteral("-t"),
         QStringLiteral("12.5"), QStringLiteral("-r"), QStringLiteral("1"),
         QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), path});
    return status == 0 ? path : QString();
}

Upscaler::HistoryEntry entry(const QString& name, AIQuality quality, qint64 height,
                             const QString& output, int daysAgo)
{
    Upscaler::HistoryEntry made;
    made.id = QUuid::createUuid();
    made.name = name;
    made.date = QDateTime::currentDateTimeUtc().addDays(-daysAgo);
    made.targetHeight = height;
    made.quality = quality;
    made.success = !output.isEmpty();
    made.durationSec = 48;
    if (output.isEmpty())
        made.error = QStringLiteral("FFmpeg failed: Conversion failed!");
    else
        made.outputURL = QUrl::fromLocalFile(output);
    return made;
}

// A picture with fine detail, sharp or blocky.
QImage frame(bool sharp)
{
    QImage image(960, 540, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 540);
    sky.setColorAt(0, QColor(30, 60, 130));
    sky.setColorAt(1, QColor(245, 160, 100));
    painter.fillRect(image.rect(), sky);
    painter.setPen(QPen(QColor(255, 255, 255, 190), 1.5));
    for (int i = 0; i < 50; ++i)
        painter.drawEllipse(QPointF(480, 600), 40 + i * 10, 30 + i * 8);
    painter.end();
    if (sharp)
        return image;
    return image.scaled(240, 135, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .scaled(960, 540, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

// The screen with its own models on the window's background.
struct Screen {
    Upscaler upscaler;
    BatchProcessor batch;
    MediaModeBinding mode;
    QWidget host;
    UpscaleView* view;

    Screen()
    {
        host.setAutoFillBackground(true);
        QPalette palette = host.palette();
        palette.setColor(QPalette::Window, Theme::appBG());
        host.setPalette(palette);
        auto* layout = new QVBoxLayout(&host);
        layout->setContentsMargins(0, 0, 0, 0);
        view = new UpscaleView(upscaler, batch, mode, &host);
        layout->addWidget(view);
        settleUntil([this] { return upscaler.historyLoaded(); });
    }

    void load(const QString& path)
    {
        upscaler.load(QUrl::fromLocalFile(path));
        settleUntil([this] { return upscaler.srcH() > 0; });
    }
};
} // namespace

bool renderVideoScreens(const QDir& out)
{
    const QSize size(1000, 720);
    QTemporaryDir scratch;
    const QDir folder(scratch.path());
    const QString clip =
        makeClip(folder, QStringLiteral("harbour_walk.mp4"), QStringLiteral("1280x720"));
    const QString tall =
        makeClip(folder, QStringLiteral("drone_4k_master.mp4"), QStringLiteral("3840x2160"));
    const QString output = folder.filePath(QStringLiteral("harbour_walk_upscaled.mp4"));
    QFile(clip).copy(output);
    bool ok = true;

    {
        Screen screen;
        ok &= grabTo(screen.host, size, out.filePath(QStringLiteral("video-empty.png")));
    }
    {
        Screen screen;
        screen.upscaler.setHistory(
            {entry(QStringLiteral("harbour_walk.mp4"), AIQuality::Detailed, 2160, output, 0)});
        if (!clip.isEmpty())
            screen.load(clip);
        ok &= grabTo(screen.host, size, out.filePath(QStringLiteral("video-loaded.png")));
    }
    {
        Screen screen;
        if (!tall.isEmpty())
            screen.load(tall);
        Segmented* resolution = screen.view->controlPane()->resolutionControl();
        resolution->setSelection(qint64(2160));
        Q_EMIT resolution->selectionChanged(resolution->selection());
        screen.upscaler.setAdvancedPreview(true);
        ok &= grabTo(screen.host, size, out.filePath(QStringLiteral("video-already-high.png")));
    }
    {
        Screen screen;
        if (!clip.isEmpty())
            screen.load(clip);
        PreviewSheet* sheet = screen.view->previewSheet();
        const QImage upscaled = frame(true).scaled(2560, 1440);
        sheet->setImages(frame(false), upscaled, QStringLiteral("2560×1440"));
        ok &= grabTo(*sheet, QSize(1040, 660), out.filePath(QStringLiteral("video-preview.png")));
        sheet->hide();
    }
    {
        Screen screen;
        CompareSheet* sheet = screen.view->compareSheet();
        sheet->present(QUrl::fromLocalFile(clip), QUrl::fromLocalFile(output));
        ok &= grabTo(*sheet, QSize(1000, 640), out.filePath(QStringLiteral("video-compare.png")));
        sheet->reject();
    }
    {
        Screen screen;
        const QList<Upscaler::HistoryEntry> entries = {
            entry(QStringLiteral("harbour_walk.mp4"), AIQuality::Detailed, 2160, output, 0),
            entry(QStringLiteral("family_reunion_2009_camcorder_tape_03_final_cut.mov"),
                  AIQuality::Max, 1080, output, 1),
            entry(QStringLiteral("screen_recording.mkv"), AIQuality::Fast, 2160, QString(), 2),
            entry(QStringLiteral("portrait_story.mp4"), AIQuality::Detailed, 1080, output, 4),
        };
        screen.upscaler.setHistory(entries);
        screen.view->historyCard()->setSelectedIds({entries.at(1).id, entries.at(2).id});
        ok &= grabTo(screen.host, size, out.filePath(QStringLiteral("video-history.png")));
    }
    return ok;
}
