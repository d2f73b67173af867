#pragma once

#include <QWidget>

class JobQueue;
class NowPill;
class QueuePanel;
class QGraphicsOpacityEffect;
class QPropertyAnimation;

// The floating view of the job queue, laid over the whole window: a pill at the bottom centre
// while a job runs, waits or is interrupted, and the queue panel at the top when opened, over a
// dimmed backdrop.
// It covers its parent but takes clicks only where it shows something.
// Threading: main thread.
class NowBar final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NowBar)
    Q_PROPERTY(bool expanded READ expanded WRITE setExpanded NOTIFY expandedChanged)
public:
    NowBar(JobQueue& queue, QWidget* parent);

    bool expanded() const { return m_expanded; }
    void setExpanded(bool expanded);
    // Closes the panel; leaving reorder mode lets the queue go on.
    void collapse();

    NowPill* pill() const { return m_pill; }
    QueuePanel* panel() const { return m_panel; }
    QWidget* backdrop() const { return m_backdrop; }
    // The height at the bottom of the window that the pill takes while it shows (0 otherwise):
    // the window's screens keep their content out of it.
    int reservedHeight() const { return m_reserved; }

Q_SIGNALS:
    void expandedChanged(bool expanded);
    void reservedHeightChanged(int height);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void refresh();
    void relayout();
    void fade(QWidget* widget, bool visible);

    JobQueue& m_queue;
    bool m_expanded = false;
    bool m_pulseStarted = false;
    // Whether the queue has anything to show: a running, waiting or interrupted job.
    bool m_shown = false;
    int m_reserved = 0;
    QWidget* m_backdrop;
    NowPill* m_pill;
    QueuePanel* m_panel;
};
