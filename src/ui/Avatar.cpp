#include "ui/Avatar.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPainter>
#include <QPainterPath>

#include "ui/ProfileTexts.h"
#include "ui/components/Theme.h"

Avatar::Avatar(int size, QWidget* parent) : QWidget(parent), m_size(size)
{
    setFixedSize(size, size);
}

Avatar::~Avatar()
{
    if (m_reply)
        m_reply->abort();
}

void Avatar::setUser(const QString& urlString, const QString& name)
{
    m_name = name;
    update();
    if (urlString == m_url)
        return;
    m_url = urlString;
    m_picture = QImage();
    if (m_reply)
        m_reply->abort();
    const QUrl url(urlString, QUrl::StrictMode);
    if (urlString.isEmpty() || !url.isValid() || url.scheme().isEmpty())
        return;
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QNetworkRequest request(url);
    request.setTransferTimeout(30000);
    m_reply = m_network->get(request);
    QNetworkReply* reply = m_reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply, urlString] {
        reply->deleteLater();
        if (reply->error() != QNetworkReply::NoError || urlString != m_url)
            return;
        const QImage picture = QImage::fromData(reply->readAll());
        if (!picture.isNull()) {
            m_picture = picture;
            update();
        }
    });
}

QString Avatar::initials() const
{
    return ProfileTexts::initials(m_name);
}

void Avatar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF circle(0.5, 0.5, m_size - 1, m_size - 1);
    QPainterPath clip;
    clip.addEllipse(circle);
    painter.setClipPath(clip);
    painter.fillRect(circle, Theme::appAccentGradient(circle));
    painter.setPen(Qt::white);
    painter.setFont(Theme::font(0.4 * m_size, QFont::DemiBold));
    painter.drawText(circle, Qt::AlignCenter, initials());
    if (!m_picture.isNull()) {
        // Fill the circle, cropping the longer side.
        const QSize scaled = m_picture.size().scaled(m_size, m_size, Qt::KeepAspectRatioByExpanding);
        const QRectF target((m_size - scaled.width()) / 2.0, (m_size - scaled.height()) / 2.0,
                            scaled.width(), scaled.height());
        painter.drawImage(target, m_picture);
    }
    painter.setClipping(false);
    painter.setPen(QPen(QColor(0, 0, 0, 20), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(circle);
}
