#pragma once

#include <QList>
#include <QUuid>
#include <QWidget>

class JobQueue;
class QLabel;
class QVBoxLayout;

// A card listing the queue's running and waiting jobs of one kind (by icon), for the video and
// image screens. Shows nothing while it has nothing to list.
// Threading: main thread.
class JobProgressSection final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(JobProgressSection)
public:
    JobProgressSection(JobQueue& queue, const QString& iconFilter, const QString& title,
                       QWidget* parent = nullptr);

    // The ids of the listed jobs, in queue order.
    QList<QUuid> listedJobs() const { return m_listed; }
    QLabel* countLabel() const { return m_count; }

private:
    void refresh();
    QWidget* makeRow(const struct UpscaleJob& job);

    JobQueue& m_queue;
    QString m_iconFilter;
    QLabel* m_count;
    QVBoxLayout* m_rows;
    QList<QUuid> m_listed;
    QList<bool> m_listedRunning;
};
