#pragma once

#include <QUrl>
#include <QWidget>

class RatioFrame;
class CompareCoordinator;
class PlayerView;
class QBoxLayout;
class QLabel;
class QStackedWidget;
class QToolButton;
class VideoWipe;

// Threading: main thread only.
//
// Two videos played in lock step for comparison, typically a source and its upscaled result:
// either as two captioned cards (side by side for portrait videos, one above the other
// otherwise) or overlaid in one frame with a vertical wipe. A transport bar under the videos
// restarts both or plays/pauses both; a video that cannot be played is named under the videos. The
// players are created once, for the two URLs given here; embedding screens make a new view for
// another pair (see identity()).
class SyncedCompare final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SyncedCompare)
public:
    SyncedCompare(const QUrl& leftUrl, const QUrl& rightUrl, const QString& leftLabel,
                  const QString& rightLabel, bool portrait, bool slider, bool sync, bool loop,
                  QWidget* parent = nullptr);
    ~SyncedCompare() override;

    // The text that tells one pair of videos from another: both paths joined by "|".
    static QString identity(const QUrl& leftUrl, const QUrl& rightUrl);
    QString identity() const { return identity(m_leftUrl, m_rightUrl); }

    QUrl leftUrl() const { return m_leftUrl; }
    QUrl rightUrl() const { return m_rightUrl; }
    CompareCoordinator* coordinator() const { return m_coordinator; }
    VideoWipe* wipe() const { return m_wipe; }

    // The videos are taller than wide: 9:16 frames, cards side by side.
    bool portrait() const { return m_portrait; }
    void setPortrait(bool portrait);
    // The wipe instead of two cards.
    bool slider() const { return m_slider; }
    void setSlider(bool slider);
    // Passed on to the coordinator.
    bool sync() const;
    void setSync(bool sync);
    bool loop() const;
    void setLoop(bool loop);

    // What went wrong with playing either video, in words for the user; empty while all is well.
    QString errorText() const;

private:
    QWidget* makeCard(const QString& label, PlayerView* view, RatioFrame*& frame);
    QWidget* makeTransportBar();
    void updatePlayButton();
    void showPlaybackError(const QUrl& url, const QString& reason);

    QUrl m_leftUrl;
    QUrl m_rightUrl;
    bool m_portrait;
    bool m_slider;
    CompareCoordinator* m_coordinator;
    QStackedWidget* m_pages;
    QWidget* m_cardsPage;
    QBoxLayout* m_cardsLayout;
    PlayerView* m_leftView;
    PlayerView* m_rightView;
    RatioFrame* m_leftFrame = nullptr;
    RatioFrame* m_rightFrame = nullptr;
    RatioFrame* m_wipeFrame;
    VideoWipe* m_wipe;
    QLabel* m_error;
    QToolButton* m_restartButton = nullptr;
    QToolButton* m_playButton = nullptr;
};
