#pragma once

#include <QPointer>
#include <QWidget>

// A container drawn in the glass card look (translucent rounded fill, thin outline, soft shadow).
// The card fills the widget; its shadow is painted on the parent widget, under the card, so the
// card takes no extra room in layouts. A parent that paints its own opaque background in
// paintEvent covers that shadow and should call Theme::paintGlassShadow itself. Give the card a
// layout for its content.
class GlassCard final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GlassCard)
public:
    explicit GlassCard(qreal radius = 16, QWidget* parent = nullptr);
    ~GlassCard() override;

    qreal radius() const { return m_radius; }
    void setRadius(qreal radius);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watchParent();
    void updateShadowArea(const QRect& geometry);

    qreal m_radius;
    QPointer<QWidget> m_watchedParent;
    QRect m_lastGeometry;
};
