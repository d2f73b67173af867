#include "ui/image/AccentSwitch.h"

#include <algorithm>

#include <QPainter>

#include "ui/components/Theme.h"

namespace {
constexpr int kTrackWidth = 34;
constexpr int kTrackHeight = 20;
constexpr int kGap = 12;
} // namespace

AccentSwitch::AccentSwitch(const QString& text, QWidget* parent) : QAbstractButton(parent)
{
    setText(text);
    setCheckable(true);
    setFont(Theme::font(13));
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize AccentSwitch::sizeHint() const
{
    const QFontMetrics metrics(font());
    return QSize(metrics.horizontalAdvance(text()) + kGap + kTrackWidth,
                 std::max(kTrackHeight + 4, metrics.height() + 4));
}

QSize AccentSwitch::minimumSizeHint() const
{
    return QSize(kTrackWidth + kGap + 40, sizeHint().height());
}

void AccentSwitch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        painter.setOpacity(0.5);
    const QRectF track(width() - kTrackWidth - 1, (height() - kTrackHeight) / 2.0, kTrackWidth,
                       kTrackHeight);
    const QRectF label(0, 0, track.left() - kGap, height());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(font());
    painter.drawText(label, Qt::AlignVCenter | Qt::AlignLeft,
                     fontMetrics().elidedText(text(), Qt::ElideRight, int(label.width())));

    painter.setPen(Qt::NoPen);
    painter.setBrush(isChecked() ? Theme::appAccent() : QColor(0, 0, 0, 38));
    painter.drawRoundedRect(track, kTrackHeight / 2.0, kTrackHeight / 2.0);
    const qreal knob = kTrackHeight - 4;
    const qreal x = isChecked() ? track.right() - 2 - knob : track.left() + 2;
    const QRectF knobRect(x, track.top() + 2, knob, knob);
    painter.setBrush(QColor(0, 0, 0, 30));
    painter.drawEllipse(knobRect.translated(0, 0.75));
    painter.setBrush(Qt::white);
    painter.drawEllipse(knobRect);
    if (hasFocus()) {
        painter.setPen(QPen(Theme::appAccent(), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(track.adjusted(-1.5, -1.5, 1.5, 1.5), kTrackHeight / 2.0 + 1.5,
                                kTrackHeight / 2.0 + 1.5);
    }
}
