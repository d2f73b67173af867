#include "CompareControlPane.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/components/ElidedLabel.h"
#include "ui/components/FieldLabel.h"
#include "ui/components/GlassCard.h"
#include "ui/components/Icons.h"
#include "ui/components/Labels.h"
#include "ui/components/RoundedBox.h"
#include "ui/components/Segmented.h"
#include "ui/components/Theme.h"

namespace {

constexpr int kPaneWidth = 340;
constexpr int kPanePadding = 18;
constexpr int kSlotCircle = 24;

// The slot letter in a circle: accent with a white letter while the slot is filled, otherwise
// faint with a secondary letter.
class SlotBadge final : public QWidget {
public:
    SlotBadge(const QString& letter, QWidget* parent = nullptr) : QWidget(parent), m_letter(letter)
    {
        setFixedSize(kSlotCircle, kSlotCircle);
    }
    void setFilled(bool filled)
    {
        m_filled = filled;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_filled ? Theme::appAccent() : QColor(0, 0, 0, 20));
        painter.drawEllipse(QRectF(rect()));
        painter.setPen(m_filled ? QColor(Qt::white) : Theme::secondaryText());
        painter.setFont(Theme::font(12, QFont::Bold));
        painter.drawText(rect(), Qt::AlignCenter, m_letter);
    }

private:
    QString m_letter;
    bool m_filled = false;
};

QPushButton* makeBorderedButton(const QString& icon, const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(Icons::icon(icon), text, parent);
    button->setCursor(Qt::PointingHandCursor);
    button->setFont(Theme::font(13));
    return button;
}

} // namespace

CompareControlPane::CompareControlPane(QWidget* parent)
    : QWidget(parent), m_typeIcon(new QLabel), m_typeText(new QLabel),
      m_view(new Segmented(
          Segmented::optionsOf<bool>({{tr("Slider"), true}, {tr("Side by Side"), false}}), true)),
      m_videoSection(new QWidget),
      m_aspect(new Segmented(
          Segmented::optionsOf<bool>({{tr("Landscape"), false}, {tr("Portrait"), true}}), false)),
      m_sync(new QCheckBox(tr("Sync videos"))), m_loop(new QCheckBox(tr("Loop videos"))),
      m_reset(makeBorderedButton(QStringLiteral("arrow.counterclockwise"), tr("Reset"), nullptr))
{
    setFixedWidth(kPaneWidth);
    auto* card = new GlassCard(18, this);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(card);

    auto* column = new QVBoxLayout(card);
    column->setContentsMargins(kPanePadding, kPanePadding, kPanePadding, kPanePadding);
    column->setSpacing(14);

    auto* title = new QLabel(tr("Compare"));
    title->setFont(Theme::font(20, QFont::Bold));
    column->addWidget(title);

    // Type: what the two slots hold.
    auto* typeBox = new RoundedBox(QColor(0, 0, 0, 10), QColor(), 10);
    auto* typeRow = new QHBoxLayout(typeBox);
    typeRow->setContentsMargins(10, 10, 10, 10);
    typeRow->setSpacing(8);
    m_typeIcon->setFixedSize(16, 16);
    m_typeText->setObjectName(QStringLiteral("typeText"));
    m_typeText->setFont(Theme::font(13, QFont::DemiBold));
    typeRow->addWidget(m_typeIcon);
    typeRow->addWidget(m_typeText, 1);
    auto* typeGroup = new QVBoxLayout;
    typeGroup->setSpacing(6);
    typeGroup->addWidget(new FieldLabel(tr("Type")));
    typeGroup->addWidget(typeBox);
    column->addLayout(typeGroup);

    // Selection: the two slots.
    auto* slotsBox = new RoundedBox(QColor(0, 0, 0, 10), QColor(), 10);
    auto* slots = new QVBoxLayout(slotsBox);
    slots->setContentsMargins(10, 8, 10, 8);
    slots->setSpacing(8);
    slots->addWidget(makeSlotRow(CompareSlot::A, m_rowA));
    slots->addWidget(makeSlotRow(CompareSlot::B, m_rowB));
    auto* selectionGroup = new QVBoxLayout;
    selectionGroup->setSpacing(6);
    selectionGroup->addWidget(new FieldLabel(tr("Selection")));
    selectionGroup->addWidget(slotsBox);
    column->addLayout(selectionGroup);

    auto* add = makeBorderedButton(QStringLiteral("plus"), tr("Add videos or images"), nullptr);
    add->setObjectName(QStringLiteral("paneAdd"));
    column->addWidget(add);
    connect(add, &QPushButton::clicked, this, &CompareControlPane::addClicked);

    auto* viewGroup = new QVBoxLayout;
    viewGroup->setSpacing(6);
    viewGroup->addWidget(new FieldLabel(tr("View")));
    m_view->setObjectName(QStringLiteral("viewControl"));
    viewGroup->addWidget(m_view);
    column->addLayout(viewGroup);
    connect(m_view, &Segmented::selectionChanged, this,
            [this](const QVariant& value) { Q_EMIT sliderModeChosen(value.toBool()); });

    // Only for videos: aspect ratio and playback.
    auto* videoColumn = new QVBoxLayout(m_videoSection);
    videoColumn->setContentsMargins(0, 0, 0, 0);
    videoColumn->setSpacing(6);
    videoColumn->addWidget(new FieldLabel(tr("Aspect Ratio")));
    m_aspect->setObjectName(QStringLiteral("aspectControl"));
    videoColumn->addWidget(m_aspect);
    videoColumn->addSpacing(8);
    videoColumn->addWidget(new FieldLabel(tr("Playback")));
    for (QCheckBox* box : {m_sync, m_loop}) {
        box->setFont(Theme::font(13));
        QPalette palette = box->palette();
        palette.setColor(QPalette::Highlight, Theme::appAccent());
        box->setPalette(palette);
        videoColumn->addWidget(box);
    }
    m_sync->setObjectName(QStringLiteral("syncSwitch"));
    m_loop->setObjectName(QStringLiteral("loopSwitch"));
    column->addWidget(m_videoSection);
    connect(m_aspect, &Segmented::selectionChanged, this,
            [this](const QVariant& value) { Q_EMIT portraitChosen(value.toBool()); });
    connect(m_sync, &QCheckBox::toggled, this, &CompareControlPane::syncToggled);
    connect(m_loop, &QCheckBox::toggled, this, &CompareControlPane::loopToggled);

    m_reset->setObjectName(QStringLiteral("reset"));
    column->addWidget(m_reset);
    connect(m_reset, &QPushButton::clicked, this, &CompareControlPane::resetClicked);
    column->addStretch(1);

    apply(State{});
}

QWidget* CompareControlPane::makeSlotRow(CompareSlot slot, SlotRow& row)
{
    const bool isA = slot == CompareSlot::A;
    auto* widget = new QWidget;
    widget->setObjectName(isA ? QStringLiteral("slotA") : QStringLiteral("slotB"));
    auto* layout = new QHBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);

    row.badge = new SlotBadge(isA ? QStringLiteral("A") : QStringLiteral("B"));
    row.name = new ElidedLabel;
    row.name->setObjectName(QStringLiteral("slotName"));
    row.name->setFont(Theme::font(13, QFont::Medium));
    row.kind = new QLabel;
    row.kind->setFont(Theme::font(11));
    Labels::setTextColour(*row.kind, Theme::secondaryText());
    row.clear = new QToolButton;
    row.clear->setObjectName(QStringLiteral("clearSlot"));
    row.clear->setIcon(Icons::icon(QStringLiteral("xmark.circle.fill"), Theme::secondaryText()));
    row.clear->setIconSize(QSize(16, 16));
    row.clear->setAutoRaise(true);
    row.clear->setCursor(Qt::PointingHandCursor);
    row.clear->setToolTip(tr("Empty this slot"));
    connect(row.clear, &QToolButton::clicked, this,
            [this, slot] { Q_EMIT clearSlotClicked(slot); });

    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    texts->addWidget(row.name);
    texts->addWidget(row.kind);
    layout->addWidget(row.badge);
    layout->addLayout(texts, 1);
    layout->addWidget(row.clear);
    return widget;
}

void CompareControlPane::showSlot(SlotRow& row, const std::optional<CompareItem>& item)
{
    static_cast<SlotBadge*>(row.badge)->setFilled(item.has_value());
    row.name->setFullText(item ? item->fileName() : tr("Tap an item in the strip"));
    Labels::setTextColour(*row.name, item ? Icons::defaultColor() : Theme::secondaryText());
    row.kind->setText(item ? (item->isVideo ? tr("Video") : tr("Image")) : QString());
    row.kind->setVisible(item.has_value());
    row.clear->setVisible(item.has_value());
}

void CompareControlPane::apply(const State& state)
{
    struct Look {
        const char* icon;
        QString text;
        QColor color;
    };
    Look look{"questionmark.circle", tr("Auto — add files to detect"), Theme::secondaryText()};
    if (state.detectedKind == QLatin1String("Mixed"))
        look = {"exclamationmark.triangle", tr("Mixed types"), QColor(255, 149, 0)};
    else if (state.detectedKind == QLatin1String("Video"))
        look = {"film", tr("Video"), Theme::appAccent()};
    else if (state.detectedKind == QLatin1String("Image"))
        look = {"photo", tr("Image"), Theme::appAccent()};
    m_typeIcon->setPixmap(
        Icons::pixmap(QLatin1String(look.icon), QSize(16, 16), devicePixelRatioF(), look.color));
    m_typeText->setText(look.text);
    Labels::setTextColour(*m_typeText, look.color);

    showSlot(m_rowA, state.itemA);
    showSlot(m_rowB, state.itemB);

    const QSignalBlocker viewBlocker(m_view);
    const QSignalBlocker aspectBlocker(m_aspect);
    const QSignalBlocker syncBlocker(m_sync);
    const QSignalBlocker loopBlocker(m_loop);
    m_view->setSelection(state.sliderMode);
    m_aspect->setSelection(state.portrait);
    m_sync->setChecked(state.sync);
    m_loop->setChecked(state.loop);
    m_videoSection->setVisible(state.detectedKind == QLatin1String("Video"));
    m_reset->setVisible(state.hasItems);
}

QString CompareControlPane::typeText() const
{
    return m_typeText->text();
}

QString CompareControlPane::slotText(CompareSlot slot) const
{
    return (slot == CompareSlot::A ? m_rowA : m_rowB).name->fullText();
}
