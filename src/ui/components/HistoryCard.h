#pragma once

#include <optional>

#include <functional>

#include <QList>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QUuid>
#include <QWidget>

class QLabel;
class QMessageBox;
class QStackedWidget;
class QTableWidget;
class QToolButton;

// The history card of the video and image screens: a header, a table of finished items with
// multiple selection, an empty state, and the two confirmations that remove items.
//
// The screen supplies the columns, one id per row and a factory for each cell's widget; the card
// keeps the selection as a set of ids (kept across refreshes for ids still listed). Header, right
// of "History":
// - with a selection: "N selected", a red "trash" button ("Delete selected") that asks the
//   delete-selected confirmation, and an "xmark.circle" button ("Deselect");
// - otherwise, with rows: the count (see CountStyle) and a "trash" button ("Clear history") that
//   asks the clear confirmation;
// - otherwise nothing.
// The confirmations report the user's answer (clearConfirmed, deleteConfirmed), which
// applyConfirmationsTo carries out on the screen's model. After deleteConfirmed the card empties
// its selection. "Cancel" does nothing.
// Threading: main thread.
class HistoryCard final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HistoryCard)
public:
    // How the number of rows reads in the header: "3 items" / "1 item", or the number alone.
    enum class CountStyle { Items, Number };

    struct Column {
        QString title;
        int width = 0; // 0: the column shares the free width
    };

    struct Texts {
        QString emptyIcon;             // icon above the empty state's text; empty: none
        QString emptyText;             // for example "Upscaled videos appear here"
        QString clearMessage;          // message of the "Clear history" confirmation
        QString deleteSelectedMessage; // message of the "Delete N selected" confirmation
        CountStyle countStyle = CountStyle::Items;
    };

    // Builds the widget of one cell; row indexes the ids given to setRows.
    using CellFactory = std::function<QWidget*(qsizetype row, int column)>;

    HistoryCard(const Texts& texts, const QList<Column>& columns, QWidget* parent = nullptr);

    // Replaces every row; the selection keeps the ids that are still listed.
    void setRows(const QList<QUuid>& ids, const CellFactory& cell);
    QList<QUuid> rowIds() const { return m_ids; }

    // Carries out the confirmations' answers on a history model (the video or the image model):
    // "Delete history only" empties its history, "Delete from history only" keeps the other
    // entries in their order, and "Delete history and files" has the model remove the files too.
    template <typename Model> void applyConfirmationsTo(Model& model);

    QSet<QUuid> selectedIds() const { return m_selected; }
    void setSelectedIds(const QSet<QUuid>& ids);

    // What the header shows right of "History" ("2 selected", "3 items", "3" or nothing).
    QString headerText() const;
    // Opens the "Clear history" or the "Delete N selected" confirmation (as the header's trash
    // buttons do). The open confirmation, or nullptr.
    void askClear();
    void askDeleteSelected();
    QMessageBox* openConfirmation() const;

    QTableWidget* table() const { return m_table; }
    QToolButton* deleteSelectedButton() const { return m_deleteSelected; }
    QToolButton* deselectButton() const { return m_deselect; }
    QToolButton* clearButton() const { return m_clear; }
    // True while the empty state is shown instead of the table.
    bool showsEmptyState() const;

    // Header and confirmation texts.
    static QString countText(qsizetype count, CountStyle style);
    static QString selectedText(qsizetype count);
    static QString deleteSelectedTitle(qsizetype count);
    // The path with the home folder written "~".
    static QString abbreviatedPath(const QString& path);

    // Cell builders shared by the screens' tables.
    // An icon in the accent colour beside a name shortened in the middle.
    // The name with its icon; the tooltip tells rows of the same name apart (see rowTip).
    static QWidget* nameCell(const QString& icon, const QString& name, const QString& tip = {});
    // The success or failure tag; a failure's reason is its tooltip.
    static QWidget* statusCell(bool success, const std::optional<QString>& error, bool centred);
    // "clip.mov" over "Saved as ~/Videos/clip_upscaled.mp4" or "Failed: <reason>".
    static QString rowTip(const QString& name, const QString& savedPath,
                          const std::optional<QString>& error);
    // Secondary text, one line, shortened in the middle; small when asked.
    static QWidget* textCell(const QString& text, bool small = false);
    // A borderless icon button with a tooltip.
    static QToolButton* iconButton(const QString& icon, const QString& toolTip, const QColor& color,
                                   QWidget* parent = nullptr);

Q_SIGNALS:
    void selectionChanged(const QSet<QUuid>& ids);
    // "Delete history only" (deleteFiles false) or "Delete history and files" (true).
    void clearConfirmed(bool deleteFiles);
    // "Delete from history only" (false) or "Delete history and files" (true), for these ids.
    void deleteConfirmed(const QSet<QUuid>& ids, bool deleteFiles);

private:
    void readSelection();
    void applySelection();
    void refreshHeader();
    QMessageBox* confirmation(const QString& title, const QString& message,
                              const QString& keepLabel);

    Texts m_texts;
    QList<QUuid> m_ids;
    QSet<QUuid> m_selected;
    bool m_applying = false;
    QLabel* m_headerText;
    QToolButton* m_deleteSelected;
    QToolButton* m_deselect;
    QToolButton* m_clear;
    QStackedWidget* m_body;
    QTableWidget* m_table;
    QWidget* m_empty;
    QPointer<QMessageBox> m_confirmation;
};

template <typename Model> void HistoryCard::applyConfirmationsTo(Model& model)
{
    connect(this, &HistoryCard::clearConfirmed, &model, [&model](bool deleteFiles) {
        if (deleteFiles)
            model.clearHistory(true);
        else
            model.setHistory({});
    });
    connect(this, &HistoryCard::deleteConfirmed, &model,
            [&model](const QSet<QUuid>& ids, bool deleteFiles) {
                if (deleteFiles) {
                    model.deleteHistory(ids, true);
                    return;
                }
                auto kept = model.history();
                kept.removeIf([&ids](const auto& entry) { return ids.contains(entry.id); });
                model.setHistory(kept);
            });
}
