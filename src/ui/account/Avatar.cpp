#include "ui/account/Avatar.h"

#include <chrono>

#include <QBuffer>
#include <QFutureWatcher>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPainter>
#include <QPainterPath>
#include <QtConcurrent/QtConcurrentRun>

#include "account/NetworkPolicy.h"

#include "ui/account/ProfileTexts.h"
#include "ui/components/Theme.h"

namespace {
constexpr std::chrono::milliseconds deadline{30000};
constexpr std::chrono::milliseconds silence{15000};
} // namespace

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
    // A profile names its picture; only a web address is fetched, never a local file or resource.
    const QUrl url(urlString, QUrl::StrictMode);
    if (!NetworkPolicy::isSecureOrLoopback(url))
        return;
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    QNetworkRequest request(url);
    request.setTransferTimeout(static_cast<int>(silence.count()));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    m_reply = m_network->get(request);
    QNetworkReply* reply = m_reply;
    NetworkPolicy::guardRedirects(reply);
    NetworkPolicy::bound(reply, deadline, maxPictureBytes);
    connect(reply, &QNetworkReply::finished, this, [this, reply, urlString] {
        reply->deleteLater();
        if (reply->error() != QNetworkReply::NoError || urlString != m_url ||
            NetworkPolicy::exceededLimit(reply) != NetworkPolicy::Limit::None)
            return;
        // Decoding a picture of a few megabytes is work for a worker thread.
        const QByteArray body = reply->readAll();
        auto* watcher = new QFutureWatcher<QImage>(this);
        connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher, urlString] {
            watcher->deleteLater();
            const QImage picture = watcher->result();
            if (urlString != m_url || picture.isNull())
                return;
            m_picture = picture;
            update();
            Q_EMIT pictureChanged();
        });
        watcher->setFuture(QtConcurrent::run([body, size = m_size] { return decode(body, size); }));
    });
}

QImage Avatar::decode(const QByteArray& bytes, int size)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize full = reader.size();
    if (!full.isValid() || full.width() > maxPictureSide || full.height() > maxPictureSide)
        return {};
    // Twice the circle's size keeps it sharp on high-density screens.
    const QSize wanted = full.scaled(2 * size, 2 * size, Qt::KeepAspectRatioByExpanding);
    if (wanted.width() < full.width())
        reader.setScaledSize(wanted);
    return reader.read();
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
        const QSize scaled =
            m_picture.size().scaled(m_size, m_size, Qt::KeepAspectRatioByExpanding);
        const QRectF target((m_size - scaled.width()) / 2.0, (m_size - scaled.height()) / 2.0,
                            scaled.width(), scaled.height());
        painter.drawImage(target, m_picture);
    }
    painter.setClipping(false);
    painter.setPen(QPen(QColor(0, 0, 0, 20), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(circle);
}
