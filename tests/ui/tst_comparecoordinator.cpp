#include <QAudioOutput>
#include <QDir>
#include <QMediaPlayer>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QVideoWidget>

#include "support/TestSupport.h"
#include "ui/compare/CompareCoordinator.h"
#include "ui/compare/SyncedCompare.h"
#include "ui/compare/VideoWipe.h"
#include "ui/components/PlayerView.h"

namespace {

// A short test clip made by the real ffmpeg from a lavfi source; the default keyframe spacing
// leaves one keyframe, so only exact seeks land where asked.
QUrl makeClip(const QString& name, const QString& source, double seconds)
{
    const QString path = QDir::temp().filePath(name);
    const QLatin1Char separator(source.contains(QLatin1Char('=')) ? ':' : '=');
    const int status = KorvaneTest::runFFmpeg(
        {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
         source + separator + QStringLiteral("size=64x36:rate=25:duration=%1").arg(seconds),
         QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), path});
    return status == 0 ? QUrl::fromLocalFile(path) : QUrl();
}

bool isReddish(QRgb pixel)
{
    return qRed(pixel) > 180 && qBlue(pixel) < 80 && qGreen(pixel) < 80;
}

bool isBluish(QRgb pixel)
{
    return qBlue(pixel) > 180 && qRed(pixel) < 80 && qGreen(pixel) < 80;
}

// Waits until both players have their videos loaded.
bool waitLoaded(CompareCoordinator& coordinator)
{
    const auto loaded = [](QMediaPlayer* player) {
        return player->mediaStatus() == QMediaPlayer::LoadedMedia && player->duration() > 0;
    };
    return QTest::qWaitFor(
        [&] { return loaded(coordinator.left()) && loaded(coordinator.right()); }, 10000);
}

// Seeks a paused player and waits until its reported time arrives there.
bool seekTo(QMediaPlayer* player, qint64 ms)
{
    player->setPosition(ms);
    return QTest::qWaitFor([&] { return qAbs(player->position() - ms) < 60; }, 5000);
}

} // namespace

class TestCompareCoordinator final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void startsStillWithTheRightPlayerMuted();
    void playRealignsTheRightPlayer();
    void driftBeyondToleranceIsCorrected_data();
    void driftBeyondToleranceIsCorrected();
    void endWithoutLoopStopsThePair();
    void loopRewindsBoth();
    void wipeShowsBothVideosInOneFrame();
    void transportAndModesDriveTheSamePlayers();
    void unplayableVideoIsNamed();

private:
    QUrl m_long;
    QUrl m_short;
    QUrl m_red;
    QUrl m_blue;
};

void TestCompareCoordinator::initTestCase()
{
    m_long = makeClip(QStringLiteral("long.mp4"), QStringLiteral("testsrc"), 4);
    m_short = makeClip(QStringLiteral("short.mp4"), QStringLiteral("testsrc"), 1);
    m_red = makeClip(QStringLiteral("red.mp4"), QStringLiteral("color=c=red"), 2);
    m_blue = makeClip(QStringLiteral("blue.mp4"), QStringLiteral("color=c=blue"), 2);
    QVERIFY(m_long.isValid() && m_short.isValid() && m_red.isValid() && m_blue.isValid());
}

void TestCompareCoordinator::startsStillWithTheRightPlayerMuted()
{
    CompareCoordinator coordinator(m_long, m_short);
    QVERIFY(!coordinator.playing());
    QVERIFY(coordinator.sync());
    QVERIFY(!coordinator.loop());
    QVERIFY(waitLoaded(coordinator));
    QVERIFY(coordinator.left()->audioOutput() && !coordinator.left()->audioOutput()->isMuted());
    QVERIFY(coordinator.right()->audioOutput() && coordinator.right()->audioOutput()->isMuted());
    QCOMPARE(coordinator.left()->playbackState(), QMediaPlayer::StoppedState);
}

void TestCompareCoordinator::playRealignsTheRightPlayer()
{
    CompareCoordinator coordinator(m_long, m_long);
    QVERIFY(waitLoaded(coordinator));
    QVERIFY(seekTo(coordinator.left(), 1000));
    QVERIFY(seekTo(coordinator.right(), 3000));

    QSignalSpy playingChanged(&coordinator, &CompareCoordinator::playingChanged);
    coordinator.toggle();
    QVERIFY(coordinator.playing());
    QCOMPARE(playingChanged.size(), 1);
    // Asked for exactly the left time, before either had moved on.
    QVERIFY2(qAbs(coordinator.right()->position() - 1000) < 60,
             QByteArray::number(coordinator.right()->position()));
    QTRY_COMPARE(coordinator.left()->playbackState(), QMediaPlayer::PlayingState);
    QTRY_COMPARE(coordinator.right()->playbackState(), QMediaPlayer::PlayingState);
    QTRY_VERIFY(coordinator.left()->position() > 1200);
    QTRY_VERIFY2(
        qAbs(coordinator.right()->position() - coordinator.left()->position()) <
            CompareCoordinator::kDriftToleranceMs,
        QByteArray::number(coordinator.right()->position() - coordinator.left()->position()));

    coordinator.toggle();
    QVERIFY(!coordinator.playing());
    QTRY_COMPARE(coordinator.left()->playbackState(), QMediaPlayer::PausedState);
    QTRY_COMPARE(coordinator.right()->playbackState(), QMediaPlayer::PausedState);
}

void TestCompareCoordinator::driftBeyondToleranceIsCorrected_data()
{
    QTest::addColumn<qint64>("rightMs");
    QTest::addColumn<bool>("sync");
    QTest::addColumn<bool>("corrected");
    QTest::newRow("0.5 s ahead") << qint64(2000) << true << true;
    QTest::newRow("0.5 s behind") << qint64(1000) << true << true;
    QTest::newRow("0.2 s ahead") << qint64(1700) << true << false;
    QTest::newRow("0.5 s ahead, sync off") << qint64(2000) << false << false;
}

void TestCompareCoordinator::driftBeyondToleranceIsCorrected()
{
    QFETCH(qint64, rightMs);
    QFETCH(bool, sync);
    QFETCH(bool, corrected);
    CompareCoordinator coordinator(m_long, m_long);
    coordinator.setSync(sync);
    QVERIFY(waitLoaded(coordinator));
    QVERIFY(seekTo(coordinator.left(), 1500));
    QVERIFY(seekTo(coordinator.right(), rightMs));

    QCOMPARE(coordinator.keepInStep(coordinator.left()->position()), corrected);
    const qint64 expected = corrected ? 1500 : rightMs;
    QTRY_VERIFY2(qAbs(coordinator.right()->position() - expected) < 60,
                 QByteArray::number(coordinator.right()->position()));
}

void TestCompareCoordinator::endWithoutLoopStopsThePair()
{
    CompareCoordinator coordinator(m_short, m_long);
    QVERIFY(waitLoaded(coordinator));
    coordinator.toggle();
    QVERIFY(coordinator.playing());
    QTRY_VERIFY_WITH_TIMEOUT(!coordinator.playing(), 10000);
    QCOMPARE(coordinator.left()->mediaStatus(), QMediaPlayer::EndOfMedia);
    // Nothing is paused: the longer video goes on.
    QCOMPARE(coordinator.right()->playbackState(), QMediaPlayer::PlayingState);

    // Play again: both start over from the beginning and keep playing together.
    coordinator.toggle();
    QVERIFY(coordinator.playing());
    QVERIFY2(coordinator.right()->position() < 100,
             QByteArray::number(coordinator.right()->position()));
    QTRY_COMPARE(coordinator.left()->playbackState(), QMediaPlayer::PlayingState);
    QTRY_VERIFY(coordinator.left()->position() > 300);
    QVERIFY(coordinator.playing());
    QVERIFY(coordinator.left()->position() < 1000);
}

void TestCompareCoordinator::loopRewindsBoth()
{
    CompareCoordinator coordinator(m_short, m_long);
    coordinator.setLoop(true);
    QVERIFY(waitLoaded(coordinator));
    QSignalSpy leftStatus(coordinator.left(), &QMediaPlayer::mediaStatusChanged);
    coordinator.toggle();
    QTRY_VERIFY_WITH_TIMEOUT(leftStatus.contains({QVariant::fromValue(QMediaPlayer::EndOfMedia)}),
                             10000);
    QVERIFY(coordinator.playing());
    // Both start over from the beginning and go on playing.
    QTRY_COMPARE(coordinator.left()->playbackState(), QMediaPlayer::PlayingState);
    QTRY_VERIFY(coordinator.left()->position() < 600);
    QVERIFY2(coordinator.right()->position() < 900,
             QByteArray::number(coordinator.right()->position()));
    QCOMPARE(coordinator.right()->playbackState(), QMediaPlayer::PlayingState);
}

void TestCompareCoordinator::wipeShowsBothVideosInOneFrame()
{
    SyncedCompare view(m_red, m_blue, QStringLiteral("Original"), QStringLiteral("Upscaled"), false,
                       true, true, false);
    view.resize(640, 480);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    VideoWipe* wipe = view.wipe();
    QVERIFY(wipe->isVisible());
    view.findChild<QToolButton*>(QStringLiteral("transportPlay"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(!wipe->leftFrame().isNull() && !wipe->rightFrame().isNull(), 10000);

    // Left of the line the left video, right of it the right video, in one picture.
    const QImage picture = wipe->grab().toImage();
    const int midY = picture.height() / 2;
    QVERIFY(isReddish(picture.pixel(picture.width() / 4, midY)));
    QVERIFY(isBluish(picture.pixel(picture.width() * 3 / 4, midY)));

    QTest::mousePress(wipe, Qt::LeftButton, {}, QPoint(wipe->width() / 5, midY));
    QCOMPARE(wipe->frac(), 0.2);
    // Dragging past either edge keeps the line at that edge.
    QMouseEvent beyond(QEvent::MouseMove, QPointF(wipe->width() + 50, midY), QPointF(),
                       Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(wipe, &beyond);
    QCOMPARE(wipe->frac(), 1.0);
    QMouseEvent before(QEvent::MouseMove, QPointF(-30, midY), QPointF(), Qt::NoButton,
                       Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(wipe, &before);
    QCOMPARE(wipe->frac(), 0.0);
    QTest::mouseRelease(wipe, Qt::LeftButton, {}, QPoint(0, midY));
    const QImage allRight = wipe->grab().toImage();
    QVERIFY(isBluish(allRight.pixel(allRight.width() / 4, midY)));
}

void TestCompareCoordinator::transportAndModesDriveTheSamePlayers()
{
    SyncedCompare view(m_long, m_red, QStringLiteral("A"), QStringLiteral("B"), true, false, false,
                       true);
    CompareCoordinator* coordinator = view.coordinator();
    QVERIFY(!coordinator->sync());
    QVERIFY(coordinator->loop());
    QCOMPARE(view.identity(), m_long.path() + QStringLiteral("|") + m_red.path());
    auto* leftView = view.findChild<PlayerView*>(QStringLiteral("leftPlayer"));
    auto* rightView = view.findChild<PlayerView*>(QStringLiteral("rightPlayer"));
    QVERIFY(leftView && rightView);
    QCOMPARE(coordinator->left()->videoOutput(), leftView->videoWidget());
    QCOMPARE(coordinator->right()->videoOutput(), rightView->videoWidget());
    QVERIFY(leftView->showControls());

    view.setSlider(true);
    QVERIFY(view.wipe()->isAttached());
    QVERIFY(coordinator->left()->videoOutput() != leftView->videoWidget());
    QVERIFY(coordinator->left()->videoSink() != nullptr);
    view.setSlider(false);
    QVERIFY(!view.wipe()->isAttached());
    QCOMPARE(coordinator->left()->videoOutput(), leftView->videoWidget());

    view.setSync(true);
    view.setLoop(false);
    QVERIFY(coordinator->sync());
    QVERIFY(!coordinator->loop());

    auto* play = view.findChild<QToolButton*>(QStringLiteral("transportPlay"));
    QVERIFY(play);
    QCOMPARE(play->toolTip(), QStringLiteral("Play"));
    play->click();
    QVERIFY(coordinator->playing());
    QCOMPARE(play->toolTip(), QStringLiteral("Pause"));
    QTRY_VERIFY(coordinator->left()->position() > 300);
    view.findChild<QToolButton*>(QStringLiteral("transportRestart"))->click();
    QTRY_VERIFY(coordinator->left()->position() < 300);
    QVERIFY(coordinator->playing());
    play->click();
    QVERIFY(!coordinator->playing());
    QCOMPARE(play->toolTip(), QStringLiteral("Play"));
}

void TestCompareCoordinator::unplayableVideoIsNamed()
{
    const QUrl missing = QUrl::fromLocalFile(QDir::temp().filePath(QStringLiteral("gone.mp4")));
    SyncedCompare view(m_long, missing, QStringLiteral("Original"), QStringLiteral("Upscaled"),
                       false, true, true, false);
    QVERIFY(view.errorText().isEmpty());
    QTRY_VERIFY(view.errorText().contains(QStringLiteral("“gone.mp4” can't be played.")));
    // The missing file's reason is never put on the playable one (which a heavily loaded
    // machine may fail to play for reasons of its own).
    QVERIFY2(!view.errorText().contains(QStringLiteral("“long.mp4” can't be played. Resource")),
             qPrintable(view.errorText()));
}

KORVANE_TEST_MAIN(TestCompareCoordinator)
#include "tst_comparecoordinator.moc"
