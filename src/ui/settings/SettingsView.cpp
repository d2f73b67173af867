#include "ui/settings/SettingsView.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QUrl>
#include <QVBoxLayout>

#include "account/SystemOpener.h"
#include "processing/AppSettings.h"
#include "processing/Notifier.h"
#include "ui/components/FieldLabel.h"
#include "ui/components/GlassCard.h"
#include "ui/components/Theme.h"
#include "ui/home/SavingsCard.h"
#include "ui/settings/AboutSection.h"
#include "ui/settings/ProductInfo.h"
#include "ui/settings/SecondaryLabel.h"
#include "ui/settings/SettingSwitchRow.h"
#include "ui/settings/SettingsButtons.h"

namespace {
constexpr int kPanelWidth = 340;
// How far a card's shadow reaches past its sides and bottom.
constexpr int kShadowRoom = 12;

// A scroll area without chrome that asks for the whole height of its content, so a short panel
// stays short and a long one scrolls only when the window is too low for it.
class PlainScrollArea final : public QScrollArea {
public:
    // fitWidth: the width the content is laid out at when the area asks for its whole height.
    PlainScrollArea(int fitWidth, QWidget* parent) : QScrollArea(parent), m_fitWidth(fitWidth)
    {
        setFrameShape(QFrame::NoFrame);
        setWidgetResizable(true);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        viewport()->setAutoFillBackground(false);
        setStyleSheet(QStringLiteral(
            "QScrollArea { background: transparent; }"
            "QScrollBar:vertical { width: 8px; background: transparent; margin: 4px 2px; }"
            "QScrollBar::handle:vertical { background: rgba(0,0,0,70); border-radius: 2px; "
            "min-height: 24px; }"
            "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
            "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
    }

    void setContent(QWidget* content)
    {
        setWidget(content);
        // setWidget turns the background fill on; the cards' backdrop must show through.
        content->setAutoFillBackground(false);
        content->installEventFilter(this);
    }

    QSize sizeHint() const override
    {
        if (!widget())
            return QScrollArea::sizeHint();
        QSize hint = widget()->sizeHint();
        // Measured at the width left beside a scroll bar: the area keeps its bar once shown
        // unless the content fits that narrower width too.
        if (widget()->hasHeightForWidth() && m_fitWidth > 0)
            hint.setHeight(
                widget()->heightForWidth(m_fitWidth - verticalScrollBar()->sizeHint().width()));
        return hint;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // The content grew or shrank (an update offer appeared, say): ask for the new height.
        if (watched == widget() && event->type() == QEvent::LayoutRequest)
            updateGeometry();
        return QScrollArea::eventFilter(watched, event);
    }

private:
    const int m_fitWidth;
};

QFrame* divider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setStyleSheet(QStringLiteral("color: rgba(0,0,0,25);"));
    return line;
}
} // namespace

SettingsView::SettingsView(Upscaler& upscaler, UpdateChecker& updater, QWidget* parent)
    : QWidget(parent)
{
    // The two notification settings read as on until the user turns them off, for this screen
    // and for every other reader (start-up registers the same defaults).
    AppSettings::registerDefaults();

    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, Theme::appBG());
    setPalette(background);

    auto* row = new QHBoxLayout(this);
    // The left column keeps kShadowRoom inside its scrolled area for the card's shadow, so the
    // outer margin and the gap to the panel are that much smaller.
    row->setContentsMargins(20 - kShadowRoom, 20, 20, 20);
    row->setSpacing(18 - kShadowRoom);

    auto* left = new PlainScrollArea(0, this);
    auto* leftContent = new QWidget(left);
    auto* leftColumn = new QVBoxLayout(leftContent);
    leftColumn->setContentsMargins(kShadowRoom, 0, kShadowRoom, kShadowRoom);
    leftColumn->setSpacing(14);
    m_savings = new SavingsCard(upscaler, false, leftContent);
    leftColumn->addWidget(m_savings);
    leftColumn->addStretch(1);
    left->setContent(leftContent);
    row->addWidget(left, 1);

    row->addWidget(buildPanel(updater), 0, Qt::AlignTop);
}

QWidget* SettingsView::buildPanel(UpdateChecker& updater)
{
    auto* card = new GlassCard(18, this);
    card->setFixedWidth(kPanelWidth);
    auto* cardLayout = new QVBoxLayout(card);
    cardLayout->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new PlainScrollArea(kPanelWidth, card);
    auto* panel = new QWidget(scroll);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(18, 18, 18, 18);
    column->setSpacing(12);

    auto* title = new QLabel(QStringLiteral("Settings"), panel);
    title->setFont(Theme::font(22, QFont::Bold));
    column->addWidget(title);

    column->addWidget(new FieldLabel(QStringLiteral("Notifications"), panel));
    m_notify = new SettingSwitchRow(QStringLiteral("Notify when an upscale finishes"),
                                    QStringLiteral("Shows an alert when a video is done or fails."),
                                    panel);
    m_sound = new SettingSwitchRow(QStringLiteral("Play a sound"),
                                   QStringLiteral("Uses the default notification sound."), panel);
    column->addWidget(m_notify);
    column->addWidget(m_sound);

    column->addWidget(divider(panel));
    column->addWidget(new FieldLabel(QStringLiteral("Saving"), panel));
    m_ask = new SettingSwitchRow(
        QStringLiteral("Ask where to save"),
        QStringLiteral("Off: upscaled files are saved next to the original automatically."), panel);
    column->addWidget(m_ask);

    column->addWidget(divider(panel));
    column->addWidget(new FieldLabel(QStringLiteral("About"), panel));
    m_about = new AboutSection(updater, panel);
    column->addWidget(m_about);

    column->addWidget(divider(panel));
    column->addWidget(new FieldLabel(QStringLiteral("Support"), panel));
    auto* support = new QVBoxLayout;
    support->setSpacing(6);
    support->addWidget(makeSecondaryLabel(
        QStringLiteral("Request a feature or get help — we'd love to hear from you."), 11, panel));
    QPushButton* mail = SettingsButtons::link(ProductInfo::supportAddress,
                                              QStringLiteral("envelope.fill"), 13, panel);
    support->addWidget(mail, 0, Qt::AlignLeft);
    column->addLayout(support);

    column->addWidget(makeSecondaryLabel(
        QStringLiteral("Local AI video & image upscaling. If notifications don't "
                       "appear, enable them in your desktop's notification "
                       "settings."),
        11, panel));
    column->addStretch(1);
    scroll->setContent(panel);
    cardLayout->addWidget(scroll);

    m_notify->setOn(AppSettings::notifyOnFinish());
    m_sound->setOn(AppSettings::notifyWithSound());
    m_ask->setOn(AppSettings::askWhereToSave());
    m_sound->setAvailable(m_notify->isOn());

    connect(m_notify, &SettingSwitchRow::toggled, this, [this](bool on) {
        AppSettings::setNotifyOnFinish(on);
        m_sound->setAvailable(on);
        // Turning notifications on asks the desktop for permission; the answer does not matter.
        if (on)
            Notifier::requestAuthorization();
    });
    connect(m_sound, &SettingSwitchRow::toggled, this,
            [](bool on) { AppSettings::setNotifyWithSound(on); });
    connect(m_ask, &SettingSwitchRow::toggled, this,
            [](bool on) { AppSettings::setAskWhereToSave(on); });
    connect(mail, &QPushButton::clicked, this, [] {
        SystemOpener::open(QUrl(QStringLiteral("mailto:") + ProductInfo::supportAddress));
    });
    return card;
}
