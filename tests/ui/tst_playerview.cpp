#include <QDir>
#include <QMediaPlayer>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <QVideoWidget>

#include "support/TestSupport.h"
#include "ui/components/PlayerView.h"

class TestPlayerView final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void replacesOnlyADifferentPlayer();
    void controlsFollowARealVideo();
};

void TestPlayerView::replacesOnlyADifferentPlayer()
{
    QMediaPlayer first;
    QMediaPlayer second;
    PlayerView view(&first, false);
    QCOMPARE(first.videoOutput(), view.videoWidget());
    view.setPlayer(&first);
    QCOMPARE(first.videoOutput(), view.videoWidget());
    view.setPlayer(&second);
    QCOMPARE(view.player(), &second);
    QCOMPARE(second.videoOutput(), view.videoWidget());
    QCOMPARE(first.videoOutput(), nullptr);
}

void TestPlayerView::controlsFollowARealVideo()
{
    const QString video = QDir::temp().filePath(QStringLiteral("clip.mp4"));
    QCOMPARE(
        KorvaneTest::runFFmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                QStringLiteral("testsrc=size=64x36:rate=10:duration=2"),
                                QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), video}),
        0);
    QMediaPlayer player;
    PlayerView view(&player, false);
    view.resize(320, 240);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    auto* position = view.findChild<QSlider*>(QStringLiteral("position"));
    QVERIFY(position);
    QVERIFY(!position->isVisible());
    view.setShowControls(true);
    QVERIFY(position->isVisible());

    player.setSource(QUrl::fromLocalFile(video));
    QTRY_VERIFY(player.duration() > 1500);
    QCOMPARE(position->maximum(), player.duration());
    auto* play = view.findChild<QToolButton*>(QStringLiteral("playPause"));
    QVERIFY(play);
    play->click();
    QTRY_COMPARE(player.playbackState(), QMediaPlayer::PlayingState);
    QTRY_VERIFY(position->value() > 0);
    play->click();
    QTRY_COMPARE(player.playbackState(), QMediaPlayer::PausedState);
}

KORVANE_TEST_MAIN(TestPlayerView)
#include "tst_playerview.moc"
