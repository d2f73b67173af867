#include "RatioFrame.h"

#include <algorithm>
#include <cmath>

RatioFrame::RatioFrame(qreal ratio, int headerHeight, QWidget* parent)
    : QWidget(parent), m_ratio(ratio), m_headerHeight(headerHeight)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void RatioFrame::setContent(QWidget* content)
{
    if (m_content == content)
        return;
    delete m_content;
    m_content = content;
    if (m_content) {
        m_content->setParent(this);
        m_content->show();
        place();
    }
}

void RatioFrame::setRatio(qreal ratio)
{
    if (qFuzzyCompare(ratio, m_ratio))
        return;
    m_ratio = ratio;
    place();
    updateGeometry();
}

QRect RatioFrame::fittedRect(const QSize& size) const
{
    const qreal videoHeight = std::max(0, size.height() - m_headerHeight);
    qreal width = size.width();
    qreal height = width / m_ratio;
    if (height > videoHeight) {
        height = videoHeight;
        width = height * m_ratio;
    }
    const int w = static_cast<int>(std::floor(width));
    const int h = static_cast<int>(std::floor(height)) + m_headerHeight;
    return QRect((size.width() - w) / 2, (size.height() - h) / 2, w, h);
}

QSize RatioFrame::sizeHint() const
{
    const int width = m_ratio >= 1 ? 480 : 240;
    return QSize(width, static_cast<int>(width / m_ratio) + m_headerHeight);
}

QSize RatioFrame::minimumSizeHint() const
{
    return QSize(80, 60);
}

void RatioFrame::resizeEvent(QResizeEvent* event)
{
    place();
    QWidget::resizeEvent(event);
}

void RatioFrame::place()
{
    if (m_content)
        m_content->setGeometry(fittedRect(size()));
}
