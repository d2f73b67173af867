#include "account/NetworkPolicy.h"

#include <QHostAddress>
#include <QNetworkReply>
#include <QTimer>
#include <QUrl>

namespace NetworkPolicy {

namespace {
constexpr char limitProperty[] = "korvane_network_limit";
constexpr char maxBytesProperty[] = "korvane_network_max_bytes";

void stop(QNetworkReply* reply, Limit limit)
{
    if (reply->isFinished())
        return;
    reply->setProperty(limitProperty, static_cast<int>(limit));
    reply->abort();
}
} // namespace

bool isLoopback(const QUrl& url)
{
    const QString host = url.host().toLower();
    if (host == QLatin1String("localhost"))
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

bool isSecureOrLoopback(const QUrl& url)
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("https") || (scheme == QLatin1String("http") && isLoopback(url));
}

bool redirectAllowed(const QUrl& from, const QUrl& to)
{
    if (!isSecureOrLoopback(to))
        return false;
    const bool fromSecure = from.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    const bool toSecure = to.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    return toSecure || !fromSecure;
}

void guardRedirects(QNetworkReply* reply)
{
    QObject::connect(reply, &QNetworkReply::redirected, reply, [reply](const QUrl& target) {
        // The target is relative to the address that answered with the redirect.
        if (redirectAllowed(reply->url(), reply->url().resolved(target)))
            Q_EMIT reply->redirectAllowed();
        else
            reply->abort();
    });
}

void bound(QNetworkReply* reply, std::chrono::milliseconds deadline, qint64 maxBytes)
{
    reply->setProperty(maxBytesProperty, maxBytes);
    auto* timer = new QTimer(reply);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, reply, [reply] { stop(reply, Limit::Deadline); });
    timer->start(deadline);
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                     [reply, maxBytes](qint64 received, qint64 total) {
                         if (received > maxBytes || total > maxBytes)
                             stop(reply, Limit::Size);
                     });
}

Limit exceededLimit(const QNetworkReply* reply)
{
    const QVariant limit = reply->property(limitProperty);
    if (limit.isValid())
        return static_cast<Limit>(limit.toInt());
    // A small server's whole answer can arrive before any progress is reported.
    const QVariant maxBytes = reply->property(maxBytesProperty);
    if (maxBytes.isValid() && reply->bytesAvailable() > maxBytes.toLongLong())
        return Limit::Size;
    return Limit::None;
}

} // namespace NetworkPolicy
