#pragma once

#include <QList>
#include <QWidget>

#include "ui/batch/BatchListRow.h"
#include "ui/batch/BatchScreenLook.h"

class QLabel;
class QScrollArea;
class QToolButton;
class QVBoxLayout;

// The content of a batch screen's list card: a header with the count and "Clear list", then
// one row per file, or a hint while the list is empty.
// Threading: main thread.
class BatchListCard final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BatchListCard)
public:
    explicit BatchListCard(const BatchScreenLook& look, QWidget* parent = nullptr);

    // Shows the files; rows are rebuilt only when the files themselves change.
    void setEntries(const QList<BatchListRow::Entry>& entries, bool running, int completed);

    const QList<BatchListRow*>& rows() const { return m_rows; }
    QLabel* countLabel() const { return m_count; }
    QToolButton* clearButton() const { return m_clear; }
    QWidget* emptyState() const { return m_empty; }

Q_SIGNALS:
    void clearRequested();
    void removeRequested(const QUuid& id);
    void revealRequested(const QUrl& output);

private:
    void rebuildRows(const QList<BatchListRow::Entry>& entries);

    BatchScreenLook m_look;
    QLabel* m_count;
    QToolButton* m_clear;
    QWidget* m_empty;
    QScrollArea* m_scroll;
    QVBoxLayout* m_rowsLayout;
    QList<BatchListRow*> m_rows;
};
