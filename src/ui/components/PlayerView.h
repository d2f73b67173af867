#pragma once

#include <QMediaPlayer>
#include <QPointer>
#include <QWidget>

class QLabel;
class QSlider;
class QToolButton;
class QVideoWidget;

// Shows a media player's video, scaled to fit with its aspect ratio kept. With controls on, a
// bar under the picture offers play/pause, the position (drag to seek), the time and a
// full-screen button; Escape or a double-click leaves full screen. The player is not owned.
class PlayerView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PlayerView)
public:
    explicit PlayerView(QMediaPlayer* player = nullptr, bool showControls = true,
                        QWidget* parent = nullptr);
    ~PlayerView() override;

    QMediaPlayer* player() const { return m_player; }
    // Attaches another player; giving the one already shown changes nothing.
    void setPlayer(QMediaPlayer* player);

    bool showControls() const { return m_showControls; }
    void setShowControls(bool show);

    QVideoWidget* videoWidget() const { return m_video; }
    bool isFullScreen() const;
    void setFullScreen(bool fullScreen);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void togglePlayback();
    void syncPlaybackState();
    void syncDuration(qint64 duration);
    void syncPosition(qint64 position);
    void updateTimeText();

    QPointer<QMediaPlayer> m_player;
    bool m_showControls;
    QVideoWidget* m_video;
    QWidget* m_controls;
    QToolButton* m_playButton;
    QSlider* m_position;
    QLabel* m_time;
    QToolButton* m_fullScreenButton;
    QList<QMetaObject::Connection> m_playerConnections;
};
