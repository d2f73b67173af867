#include "ui/batch/BatchListCard.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/batch/BatchTexts.h"
#include "ui/components/Icons.h"
#include "ui/components/Theme.h"

namespace {
QLabel* makeLabel(const QString& text, const QFont& font, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Theme::secondaryText());
    label->setPalette(palette);
    return label;
}
} // namespace

BatchListCard::BatchListCard(const BatchScreenLook& look, QWidget* parent)
    : QWidget(parent), m_look(look)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);

    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    QFont titleFont = Theme::font(13, QFont::Bold);
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    header->addWidget(makeLabel(look.listTitle, titleFont, this));
    m_count = makeLabel(QString(), Theme::font(12), this);
    header->addWidget(m_count);
    header->addStretch();
    m_clear = new QToolButton(this);
    m_clear->setAutoRaise(true);
    m_clear->setIcon(Icons::icon(QStringLiteral("trash"), Theme::secondaryText()));
    m_clear->setIconSize(QSize(15, 15));
    m_clear->setToolTip(QStringLiteral("Clear list"));
    m_clear->setAccessibleName(QStringLiteral("Clear list"));
    connect(m_clear, &QToolButton::clicked, this, &BatchListCard::clearRequested);
    header->addWidget(m_clear);
    column->addLayout(header);

    m_empty = new QWidget(this);
    auto* emptyColumn = new QVBoxLayout(m_empty);
    emptyColumn->setSpacing(10);
    emptyColumn->addStretch();
    auto* emptyIcon = new QLabel(m_empty);
    emptyIcon->setPixmap(
        Icons::pixmap(look.emptyIcon, QSize(34, 34), devicePixelRatioF(), Theme::secondaryText()));
    emptyIcon->setAlignment(Qt::AlignCenter);
    emptyColumn->addWidget(emptyIcon);
    auto* emptyText = makeLabel(look.emptyText, Theme::font(13), m_empty);
    emptyText->setAlignment(Qt::AlignCenter);
    emptyText->setWordWrap(true);
    emptyColumn->addWidget(emptyText);
    emptyColumn->addStretch();
    column->addWidget(m_empty, 1);

    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setStyleSheet(QStringLiteral(
        "QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }"));
    auto* rowsHost = new QWidget(m_scroll);
    m_rowsLayout = new QVBoxLayout(rowsHost);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(4);
    m_rowsLayout->addStretch();
    m_scroll->setWidget(rowsHost);
    column->addWidget(m_scroll, 1);

    setEntries({}, false, 0);
}

void BatchListCard::setEntries(const QList<BatchListRow::Entry>& entries, bool running,
                               int completed)
{
    const bool empty = entries.isEmpty();
    m_count->setVisible(!empty);
    m_count->setText(BatchTexts::countText(completed, int(entries.size()), m_look.countSuffix));
    m_clear->setEnabled(!running && !empty);
    m_empty->setVisible(empty);
    m_scroll->setVisible(!empty);

    bool sameFiles = entries.size() == m_rows.size();
    for (qsizetype i = 0; sameFiles && i < entries.size(); ++i)
        sameFiles = m_rows.at(i)->entry().id == entries.at(i).id;
    if (!sameFiles)
        rebuildRows(entries);
    for (qsizetype i = 0; i < entries.size(); ++i)
        m_rows.at(i)->setEntry(entries.at(i), running);
}

void BatchListCard::rebuildRows(const QList<BatchListRow::Entry>& entries)
{
    // A row may be the one whose button asked for this change: it goes once that is handled.
    for (BatchListRow* row : std::as_const(m_rows)) {
        m_rowsLayout->removeWidget(row);
        row->hide();
        row->deleteLater();
    }
    m_rows.clear();
    QWidget* host = m_scroll->widget();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        auto* row = new BatchListRow(m_look.itemIcon, m_look.showsProgress, host);
        connect(row, &BatchListRow::removeRequested, this, &BatchListCard::removeRequested);
        connect(row, &BatchListRow::revealRequested, this, &BatchListCard::revealRequested);
        // Before the closing stretch.
        m_rowsLayout->insertWidget(int(i), row);
        row->show();
        m_rows.append(row);
    }
}
