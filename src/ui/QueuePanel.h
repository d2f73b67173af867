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

// The expanded now bar: the running job, the waiting jobs and the queue's actions.
// Threading: main thread.
class QueuePanel final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QueuePanel)
public:
    explicit QueuePanel(JobQueue& queue, QWidget* parent = nullptr);

    // Re-reads the queue. Rows are rebuilt only when the waiting jobs or the mode change.
    void refresh();

    QPushButton* stopButton() const { return m_stop; }
    QPushButton* changeQueueButton() const { return m_changeQueue; }
    QLabel* countLabel() const { return m_count; }
    QWidget* activeCard() const { return m_activeCard; }
    QLabel* reorderMessage() const { return m_reorderMessage; }
    QLabel* emptyLabel() const { return m_empty; }
    // The waiting rows, in order (each a QWidget whose objectName is the job id).
    QList<QWidget*> pendingRows() const;

Q_SIGNALS:
    void collapseRequested();
    void stopRequested();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void rebuildPendingRows();
    QWidget* makePendingRow(const struct UpscaleJob& job, bool reordering);

    JobQueue& m_queue;
    QLabel* m_count;
    QWidget* m_activeCard;
    QLabel* m_activeIcon;
    QLabel* m_activeName;
    QLabel* m_activeStatus;
    QLabel* m_activePercent;
    GradientProgressBar* m_activeProgress;
    QUuid m_activeId;
    QScrollArea* m_scroll;
    QWidget* m_rowsHost;
    QVBoxLayout* m_rows;
    QLabel* m_empty;
    QPushButton* m_stop;
    QPushButton* m_changeQueue;
    QLabel* m_reorderMessage;
    QList<QUuid> m_shownPending;
    bool m_shownReordering = false;
};
