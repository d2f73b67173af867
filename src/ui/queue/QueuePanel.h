#pragma once

#include <QList>
#include <QUuid>
#include <QWidget>

class GradientProgressBar;
class JobQueue;
class QLabel;
class QPushButton;
class QScrollArea;
class QToolButton;
class QVBoxLayout;

// The expanded now bar: the running job, the waiting jobs, the interrupted jobs (to resume or
// discard) and the queue's actions.
// Threading: main thread.
class QueuePanel final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QueuePanel)
public:
    explicit QueuePanel(JobQueue& queue, QWidget* parent = nullptr);

    // Re-reads the queue. Rows are rebuilt only when the waiting jobs, the interrupted jobs or the
    // mode change.
    void refresh();

    QPushButton* stopButton() const { return m_stop; }
    QPushButton* changeQueueButton() const { return m_changeQueue; }
    QLabel* countLabel() const { return m_count; }
    QWidget* activeCard() const { return m_activeCard; }
    QLabel* reorderMessage() const { return m_reorderMessage; }
    QLabel* emptyLabel() const { return m_empty; }
    // The waiting rows, in order (each a QWidget whose objectName is the job id).
    QList<QWidget*> pendingRows() const;
    // The "Interrupted" section's caption and rows, in order (objectName: the job id). A row has
    // a "Resume" button unless the job can't be resumed, and always a "Discard" one.
    QLabel* interruptedCaption() const { return m_interruptedCaption; }
    QList<QWidget*> interruptedRows() const;

Q_SIGNALS:
    void collapseRequested();
    void stopRequested();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // A scrolling column of job rows.
    struct RowList {
        QScrollArea* scroll = nullptr;
        QWidget* host = nullptr;
        QVBoxLayout* rows = nullptr;
    };
    RowList makeRowList();
    static QList<QWidget*> rowsOf(const RowList& list);
    // Replaces the rows of list by rows, in order.
    void setRows(const RowList& list, const QList<QWidget*>& rows) const;
    void rebuildPendingRows();
    void rebuildInterruptedRows();
    QWidget* makePendingRow(const struct UpscaleJob& job, bool reordering);
    QWidget* makeInterruptedRow(const struct UpscaleJob& job);

    JobQueue& m_queue;
    QLabel* m_count;
    QWidget* m_activeCard;
    QLabel* m_activeIcon;
    QLabel* m_activeName;
    QLabel* m_activeStatus;
    QLabel* m_activePercent;
    GradientProgressBar* m_activeProgress;
    QUuid m_activeId;
    QLabel* m_upNextCaption;
    RowList m_pending;
    QLabel* m_empty;
    QLabel* m_interruptedCaption;
    RowList m_interrupted;
    QPushButton* m_stop;
    QPushButton* m_changeQueue;
    QLabel* m_reorderMessage;
    QList<QUuid> m_shownPending;
    QList<QUuid> m_shownInterrupted;
    bool m_shownReordering = false;
};
