#include "SyncedCompare.h"

#include <QBoxLayout>
#include <QLabel>
#include <QMediaPlayer>
#include <QStackedWidget>
#include <QToolButton>

#include "ui/compare/RatioFrame.h"
#include "ui/compare/CompareCoordinator.h"
#include "ui/compare/VideoWipe.h"
#include "ui/components/GlassCard.h"
#include "ui/components/Icons.h"
#include "ui/components/Labels.h"
#include "ui/components/PlayerView.h"
#include "ui/components/Theme.h"

namespace {

constexpr int kSpacing = 14;
constexpr int kCardLabelGap = 6;
constexpr qreal kCardRadius = 12;

qreal ratioFor(bool portrait)
{
    return portrait ? 9.0 / 16.0 : 16.0 / 9.0;
}

QToolButton* makeTransportButton(const QString& iconName, const QString& toolTip,
                                 const QString& objectName, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setIcon(Icons::icon(iconName));
    button->setIconSize(QSize(16, 16));
    button->setToolTip(toolTip);
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

SyncedCompare::SyncedCompare(const QUrl& leftUrl, const QUrl& rightUrl, const QString& leftLabel,
                             const QString& rightLabel, bool portrait, bool slider, bool sync,
                             bool loop, QWidget* parent)
    : QWidget(parent), m_leftUrl(leftUrl), m_rightUrl(rightUrl), m_portrait(portrait),
      m_slider(slider), m_coordinator(new CompareCoordinator(leftUrl, rightUrl, this)),
      m_pages(new QStackedWidget(this)), m_cardsPage(new QWidget(m_pages)),
      m_cardsLayout(new QBoxLayout(portrait ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom,
                                   m_cardsPage)),
      m_leftView(new PlayerView(nullptr, true)), m_rightView(new PlayerView(nullptr, true)),
      m_wipeFrame(new RatioFrame(ratioFor(portrait), 0, m_pages)),
      m_wipe(new VideoWipe(leftLabel, rightLabel)), m_error(new QLabel(this))
{
    m_coordinator->setSync(sync);
    m_coordinator->setLoop(loop);
    m_leftView->setObjectName(QStringLiteral("leftPlayer"));
    m_rightView->setObjectName(QStringLiteral("rightPlayer"));

    m_cardsLayout->setContentsMargins(0, 0, 0, 0);
    m_cardsLayout->setSpacing(kSpacing);
    m_cardsLayout->addWidget(makeCard(leftLabel, m_leftView, m_leftFrame), 1);
    m_cardsLayout->addWidget(makeCard(rightLabel, m_rightView, m_rightFrame), 1);

    // The wipe frame has the glass card look; the picture inside is clipped to its corners.
    auto* wipeCard = new GlassCard(kCardRadius);
    auto* wipeCardLayout = new QVBoxLayout(wipeCard);
    wipeCardLayout->setContentsMargins(0, 0, 0, 0);
    wipeCardLayout->addWidget(m_wipe);
    m_wipeFrame->setContent(wipeCard);

    m_pages->addWidget(m_cardsPage);
    m_pages->addWidget(m_wipeFrame);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(kSpacing);
    column->addWidget(m_pages, 1);
    column->addWidget(m_error);
    column->addWidget(makeTransportBar(), 0, Qt::AlignHCenter);

    m_error->setObjectName(QStringLiteral("playbackError"));
    m_error->setTextFormat(Qt::PlainText); // the message names the file
    m_error->setWordWrap(true);
    m_error->setFont(Theme::font(12));
    Labels::setTextColour(*m_error, Theme::failureColor());
    m_error->hide();

    connect(m_coordinator, &CompareCoordinator::playingChanged, this,
            &SyncedCompare::updatePlayButton);
    connect(m_coordinator->left(), &QMediaPlayer::errorOccurred, this,
            [this](QMediaPlayer::Error, const QString& reason) {
                showPlaybackError(m_leftUrl, reason);
            });
    connect(m_coordinator->right(), &QMediaPlayer::errorOccurred, this,
            [this](QMediaPlayer::Error, const QString& reason) {
                showPlaybackError(m_rightUrl, reason);
            });
    // Apply the initial mode: the players go either to the cards or to the wipe.
    m_slider = !slider;
    setSlider(slider);
    updatePlayButton();
}

SyncedCompare::~SyncedCompare()
{
    // Take the outputs away from the players before anything is torn down.
    m_wipe->attach(nullptr, nullptr);
    m_leftView->setPlayer(nullptr);
    m_rightView->setPlayer(nullptr);
}

QString SyncedCompare::identity(const QUrl& leftUrl, const QUrl& rightUrl)
{
    return leftUrl.path() + QLatin1Char('|') + rightUrl.path();
}

QWidget* SyncedCompare::makeCard(const QString& label, PlayerView* view, RatioFrame*& frame)
{
    QLabel* caption = Labels::secondary(label, Theme::font(12, QFont::DemiBold));

    auto* card = new GlassCard(kCardRadius);
    auto* cardLayout = new QVBoxLayout(card);
    cardLayout->setContentsMargins(0, 0, 0, 0);
    cardLayout->addWidget(view);

    // Caption and card together keep the video's aspect ratio under the caption, so the caption
    // stays aligned with its video.
    auto* content = new QWidget;
    auto* contentLayout = new QVBoxLayout(content);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    contentLayout->setSpacing(kCardLabelGap);
    contentLayout->addWidget(caption);
    contentLayout->addWidget(card, 1);

    frame = new RatioFrame(ratioFor(m_portrait), caption->sizeHint().height() + kCardLabelGap);
    frame->setContent(content);
    return frame;
}

QWidget* SyncedCompare::makeTransportBar()
{
    auto* bar = new GlassCard(14);
    bar->setObjectName(QStringLiteral("transportBar"));
    m_restartButton = makeTransportButton(QStringLiteral("backward.end.fill"), tr("Restart"),
                                          QStringLiteral("transportRestart"), bar);
    m_playButton = makeTransportButton(QStringLiteral("play.fill"), tr("Play"),
                                       QStringLiteral("transportPlay"), bar);
    m_playButton->setFixedWidth(30);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(18, 8, 18, 8);
    row->setSpacing(kSpacing);
    row->addWidget(m_restartButton);
    row->addWidget(m_playButton);
    connect(m_restartButton, &QToolButton::clicked, m_coordinator, &CompareCoordinator::restart);
    connect(m_playButton, &QToolButton::clicked, m_coordinator, &CompareCoordinator::toggle);
    return bar;
}

void SyncedCompare::updatePlayButton()
{
    const bool playing = m_coordinator->playing();
    m_playButton->setIcon(
        Icons::icon(playing ? QStringLiteral("pause.fill") : QStringLiteral("play.fill")));
    m_playButton->setToolTip(playing ? tr("Pause") : tr("Play"));
}

void SyncedCompare::showPlaybackError(const QUrl& url, const QString& reason)
{
    QString line = tr("“%1” can't be played.").arg(url.fileName());
    if (!reason.isEmpty())
        line += QLatin1Char(' ') + reason;
    // Both videos may fail; keep both lines.
    const QString previous = m_error->text();
    if (!previous.contains(line))
        m_error->setText(previous.isEmpty() ? line : previous + QLatin1Char('\n') + line);
    m_error->show();
}

QString SyncedCompare::errorText() const
{
    return m_error->text();
}

void SyncedCompare::setPortrait(bool portrait)
{
    if (portrait == m_portrait)
        return;
    m_portrait = portrait;
    m_cardsLayout->setDirection(portrait ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
    for (RatioFrame* frame : {m_leftFrame, m_rightFrame, m_wipeFrame})
        frame->setRatio(ratioFor(portrait));
}

void SyncedCompare::setSlider(bool slider)
{
    if (slider == m_slider)
        return;
    m_slider = slider;
    // A player shows its picture in one place at a time: release it there first.
    if (slider) {
        m_leftView->setPlayer(nullptr);
        m_rightView->setPlayer(nullptr);
        m_wipe->attach(m_coordinator->left(), m_coordinator->right());
        m_pages->setCurrentWidget(m_wipeFrame);
    } else {
        m_wipe->attach(nullptr, nullptr);
        m_leftView->setPlayer(m_coordinator->left());
        m_rightView->setPlayer(m_coordinator->right());
        m_pages->setCurrentWidget(m_cardsPage);
    }
}

bool SyncedCompare::sync() const
{
    return m_coordinator->sync();
}

void SyncedCompare::setSync(bool sync)
{
    m_coordinator->setSync(sync);
}

bool SyncedCompare::loop() const
{
    return m_coordinator->loop();
}

void SyncedCompare::setLoop(bool loop)
{
    m_coordinator->setLoop(loop);
}
