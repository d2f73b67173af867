#pragma once

#include <QPointer>
#include <QWidget>

// A rounded card behind dashboard content, in one of three looks: the translucent glass card,
// the white dashboard card, or the header's white-to-accent wash. Each has a thin dark outline and
// a soft shadow below. The shadow reaches past the card, so it is painted on the parent: by the
// parent card itself when the parent is a CardSurface (after its own fill), otherwise before the
// parent paints its children. Give the card a layout for its content.
// Threading: main thread.
class CardSurface : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CardSurface)
public:
    enum class Style { Glass, White, Header };

    explicit CardSurface(Style style, qreal radius, QWidget* parent = nullptr);
    ~CardSurface() override;

    Style style() const { return m_style; }
    qreal radius() const { return m_radius; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watchParent();
    void updateShadowArea(const QRect& area);
    void paintShadow(QPainter& painter) const;

    const Style m_style;
    const qreal m_radius;
    QPointer<QWidget> m_watchedParent;
    QRect m_lastGeometry;
};
