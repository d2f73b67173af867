#pragma once

#include <QPointer>
#include <QWidget>

// A rounded card behind content, in one of three looks: the translucent glass card (the default),
// the opaque white card, or the white-to-accent wash of a header. Each has a thin dark outline and
// a soft shadow below. The card fills the widget; its shadow reaches past it, so it is painted on
// the parent and the card takes no extra room in layouts. An opaque card paints the shadows of the
// cards inside it over its own fill; on any other parent the shadow is painted before the parent
// paints itself, so a parent that paints its own opaque background in paintEvent covers it and
// should call Theme::paintGlassShadow itself. Give the card a layout for its content.
// Threading: main thread.
class GlassCard : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GlassCard)
public:
    enum class Style { Glass, White, Header };

    explicit GlassCard(qreal radius = 16, QWidget* parent = nullptr);
    GlassCard(Style style, qreal radius, QWidget* parent = nullptr);
    ~GlassCard() override;

    Style style() const { return m_style; }
    qreal radius() const { return m_radius; }
    void setRadius(qreal radius);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool isOpaque() const { return m_style != Style::Glass; }
    // The parent when it is an opaque card, which paints this card's shadow itself.
    GlassCard* opaqueParentCard() const;
    void watchParent();
    void updateShadowArea(const QRect& area);
    void paintShadow(QPainter& painter) const;

    const Style m_style;
    qreal m_radius;
    QPointer<QWidget> m_watchedParent;
    QRect m_lastGeometry;
};
