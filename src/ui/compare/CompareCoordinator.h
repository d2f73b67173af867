#pragma once

#include <QObject>
#include <QTimer>
#include <QUrl>

class QAudioOutput;
class QMediaPlayer;

// Threading: main thread only. The coordinator is created, driven and destroyed on the GUI
// thread; the players deliver their signals there too.
//
// Owns two media players and keeps the right one in step with the left one, whose clock leads.
// The left player has sound; the right one is muted. Nothing plays until toggle() is called.
class CompareCoordinator final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CompareCoordinator)
    Q_PROPERTY(bool playing READ playing NOTIFY playingChanged)
public:
    // How often the right player's time is compared with the left one's while playing, and how
    // far apart they may drift before the right player is re-seeked.
    static constexpr int kClockIntervalMs = 300;
    static constexpr qint64 kDriftToleranceMs = 300;

    CompareCoordinator(const QUrl& leftUrl, const QUrl& rightUrl, QObject* parent = nullptr);
    ~CompareCoordinator() override;

    QMediaPlayer* left() const { return m_left; }
    QMediaPlayer* right() const { return m_right; }

    bool sync() const { return m_sync; }
    void setSync(bool sync) { m_sync = sync; }
    bool loop() const { return m_loop; }
    void setLoop(bool loop) { m_loop = loop; }

    // Whether the pair is meant to be playing (an end without loop sets it false even though
    // the longer video goes on).
    bool playing() const { return m_playing; }

    // Pauses both while playing; otherwise (with sync on) seeks the right player exactly to the
    // left one's time, then starts both. A player standing at its end starts from the beginning.
    void toggle();
    // Both back to the start; they keep playing if the pair was playing.
    void restart();

    // The periodic check, called every kClockIntervalMs of playback with the left player's time:
    // with sync on, seeks the right player to leftTimeMs when they differ by more than the
    // tolerance. Returns whether it seeked.
    bool keepInStep(qint64 leftTimeMs);
    // What happens when either player reaches the end of its video.
    void handleEnd();

Q_SIGNALS:
    void playingChanged(bool playing);

private:
    void setPlaying(bool playing);
    void updateClock();

    QMediaPlayer* m_left;
    QMediaPlayer* m_right;
    QAudioOutput* m_leftAudio;
    QAudioOutput* m_rightAudio;
    QTimer m_clock;
    bool m_sync = true;
    bool m_loop = false;
    bool m_playing = false;
};
