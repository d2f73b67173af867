#pragma once

#include <QColor>
#include <QList>
#include <QWidget>

#include "ui/home/DashboardFigures.h"

// A bar chart of the successful upscales per day: one rounded bar per point, filled with a
// gradient of the card's colour, the days labelled below, no count axis.
class ActivityChart final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ActivityChart)
public:
    explicit ActivityChart(const QColor& colour, QWidget* parent = nullptr);

    void setPoints(const QList<DashboardFigures::ActivityPoint>& points);
    const QList<DashboardFigures::ActivityPoint>& points() const { return m_points; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_colour;
    QList<DashboardFigures::ActivityPoint> m_points;
};
