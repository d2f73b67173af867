#include "ui/components/HistoryCard.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/components/ElidedLabel.h"
#include "ui/components/GlassCard.h"
#include "ui/components/Icons.h"
#include "ui/components/StatusTag.h"
#include "ui/components/Theme.h"

namespace {
constexpr int kRowHeight = 36;

void setTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

QWidget* emptyState(const QString& icon, const QString& text, QWidget* parent)
{
    auto* area = new QWidget(parent);
    auto* column = new QVBoxLayout(area);
    column->addStretch();
    if (!icon.isEmpty()) {
        auto* glyph = new QLabel(area);
        glyph->setObjectName(QStringLiteral("emptyIcon"));
        glyph->setPixmap(
            Icons::pixmap(icon, QSize(30, 30), area->devicePixelRatioF(), Theme::secondaryText()));
        glyph->setAlignment(Qt::AlignCenter);
        column->addWidget(glyph);
    }
    auto* label = new QLabel(text, area);
    label->setObjectName(QStringLiteral("emptyText"));
    label->setFont(Theme::font(13));
    label->setAlignment(Qt::AlignCenter);
    setTextColor(label, Theme::secondaryText());
    column->addWidget(label);
    column->addStretch();
    return area;
}
} // namespace

HistoryCard::HistoryCard(const Texts& texts, const QList<Column>& columns, QWidget* parent)
    : QWidget(parent), m_texts(texts)
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* card = new GlassCard(18, this);
    outer->addWidget(card);
    auto* column = new QVBoxLayout(card);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(10);

    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    auto* title = new QLabel(QStringLiteral("History"), card);
    QFont titleFont = Theme::font(13, QFont::Bold);
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    title->setFont(titleFont);
    setTextColor(title, Theme::secondaryText());
    header->addWidget(title);
    header->addStretch();
    m_headerText = new QLabel(card);
    m_headerText->setFont(Theme::font(12));
    setTextColor(m_headerText, Theme::secondaryText());
    header->addWidget(m_headerText);
    m_deleteSelected = iconButton(QStringLiteral("trash"), QStringLiteral("Delete selected"),
                                  Theme::failureColor(), card);
    m_deselect = iconButton(QStringLiteral("xmark.circle"), QStringLiteral("Deselect"),
                            Theme::secondaryText(), card);
    m_clear = iconButton(QStringLiteral("trash"), QStringLiteral("Clear history"),
                         Theme::secondaryText(), card);
    header->addWidget(m_deleteSelected);
    header->addWidget(m_deselect);
    header->addWidget(m_clear);
    column->addLayout(header);

    m_table = new QTableWidget(0, int(columns.size()), card);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setShowGrid(false);
    m_table->setFrameShape(QFrame::NoFrame);
    m_table->setFocusPolicy(Qt::NoFocus);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(kRowHeight);
    m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_table->setStyleSheet(QStringLiteral(
        "QTableWidget { background: transparent; }"
        "QTableWidget::item:selected { background: rgba(79,108,255,28); }"
        "QHeaderView { background: transparent; }"
        "QHeaderView::section { background: transparent; border: none; "
        "border-bottom: 1px solid rgba(0,0,0,20); padding: 4px 6px; color: #6e6e73; }"));
    QHeaderView* columnsHeader = m_table->horizontalHeader();
    columnsHeader->setHighlightSections(false);
    columnsHeader->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    columnsHeader->setFont(Theme::font(11, QFont::DemiBold));
    QStringList titles;
    for (int i = 0; i < columns.size(); ++i) {
        titles.append(columns.at(i).title);
        if (columns.at(i).width > 0) {
            columnsHeader->setSectionResizeMode(i, QHeaderView::Fixed);
            m_table->setColumnWidth(i, columns.at(i).width);
        } else {
            columnsHeader->setSectionResizeMode(i, QHeaderView::Stretch);
        }
    }
    m_table->setHorizontalHeaderLabels(titles);

    m_empty = emptyState(texts.emptyIcon, texts.emptyText, card);
    m_body = new QStackedWidget(card);
    m_body->addWidget(m_table);
    m_body->addWidget(m_empty);
    column->addWidget(m_body, 1);

    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &HistoryCard::readSelection);
    connect(m_deleteSelected, &QToolButton::clicked, this, &HistoryCard::askDeleteSelected);
    connect(m_deselect, &QToolButton::clicked, this, [this] { setSelectedIds({}); });
    connect(m_clear, &QToolButton::clicked, this, &HistoryCard::askClear);
    refreshHeader();
}

void HistoryCard::setRows(const QList<QUuid>& ids, const CellFactory& cell)
{
    m_applying = true;
    m_table->clearSelection();
    m_table->setRowCount(0);
    m_ids = ids;
    m_table->setRowCount(int(ids.size()));
    for (int row = 0; row < ids.size(); ++row) {
        for (int col = 0; col < m_table->columnCount(); ++col) {
            if (QWidget* widget = cell ? cell(row, col) : nullptr)
                m_table->setCellWidget(row, col, widget);
        }
    }
    m_applying = false;
    const QSet<QUuid> listed(ids.cbegin(), ids.cend());
    const QSet<QUuid> kept = m_selected & listed;
    const bool changed = kept != m_selected;
    m_selected = kept;
    applySelection();
    m_body->setCurrentWidget(ids.isEmpty() ? m_empty : m_table);
    refreshHeader();
    if (changed)
        Q_EMIT selectionChanged(m_selected);
}

void HistoryCard::setSelectedIds(const QSet<QUuid>& ids)
{
    const QSet<QUuid> listed(m_ids.cbegin(), m_ids.cend());
    const QSet<QUuid> wanted = ids & listed;
    if (wanted == m_selected)
        return;
    m_selected = wanted;
    applySelection();
    refreshHeader();
    Q_EMIT selectionChanged(m_selected);
}

void HistoryCard::applySelection()
{
    m_applying = true;
    QItemSelection selection;
    for (int row = 0; row < m_ids.size(); ++row) {
        if (m_selected.contains(m_ids.at(row)))
            selection.select(m_table->model()->index(row, 0),
                             m_table->model()->index(row, m_table->columnCount() - 1));
    }
    m_table->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    m_applying = false;
}

void HistoryCard::readSelection()
{
    if (m_applying)
        return;
    QSet<QUuid> selected;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows()) {
        if (index.row() < m_ids.size())
            selected.insert(m_ids.at(index.row()));
    }
    if (selected == m_selected)
        return;
    m_selected = selected;
    refreshHeader();
    Q_EMIT selectionChanged(m_selected);
}

QString HistoryCard::headerText() const
{
    if (!m_selected.isEmpty())
        return selectedText(m_selected.size());
    if (!m_ids.isEmpty())
        return countText(m_ids.size(), m_texts.countStyle);
    return {};
}

void HistoryCard::refreshHeader()
{
    const bool selecting = !m_selected.isEmpty();
    m_headerText->setText(headerText());
    m_deleteSelected->setVisible(selecting);
    m_deselect->setVisible(selecting);
    m_clear->setVisible(!selecting && !m_ids.isEmpty());
}

QMessageBox* HistoryCard::openConfirmation() const
{
    return m_confirmation.data();
}

bool HistoryCard::showsEmptyState() const
{
    return m_body->currentWidget() == m_empty;
}

QMessageBox* HistoryCard::confirmation(const QString& title, const QString& message,
                                       const QString& keepLabel)
{
    if (m_confirmation)
        m_confirmation->close();
    auto* box = new QMessageBox(this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(title);
    box->setText(title);
    box->setInformativeText(message);
    box->setIcon(QMessageBox::Question);
    box->addButton(keepLabel, QMessageBox::AcceptRole);
    box->addButton(QStringLiteral("Delete history and files"), QMessageBox::DestructiveRole);
    box->setDefaultButton(box->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole));
    m_confirmation = box;
    return box;
}

void HistoryCard::askClear()
{
    if (m_ids.isEmpty())
        return;
    QMessageBox* box = confirmation(QStringLiteral("Clear history"), m_texts.clearMessage,
                                    QStringLiteral("Delete history only"));
    connect(box, &QMessageBox::buttonClicked, this, [this, box](QAbstractButton* button) {
        const QMessageBox::ButtonRole role = box->buttonRole(button);
        if (role == QMessageBox::AcceptRole)
            Q_EMIT clearConfirmed(false);
        else if (role == QMessageBox::DestructiveRole)
            Q_EMIT clearConfirmed(true);
    });
    box->open();
}

void HistoryCard::askDeleteSelected()
{
    if (m_selected.isEmpty())
        return;
    QMessageBox* box =
        confirmation(deleteSelectedTitle(m_selected.size()), m_texts.deleteSelectedMessage,
                     QStringLiteral("Delete from history only"));
    connect(box, &QMessageBox::buttonClicked, this, [this, box](QAbstractButton* button) {
        const QMessageBox::ButtonRole role = box->buttonRole(button);
        if (role != QMessageBox::AcceptRole && role != QMessageBox::DestructiveRole)
            return;
        const QSet<QUuid> ids = m_selected;
        Q_EMIT deleteConfirmed(ids, role == QMessageBox::DestructiveRole);
        setSelectedIds({});
    });
    box->open();
}

QString HistoryCard::countText(qsizetype count, CountStyle style)
{
    if (style == CountStyle::Number)
        return QString::number(count);
    return QString::number(count) +
           (count == 1 ? QStringLiteral(" item") : QStringLiteral(" items"));
}

QString HistoryCard::selectedText(qsizetype count)
{
    return QString::number(count) + QStringLiteral(" selected");
}

QString HistoryCard::deleteSelectedTitle(qsizetype count)
{
    return QStringLiteral("Delete ") + selectedText(count);
}

QString HistoryCard::abbreviatedPath(const QString& path)
{
    const QString home = QDir::homePath();
    if (home.isEmpty() || home == QStringLiteral("/"))
        return path;
    if (path == home)
        return QStringLiteral("~");
    if (path.startsWith(home + QLatin1Char('/')))
        return QLatin1Char('~') + path.mid(home.size());
    return path;
}

QWidget* HistoryCard::statusCell(bool success, const std::optional<QString>& error, bool centred)
{
    auto* cell = new QWidget;
    auto* row = new QHBoxLayout(cell);
    row->setContentsMargins(6, 0, 6, 0);
    auto* tag = new StatusTag(success, cell);
    if (error) {
        tag->setToolTip(QStringLiteral("Failed: ") + *error);
        tag->setAccessibleDescription(*error);
    }
    if (centred)
        row->addStretch();
    row->addWidget(tag);
    row->addStretch();
    return cell;
}

QString HistoryCard::rowTip(const QString& name, const QString& savedPath,
                            const std::optional<QString>& error)
{
    if (error)
        return name + QStringLiteral("\nFailed: ") + *error;
    if (!savedPath.isEmpty())
        return name + QStringLiteral("\nSaved as ") + abbreviatedPath(savedPath);
    return name;
}

QWidget* HistoryCard::nameCell(const QString& icon, const QString& name, const QString& tip)
{
    auto* cell = new QWidget;
    auto* row = new QHBoxLayout(cell);
    row->setContentsMargins(6, 0, 6, 0);
    row->setSpacing(8);
    auto* glyph = new QLabel(cell);
    glyph->setPixmap(
        Icons::pixmap(icon, QSize(16, 16), cell->devicePixelRatioF(), Theme::appAccent()));
    row->addWidget(glyph);
    auto* label = new ElidedLabel(name, cell);
    label->setObjectName(QStringLiteral("name"));
    label->setFont(Theme::font(13));
    row->addWidget(label, 1);
    cell->setToolTip(tip.isEmpty() ? name : tip);
    return cell;
}

QWidget* HistoryCard::textCell(const QString& text, bool small)
{
    auto* cell = new QWidget;
    auto* row = new QHBoxLayout(cell);
    row->setContentsMargins(6, 0, 6, 0);
    auto* label = new ElidedLabel(text, cell);
    label->setObjectName(QStringLiteral("text"));
    label->setFont(Theme::font(small ? 11 : 12));
    // The table's style sheet overrides palettes below it; a style sheet colour holds.
    const QColor secondary = Theme::secondaryText();
    label->setStyleSheet(QStringLiteral("color: rgba(%1, %2, %3, %4);")
                             .arg(secondary.red())
                             .arg(secondary.green())
                             .arg(secondary.blue())
                             .arg(secondary.alpha()));
    row->addWidget(label, 1);
    return cell;
}

QToolButton* HistoryCard::iconButton(const QString& icon, const QString& toolTip,
                                     const QColor& color, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setIcon(Icons::icon(icon, color));
    button->setIconSize(QSize(16, 16));
    button->setToolTip(toolTip);
    button->setAccessibleName(toolTip);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}
