#include "CompareScreens.h"

#include <QMediaPlayer>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUrl>

#include "ScreenSupport.h"
#include "ui/compare/CompareCoordinator.h"
#include "ui/compare/CompareView.h"
#include "ui/compare/SyncedCompare.h"
#include "ui/compare/VideoWipe.h"

namespace {
using ScreenSupport::saveOnAppBackground;
using ScreenSupport::settle;
using ScreenSupport::settleUntil;

// A scene with fine detail; the "before" copy is a blocky low-resolution version of it.
QImage scene(bool sharp, const QColor& top, const QColor& bottom)
{
    ScreenSupport::Scene scene;
    scene.top = top;
    scene.bottom = bottom;
    return ScreenSupport::scenePicture(scene, sharp);
}

// Makes a short clip with the system's ffmpeg; an empty URL when there is none.
QUrl makeClip(const QDir& dir, const QString& name, const QString& filter)
{
    const QString path = ScreenSupport::makeClip(dir, name, filter);
    return path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path);
}

// Plays both videos a moment so the first frames are on screen, then pauses them.
void showFirstFrames(SyncedCompare& view)
{
    CompareCoordinator* coordinator = view.coordinator();
    coordinator->toggle();
    settleUntil([&] { return coordinator->left()->position() > 400; }, 5000);
    coordinator->toggle();
    settle(400);
}

} // namespace

bool renderCompareScreens(const QDir& out)
{
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return false;
    const QDir dir(scratch.path());
    const QString source = QStringLiteral("testsrc2=size=640x360:rate=25:duration=2");
    const QUrl before =
        makeClip(dir, QStringLiteral("harbour-480p.mp4"),
                 source + QStringLiteral(",scale=160:90,scale=640:360:flags=neighbor"));
    const QUrl after = makeClip(dir, QStringLiteral("harbour-480p_upscaled.mp4"), source);
    const QString beforeImage = dir.filePath(QStringLiteral("sunset.png"));
    const QString afterImage = dir.filePath(QStringLiteral("sunset_upscaled.png"));
    const QString otherImage = dir.filePath(QStringLiteral("lake.jpg"));
    bool ok = scene(false, QColor(40, 70, 140), QColor(240, 170, 110)).save(beforeImage) &&
              scene(true, QColor(40, 70, 140), QColor(240, 170, 110)).save(afterImage) &&
              scene(true, QColor(30, 110, 90), QColor(200, 220, 160)).save(otherImage);

    // The synchronised comparison on its own, as the video screen's sheet shows it.
    {
        SyncedCompare cards(before, after, QStringLiteral("Original"), QStringLiteral("Upscaled"),
                            false, false, true, false);
        cards.setContentsMargins(16, 16, 16, 16);
        cards.resize(900, 720);
        cards.show();
        showFirstFrames(cards);
        ok &= saveOnAppBackground(cards, QSize(900, 720), out, QStringLiteral("synced-cards.png"));
    }
    {
        SyncedCompare wipe(before, after, QStringLiteral("Original"), QStringLiteral("Upscaled"),
                           false, true, true, false);
        wipe.setContentsMargins(16, 16, 16, 16);
        wipe.resize(900, 620);
        wipe.show();
        showFirstFrames(wipe);
        wipe.wipe()->setFrac(0.42);
        ok &= saveOnAppBackground(wipe, QSize(900, 620), out, QStringLiteral("synced-wipe.png"));
    }

    // The compare screen in its states.
    const QSize screen(1100, 720);
    {
        CompareView view;
        ok &= saveOnAppBackground(view, screen, out, QStringLiteral("compare-empty.png"));
    }
    {
        CompareView view;
        view.addFiles({QUrl::fromLocalFile(beforeImage), QUrl::fromLocalFile(afterImage),
                       QUrl::fromLocalFile(otherImage)});
        settleUntil([&] { return view.area() == CompareView::Area::ImageWipe; });
        ok &= saveOnAppBackground(view, screen, out, QStringLiteral("compare-images-wipe.png"));
        view.setSliderMode(false);
        ok &= saveOnAppBackground(view, screen, out,
                                  QStringLiteral("compare-images-side-by-side.png"));
    }
    {
        CompareView view;
        view.addFiles({before, after, QUrl::fromLocalFile(afterImage)});
        view.show();
        if (SyncedCompare* synced = view.syncedCompare())
            showFirstFrames(*synced);
        ok &= saveOnAppBackground(view, screen, out, QStringLiteral("compare-videos.png"));
        // A video and an image in the slots.
        view.setSlot(CompareSlot::B, view.items().at(2).id);
        ok &= saveOnAppBackground(view, screen, out, QStringLiteral("compare-mixed.png"));
    }
    return ok;
}
