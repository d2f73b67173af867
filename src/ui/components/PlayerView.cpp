#include "PlayerView.h"

#include <algorithm>
#include <climits>

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMediaPlayer>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <QVideoWidget>

#include "ui/components/Icons.h"
#include "ui/components/Theme.h"

namespace {

QString clockText(qint64 milliseconds)
{
    const qint64 seconds = std::max<qint64>(0, milliseconds / 1000);
    const qint64 hours = seconds / 3600;
    const QString minutesAndSeconds = QStringLiteral("%1:%2")
                                          .arg(hours > 0 ? (seconds / 60) % 60 : seconds / 60,
                                               hours > 0 ? 2 : 1, 10, QLatin1Char('0'))
                                          .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return hours > 0 ? QString::number(hours) + QLatin1Char(':') + minutesAndSeconds
                     : minutesAndSeconds;
}

QToolButton* makeToolButton(const QString& iconName, const QString& toolTip, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setIcon(Icons::icon(iconName));
    button->setIconSize(QSize(16, 16));
    button->setToolTip(toolTip);
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

PlayerView::PlayerView(QMediaPlayer* player, bool showControls, QWidget* parent)
    : QWidget(parent), m_showControls(showControls), m_video(new QVideoWidget(this)),
      m_controls(new QWidget(this)),
      m_playButton(makeToolButton(QStringLiteral("play.fill"), tr("Play"), m_controls)),
      m_position(new QSlider(Qt::Horizontal, m_controls)), m_time(new QLabel(m_controls)),
      m_fullScreenButton(makeToolButton(QStringLiteral("arrow.up.left.and.arrow.down.right"),
                                        tr("Full Screen"), m_controls))
{
    m_playButton->setObjectName(QStringLiteral("playPause"));
    m_position->setObjectName(QStringLiteral("position"));
    m_fullScreenButton->setObjectName(QStringLiteral("fullScreen"));
    m_video->setAspectRatioMode(Qt::KeepAspectRatio);
    m_video->installEventFilter(this);
    m_video->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    m_position->setRange(0, 0);
    m_position->setToolTip(tr("Position"));
    m_time->setFont(Theme::font(11, QFont::Normal, true));
    QPalette timePalette = m_time->palette();
    timePalette.setColor(QPalette::WindowText, Theme::secondaryText());
    m_time->setPalette(timePalette);

    auto* bar = new QHBoxLayout(m_controls);
    bar->setContentsMargins(6, 4, 6, 4);
    bar->setSpacing(8);
    bar->addWidget(m_playButton);
    bar->addWidget(m_position, 1);
    bar->addWidget(m_time);
    bar->addWidget(m_fullScreenButton);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_video, 1);
    column->addWidget(m_controls);
    m_controls->setVisible(m_showControls);

    connect(m_playButton, &QToolButton::clicked, this, &PlayerView::togglePlayback);
    connect(m_fullScreenButton, &QToolButton::clicked, this, [this] { setFullScreen(true); });
    connect(m_position, &QSlider::sliderMoved, this, [this](int value) {
        if (m_player)
            m_player->setPosition(value);
    });
    connect(m_position, &QSlider::valueChanged, this, [this](int value) {
        // Clicks on the groove move the value without a drag; seek for those as well.
        if (m_player && !m_position->isSliderDown())
            m_player->setPosition(value);
    });

    setPlayer(player);
    updateTimeText();
}

PlayerView::~PlayerView()
{
    if (m_player && m_player->videoOutput() == m_video)
        m_player->setVideoOutput(nullptr);
}

void PlayerView::setPlayer(QMediaPlayer* player)
{
    if (player == m_player)
        return;
    for (const QMetaObject::Connection& connection : std::as_const(m_playerConnections))
        disconnect(connection);
    m_playerConnections.clear();
    if (m_player && m_player->videoOutput() == m_video)
        m_player->setVideoOutput(nullptr);
    m_player = player;
    if (m_player) {
        m_player->setVideoOutput(m_video);
        m_playerConnections << connect(m_player, &QMediaPlayer::playbackStateChanged, this,
                                       &PlayerView::syncPlaybackState)
                            << connect(m_player, &QMediaPlayer::durationChanged, this,
                                       &PlayerView::syncDuration)
                            << connect(m_player, &QMediaPlayer::positionChanged, this,
                                       &PlayerView::syncPosition);
    }
    syncDuration(m_player ? m_player->duration() : 0);
    syncPosition(m_player ? m_player->position() : 0);
    syncPlaybackState();
}

void PlayerView::setShowControls(bool show)
{
    m_showControls = show;
    m_controls->setVisible(show);
    if (!show && isFullScreen())
        setFullScreen(false);
}

bool PlayerView::isFullScreen() const
{
    return m_video->isFullScreen();
}

void PlayerView::setFullScreen(bool fullScreen)
{
    if (fullScreen && !m_showControls)
        return;
    m_video->setFullScreen(fullScreen);
}

bool PlayerView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_video && m_showControls) {
        if (event->type() == QEvent::MouseButtonDblClick) {
            setFullScreen(!isFullScreen());
            return true;
        }
        if (event->type() == QEvent::KeyPress && isFullScreen()) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Escape) {
                setFullScreen(false);
                return true;
            }
            if (key->key() == Qt::Key_Space) {
                togglePlayback();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void PlayerView::togglePlayback()
{
    if (!m_player)
        return;
    if (m_player->playbackState() == QMediaPlayer::PlayingState)
        m_player->pause();
    else
        m_player->play();
}

void PlayerView::syncPlaybackState()
{
    const bool playing = m_player && m_player->playbackState() == QMediaPlayer::PlayingState;
    m_playButton->setIcon(
        Icons::icon(playing ? QStringLiteral("pause.fill") : QStringLiteral("play.fill")));
    m_playButton->setToolTip(playing ? tr("Pause") : tr("Play"));
    m_playButton->setEnabled(m_player != nullptr);
    m_position->setEnabled(m_player != nullptr);
    m_fullScreenButton->setEnabled(m_player != nullptr);
}

void PlayerView::syncDuration(qint64 duration)
{
    const QSignalBlocker blocker(m_position);
    m_position->setRange(0, static_cast<int>(std::clamp<qint64>(duration, 0, INT_MAX)));
    updateTimeText();
}

void PlayerView::syncPosition(qint64 position)
{
    if (!m_position->isSliderDown()) {
        const QSignalBlocker blocker(m_position);
        m_position->setValue(static_cast<int>(std::clamp<qint64>(position, 0, INT_MAX)));
    }
    updateTimeText();
}

void PlayerView::updateTimeText()
{
    const qint64 position = m_player ? m_player->position() : 0;
    const qint64 duration = m_player ? m_player->duration() : 0;
    m_time->setText(clockText(position) + QStringLiteral(" / ") + clockText(duration));
}
