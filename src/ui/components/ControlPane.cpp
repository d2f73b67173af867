#include "ui/components/ControlPane.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include "ui/components/FieldLabel.h"
#include "ui/components/GlassCard.h"
#include "ui/components/ProminentButton.h"
#include "ui/components/Theme.h"

namespace {
constexpr int kWidth = 340;
constexpr int kPadding = 18;
constexpr int kItemSpacing = 16;
} // namespace

ControlPane::ControlPane(const QString& title, QWidget* parent) : QWidget(parent)
{
    setFixedWidth(kWidth);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* card = new GlassCard(18, this);
    outer->addWidget(card);
    auto* cardColumn = new QVBoxLayout(card);
    cardColumn->setContentsMargins(0, 0, 0, kPadding);
    cardColumn->setSpacing(12);

    // Everything but the primary button scrolls, on a transparent ground so that the card shows
    // through, with a slim scroll bar.
    auto* scroll = new QScrollArea(card);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setStyleSheet(QStringLiteral(
        "QScrollArea, QScrollArea > QWidget > QWidget#paneContent { background: transparent; }"
        "QScrollBar:vertical { background: transparent; width: 6px; margin: 4px 2px 4px 0; }"
        "QScrollBar::handle:vertical { background: rgba(0,0,0,50); border-radius: 2px; "
        "min-height: 24px; }"
        "QScrollBar::add-line, QScrollBar::sub-line { height: 0; }"
        "QScrollBar::add-page, QScrollBar::sub-page { background: transparent; }"));
    m_content = new QWidget(scroll);
    m_content->setObjectName(QStringLiteral("paneContent"));
    scroll->setWidget(m_content);
    cardColumn->addWidget(scroll, 1);

    auto* column = new QVBoxLayout(m_content);
    column->setContentsMargins(kPadding, kPadding, kPadding, 0);
    column->setSpacing(kItemSpacing);
    QLabel* heading = label(title, Theme::font(22, QFont::Bold),
                            palette().color(QPalette::WindowText), m_content);
    heading->setWordWrap(false);
    column->addWidget(heading);
    m_items = new QVBoxLayout;
    m_items->setSpacing(kItemSpacing);
    column->addLayout(m_items);
    column->addStretch(1);
    m_footer = new QVBoxLayout;
    m_footer->setSpacing(kItemSpacing);
    column->addLayout(m_footer);

    m_primary = new ProminentButton(QString(), QString(), ProminentButton::Size::Large, card);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->setContentsMargins(kPadding, 0, kPadding, 0);
    buttonRow->addWidget(m_primary);
    cardColumn->addLayout(buttonRow);
}

void ControlPane::addItem(QWidget* item)
{
    item->setParent(m_content);
    m_items->addWidget(item);
}

QWidget* ControlPane::addField(const QString& caption, QWidget* control, const QString& note)
{
    auto* group = new QWidget(m_content);
    auto* column = new QVBoxLayout(group);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    column->addWidget(new FieldLabel(caption, group));
    control->setParent(group);
    column->addWidget(control);
    if (!note.isEmpty())
        column->addWidget(label(note, Theme::font(11), Theme::secondaryText(), group));
    m_items->addWidget(group);
    return group;
}

void ControlPane::addFooterItem(QWidget* item)
{
    item->setParent(m_content);
    m_footer->addWidget(item);
}

QLabel* ControlPane::label(const QString& text, const QFont& font, const QColor& color,
                           QWidget* parent)
{
    auto* made = new QLabel(text, parent);
    made->setFont(font);
    made->setTextFormat(Qt::PlainText);
    made->setWordWrap(true);
    QPalette palette = made->palette();
    palette.setColor(QPalette::WindowText, color);
    made->setPalette(palette);
    return made;
}
