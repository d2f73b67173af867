#include "Segmented.h"

#include <algorithm>

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "ui/components/Theme.h"

namespace {
constexpr int kPadding = 4;
constexpr int kSpacing = 4;
constexpr int kLabelPadY = 8;
constexpr int kLabelPadX = 10;
constexpr qreal kOuterRadius = 11;
constexpr qreal kSegmentRadius = 8;
} // namespace

Segmented::Segmented(QWidget* parent) : QWidget(parent)
{
    setFont(Theme::font(13, QFont::DemiBold));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFocusPolicy(Qt::TabFocus);
    setMouseTracking(true);
}

Segmented::Segmented(const QList<Option>& options, const QVariant& selection, QWidget* parent)
    : Segmented(parent)
{
    m_options = options;
    m_selection = selection;
}

void Segmented::setOptions(const QList<Option>& options)
{
    m_options = options;
    m_pressed = -1;
    m_hovered = -1;
    updateGeometry();
    update();
}

void Segmented::setSelection(const QVariant& value)
{
    if (value == m_selection && value.metaType() == m_selection.metaType())
        return;
    m_selection = value;
    update();
    Q_EMIT selectionChanged(m_selection);
}

int Segmented::selectedIndex() const
{
    for (int i = 0; i < m_options.size(); ++i) {
        if (m_options.at(i).value == m_selection)
            return i;
    }
    return -1;
}

int Segmented::segmentHeight() const
{
    return fontMetrics().height() + 2 * kLabelPadY;
}

QRect Segmented::optionRect(int index) const
{
    const int count = static_cast<int>(m_options.size());
    if (index < 0 || index >= count)
        return {};
    const int inner = width() - 2 * kPadding - (count - 1) * kSpacing;
    // Spread the rounding remainder over the first segments so the row ends flush.
    const int base = inner / count;
    const int extra = inner % count;
    int x = kPadding;
    for (int i = 0; i < index; ++i)
        x += base + (i < extra ? 1 : 0) + kSpacing;
    const int segmentWidth = base + (index < extra ? 1 : 0);
    const int y = (height() - segmentHeight()) / 2;
    return QRect(x, y, segmentWidth, segmentHeight());
}

int Segmented::indexAt(const QPoint& position) const
{
    for (int i = 0; i < m_options.size(); ++i) {
        // Clicks in the gaps between segments count for the nearer one.
        if (optionRect(i)
                .adjusted(-kSpacing / 2, -kPadding, kSpacing / 2, kPadding)
                .contains(position))
            return i;
    }
    return -1;
}

QSize Segmented::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    int widest = 0;
    for (const Option& option : m_options)
        widest = std::max(widest, metrics.horizontalAdvance(option.label));
    const int count = static_cast<int>(std::max<qsizetype>(1, m_options.size()));
    const int w = 2 * kPadding + count * (widest + 2 * kLabelPadX) + (count - 1) * kSpacing;
    return QSize(w, segmentHeight() + 2 * kPadding);
}

QSize Segmented::minimumSizeHint() const
{
    return sizeHint();
}

void Segmented::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF outer(0, (height() - segmentHeight()) / 2.0 - kPadding, width(),
                       segmentHeight() + 2 * kPadding);
    Theme::paintMaterial(painter, outer, kOuterRadius, 0.06);
    if (hasFocus()) {
        QColor ring = Theme::appAccent();
        ring.setAlphaF(0.5f);
        painter.setPen(QPen(ring, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(outer.adjusted(1, 1, -1, -1), kOuterRadius, kOuterRadius);
    }
    const int selected = selectedIndex();
    for (int i = 0; i < m_options.size(); ++i) {
        const QRectF segment = optionRect(i);
        painter.setPen(Qt::NoPen);
        if (i == selected) {
            painter.setBrush(Theme::appAccentGradient(segment));
            painter.drawRoundedRect(segment, kSegmentRadius, kSegmentRadius);
            painter.setPen(Qt::white);
        } else {
            if (i == m_hovered || i == m_pressed) {
                painter.setBrush(QColor(0, 0, 0, i == m_pressed ? 20 : 10));
                painter.drawRoundedRect(segment, kSegmentRadius, kSegmentRadius);
            }
            painter.setPen(Theme::secondaryText());
        }
        const QString label = fontMetrics().elidedText(m_options.at(i).label, Qt::ElideRight,
                                                       static_cast<int>(segment.width()) - 4);
        painter.drawText(segment, Qt::AlignCenter, label);
    }
}

void Segmented::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_pressed = indexAt(event->position().toPoint());
    update();
}

void Segmented::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const int pressed = m_pressed;
    m_pressed = -1;
    update();
    // Like a button: the option is chosen when the press ends on the option it began on.
    if (pressed >= 0 && pressed == indexAt(event->position().toPoint()))
        setSelection(m_options.at(pressed).value);
}

void Segmented::mouseMoveEvent(QMouseEvent* event)
{
    const int hovered = indexAt(event->position().toPoint());
    if (hovered != m_hovered) {
        m_hovered = hovered;
        update();
    }
    QWidget::mouseMoveEvent(event);
}

void Segmented::leaveEvent(QEvent* event)
{
    m_hovered = -1;
    update();
    QWidget::leaveEvent(event);
}

void Segmented::keyPressEvent(QKeyEvent* event)
{
    const int count = static_cast<int>(m_options.size());
    if (count == 0 || (event->key() != Qt::Key_Left && event->key() != Qt::Key_Right)) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int step = event->key() == Qt::Key_Left ? -1 : 1;
    int index = selectedIndex();
    index = index < 0 ? (step > 0 ? 0 : count - 1) : std::clamp(index + step, 0, count - 1);
    setSelection(m_options.at(index).value);
}
