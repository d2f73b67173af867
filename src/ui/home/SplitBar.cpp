#include "SplitBar.h"

#include <algorithm>

#include <QPainter>

#include "ui/components/Theme.h"

namespace {
constexpr int kHeight = 6;
constexpr qreal kGap = 3;
} // namespace

SplitBar::SplitBar(QWidget* parent) : QWidget(parent)
{
    setFixedHeight(kHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void SplitBar::setCounts(qsizetype videos, qsizetype total)
{
    m_videos = std::max<qsizetype>(videos, 0);
    m_total = std::max<qsizetype>(total, 1);
    update();
}

qreal SplitBar::firstWidth() const
{
    return width() * static_cast<qreal>(m_videos) / static_cast<qreal>(m_total);
}

void SplitBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const qreal radius = height() / 2.0;
    const qreal first = std::min<qreal>(firstWidth(), width());
    if (first > 0) {
        painter.setBrush(Theme::appAccent());
        painter.drawRoundedRect(QRectF(0, 0, first, height()), radius, radius);
    }
    const qreal secondLeft = first > 0 ? first + kGap : 0;
    if (secondLeft < width()) {
        painter.setBrush(Theme::appAccent2());
        painter.drawRoundedRect(QRectF(secondLeft, 0, width() - secondLeft, height()), radius,
                                radius);
    }
}
