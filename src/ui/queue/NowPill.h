#pragma once

#include <optional>

#include <QWidget>

#include "processing/UpscaleJob.h"

class GradientProgressBar;
class QToolButton;
class QVariantAnimation;

// The collapsed now bar: the job in progress as a floating pill, or, while nothing runs or waits,
// how many jobs are interrupted. A click anywhere but the stop button asks to open the queue
// panel.
class NowPill final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NowPill)
public:
    explicit NowPill(QWidget* parent = nullptr);

    // Shows a running or waiting job and the number of jobs waiting behind it. Stop is offered
    // only for a running job.
    void setJob(const UpscaleJob& job, qsizetype waiting);
    // Shows only the number of interrupted jobs: no progress, no Stop.
    void setInterrupted(qsizetype count);
    // The texts as drawn, for tests and accessibility.
    QString nameText() const { return m_name; }
    QString statusText() const;
    QString badgeText() const;
    QToolButton* stopButton() const { return m_stop; }
    GradientProgressBar* progressBar() const { return m_progress; }
    // Starts the breathing of the icon circle (the first time the bar is shown).
    void startPulse();

    QSize sizeHint() const override;
    // The pill as drawn inside the widget, without the room its shadow takes.
    QRect visibleRect() const { return contentRect().toAlignedRect(); }

Q_SIGNALS:
    void openRequested();
    void stopRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QRectF contentRect() const;
    QRectF badgeRect() const;
    // The top of the icon row: lowered while no progress bar shows (interrupted jobs only).
    qreal rowTop() const;
    void layoutChildren();
    void describeForAccessibility();

    QString m_icon;
    QString m_name;
    QString m_status;
    QString m_eta;
    qsizetype m_waiting = 0;
    bool m_interrupted = false;
    QUuid m_jobId;
    double m_pulseScale = 1.0;
    QToolButton* m_stop;
    GradientProgressBar* m_progress;
    QVariantAnimation* m_pulse;
};
