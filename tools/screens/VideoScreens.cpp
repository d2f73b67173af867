#include "VideoScreens.h"

#include <QItemSelectionModel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include "ScreenSupport.h"
#include "processing/BatchProcessor.h"
#include "processing/Upscaler.h"
#include "ui/components/HistoryCard.h"
#include "ui/components/Segmented.h"
#include "ui/shell/MediaModeBinding.h"
#include "ui/video/CompareSheet.h"
#include "ui/video/PreviewSheet.h"
#include "ui/video/UpscaleView.h"
#include "ui/video/VideoControlPane.h"

namespace {
using ScreenSupport::save;
using ScreenSupport::settleUntil;

// A 12.5 s test clip at one frame a second; empty when it cannot be made.
QString makeClip(const QDir& folder, const QString& name, const QString& size)
{
    return ScreenSupport::makeClip(
        folder, name, QStringLiteral("testsrc=size=") + size + QStringLiteral(":rate=30"),
        {QStringLiteral("-t"), QStringLiteral("12.5"), QStringLiteral("-r"), QStringLiteral("1")});
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
    ScreenSupport::Scene scene;
    scene.size = QSize(960, 540);
    scene.top = QColor(30, 60, 130);
    scene.bottom = QColor(245, 160, 100);
    scene.rings = 50;
    scene.ringCentre = QPointF(480, 600);
    scene.ringAlpha = 190;
    return ScreenSupport::scenePicture(scene, sharp);
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
        ScreenSupport::fillAppBackground(host);
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
        ok &= save(screen.host, size, out, QStringLiteral("video-empty.png"));
    }
    {
        Screen screen;
        screen.upscaler.setHistory(
            {entry(QStringLiteral("harbour_walk.mp4"), AIQuality::Detailed, 2160, output, 0)});
        if (!clip.isEmpty())
            screen.load(clip);
        ok &= save(screen.host, size, out, QStringLiteral("video-loaded.png"));
    }
    {
        Screen screen;
        if (!tall.isEmpty())
            screen.load(tall);
        Segmented* resolution = screen.view->controlPane()->resolutionControl();
        resolution->setSelection(qint64(2160));
        Q_EMIT resolution->selectionChanged(resolution->selection());
        screen.upscaler.setAdvancedPreview(true);
        ok &= save(screen.host, size, out, QStringLiteral("video-already-high.png"));
    }
    {
        Screen screen;
        if (!clip.isEmpty())
            screen.load(clip);
        PreviewSheet* sheet = screen.view->previewSheet();
        const QImage upscaled = frame(true).scaled(2560, 1440);
        sheet->setImages(frame(false), upscaled, QStringLiteral("2560×1440"), 2160);
        ok &= save(*sheet, QSize(1040, 660), out, QStringLiteral("video-preview.png"));
        sheet->hide();
    }
    {
        Screen screen;
        CompareSheet* sheet = screen.view->compareSheet();
        sheet->present(QUrl::fromLocalFile(clip), QUrl::fromLocalFile(output));
        ok &= save(*sheet, QSize(1000, 640), out, QStringLiteral("video-compare.png"));
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
        ok &= save(screen.host, size, out, QStringLiteral("video-history.png"));
    }
    return ok;
}
