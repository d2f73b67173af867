#include "CompareCoordinator.h"

#include <QAudioOutput>
#include <QCoreApplication>
#include <QMediaPlayer>
#include <QThread>

CompareCoordinator::CompareCoordinator(const QUrl& leftUrl, const QUrl& rightUrl, QObject* parent)
    : QObject(parent), m_left(new QMediaPlayer(this)), m_right(new QMediaPlayer(this)),
      m_leftAudio(new QAudioOutput(this)), m_rightAudio(new QAudioOutput(this))
{
    Q_ASSERT(QThread::currentThread() == qApp->thread());
    m_rightAudio->setMuted(true);
    m_left->setAudioOutput(m_leftAudio);
    m_right->setAudioOutput(m_rightAudio);
    m_left->setSource(leftUrl);
    m_right->setSource(rightUrl);

    // The clock runs while the left player plays, standing in for a periodic time observer.
    m_clock.setInterval(kClockIntervalMs);
    connect(&m_clock, &QTimer::timeout, this, [this] { keepInStep(m_left->position()); });
    connect(m_left, &QMediaPlayer::playbackStateChanged, this, &CompareCoordinator::updateClock);

    for (QMediaPlayer* player : {m_left, m_right}) {
        connect(player, &QMediaPlayer::mediaStatusChanged, this,
                [this](QMediaPlayer::MediaStatus status) {
                    if (status == QMediaPlayer::EndOfMedia)
                        handleEnd();
                });
    }
}

CompareCoordinator::~CompareCoordinator()
{
    m_clock.stop();
    for (QMediaPlayer* player : {m_left, m_right}) {
        disconnect(player, nullptr, this, nullptr);
        player->pause();
    }
}

void CompareCoordinator::toggle()
{
    if (m_playing) {
        m_left->pause();
        m_right->pause();
    } else {
        // A player that stands at its end starts again from the beginning, so that play after
        // the end plays both instead of only the one the backend rewinds by itself.
        if (m_left->mediaStatus() == QMediaPlayer::EndOfMedia)
            m_left->setPosition(0);
        if (m_sync)
            m_right->setPosition(m_left->position());
        else if (m_right->mediaStatus() == QMediaPlayer::EndOfMedia)
            m_right->setPosition(0);
        m_left->play();
        m_right->play();
    }
    setPlaying(!m_playing);
}

void CompareCoordinator::restart()
{
    m_left->setPosition(0);
    m_right->setPosition(0);
    if (m_playing) {
        m_left->play();
        m_right->play();
    }
}

bool CompareCoordinator::keepInStep(qint64 leftTimeMs)
{
    if (!m_sync || qAbs(m_right->position() - leftTimeMs) <= kDriftToleranceMs)
        return false;
    m_right->setPosition(leftTimeMs);
    return true;
}

void CompareCoordinator::handleEnd()
{
    if (!m_loop) {
        // The player that ended stands still; the other one plays on.
        setPlaying(false);
        return;
    }
    restart();
}

void CompareCoordinator::setPlaying(bool playing)
{
    if (m_playing == playing)
        return;
    m_playing = playing;
    Q_EMIT playingChanged(m_playing);
}

void CompareCoordinator::updateClock()
{
    if (m_left->playbackState() == QMediaPlayer::PlayingState)
        m_clock.start();
    else
        m_clock.stop();
}
