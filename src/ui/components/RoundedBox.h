#pragma once

#include <QColor>
#include <QWidget>

// A plain rounded rectangle behind a group of widgets: a fill and, when given, a one-pixel
// outline just inside the edge. Give the box a layout for its content.
// Threading: main thread.
class RoundedBox final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RoundedBox)
public:
    // An invalid outline colour draws none.
    RoundedBox(const QColor& fill, const QColor& outline, qreal radius, QWidget* parent = nullptr);
    ~RoundedBox() override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const QColor m_fill;
    const QColor m_outline;
    const qreal m_radius;
};
