#include "CompareImageCard.h"

#include <algorithm>

#include <QPainter>
#include <QVBoxLayout>

#include "ui/components/ElidedLabel.h"
#include "ui/components/Theme.h"

namespace {
constexpr int kNameGap = 6;
}

CompareImageCard::CompareImageCard(QWidget* parent) : QWidget(parent), m_name(new ElidedLabel)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_name->setFont(Theme::font(12, QFont::DemiBold));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(kNameGap);
    column->addWidget(m_name);
    column->addStretch(1);
}

void CompareImageCard::setImage(const QString& name, const QImage& image)
{
    m_name->setFullText(name);
    m_image = image;
    m_fitted = QPixmap();
    update();
}

QString CompareImageCard::name() const
{
    return m_name->fullText();
}

QRect CompareImageCard::pictureArea() const
{
    const int top = m_name->geometry().bottom() + 1 + kNameGap;
    return QRect(0, top, width(), std::max(0, height() - top));
}

void CompareImageCard::resizeEvent(QResizeEvent* event)
{
    m_fitted = QPixmap();
    QWidget::resizeEvent(event);
}

void CompareImageCard::paintEvent(QPaintEvent*)
{
    const QRect area = pictureArea();
    if (m_image.isNull() || area.isEmpty())
        return;
    const qreal dpr = devicePixelRatioF();
    const QSize wanted =
        m_image.size().scaled((QSizeF(area.size()) * dpr).toSize(), Qt::KeepAspectRatio);
    if (m_fitted.isNull() || m_fitted.size() != wanted) {
        m_fitted = QPixmap::fromImage(
            m_image.scaled(wanted, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        m_fitted.setDevicePixelRatio(dpr);
    }
    const QSizeF logical = m_fitted.deviceIndependentSize();
    QPainter painter(this);
    painter.drawPixmap(QPointF(area.x() + (area.width() - logical.width()) / 2,
                               area.y() + (area.height() - logical.height()) / 2),
                       m_fitted);
}
