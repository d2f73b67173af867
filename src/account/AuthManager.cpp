#include "account/AuthManager.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QThread>

#include "account/AccountStore.h"
#include "account/NetworkPolicy.h"
#include "account/SystemOpener.h"

namespace {
const QString productionApiBase = QStringLiteral("https://api.korvane.app");
constexpr qint64 refreshAfterSeconds = 864000; // ten days
// The profile request may take up to its deadline, but not sit silent for longer than this.
constexpr std::chrono::milliseconds requestSilence{30000};
const QString decodingText =
    QStringLiteral("The data couldn't be read because it isn't in the correct format.");
const QString invalidLinkText =
    QStringLiteral("The sign-in link wasn't valid. Please try signing in again.");

// What a user reads when the profile request does not get through.
QString networkErrorText(const QNetworkReply* reply)
{
    switch (reply->error()) {
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return QStringLiteral("The request timed out.");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("A server with the specified hostname could not be found.");
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("Could not connect to the server.");
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
        return QStringLiteral("The Internet connection appears to be offline.");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("An SSL error has occurred and a secure connection to the server "
                              "cannot be made.");
    default:
        return reply->errorString();
    }
}

bool isTransportError(QNetworkReply::NetworkError error)
{
    // Codes below 200 are connection and proxy failures; above are answers with an HTTP status.
    return error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied;
}
} // namespace

AuthManager& AuthManager::shared()
{
    static AuthManager* const instance = new AuthManager();
    return *instance;
}

AuthManager::AuthManager(std::chrono::milliseconds requestTimeout, QObject* parent)
    : QObject(parent), m_apiBase(configuredApiBase()), m_requestTimeout(requestTimeout),
      m_network(new QNetworkAccessManager(this))
{
    m_token = AccountStore::token(tokenKey());
    loadCache();
    if (!m_token)
        return;
    // A token stored before the file was made private is protected now.
    AccountStore::restrictToOwner();
    const std::optional<QDateTime> last = AccountStore::lastCheck();
    const bool refresh =
        !last || last->secsTo(QDateTime::currentDateTimeUtc()) >= refreshAfterSeconds || !m_user;
    if (refresh)
        QMetaObject::invokeMethod(this, &AuthManager::fetchMe, Qt::QueuedConnection);
}

AuthManager::~AuthManager()
{
    // Answers still in flight must not reach a half-destroyed object.
    const QList<QNetworkReply*> replies = m_network->findChildren<QNetworkReply*>();
    for (QNetworkReply* reply : replies)
        reply->disconnect(this);
}

bool AuthManager::isValidToken(const QString& token)
{
    static const QRegularExpression b64token(QStringLiteral("^[A-Za-z0-9._~+/-]+=*$"));
    return !token.isEmpty() && token.size() <= maxTokenLength && b64token.match(token).hasMatch();
}

QString AuthManager::configuredApiBase()
{
    QString base = qEnvironmentVariable("KORVANE_API_BASE");
    if (base.isEmpty())
        base = productionApiBase;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base;
}

QString AuthManager::tokenKey() const
{
    return AccountStore::tokenKey(QUrl(m_apiBase).host());
}

QUrl AuthManager::loginUrl(const QString& provider) const
{
    const QUrl url(m_apiBase + QStringLiteral("/auth/") + provider + QStringLiteral("/start"),
                   QUrl::StrictMode);
    return url.isValid() && !url.isRelative() ? url : QUrl();
}

void AuthManager::startLogin(const QString& provider)
{
    Q_ASSERT(QThread::currentThread() == thread());
    const QUrl url = loginUrl(provider);
    if (url.isEmpty())
        return;
    setErrorText(std::nullopt);
    if (!SystemOpener::open(url))
        setErrorText(QStringLiteral("Couldn't open your web browser to sign in."));
}

void AuthManager::handle(const QUrl& url)
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (url.scheme().isEmpty() || url.scheme().toLower() != callbackScheme())
        return;
    if (!url.host().isEmpty() && url.host().toLower() == QLatin1String("auth")) {
        if (const std::optional<QString> t = queryValue(url, QStringLiteral("token"))) {
            if (!isValidToken(*t)) {
                setErrorText(invalidLinkText);
            } else {
                // Another account's profile and requests do not carry over to this token.
                if (m_token != t) {
                    abortFetch();
                    setUser(std::nullopt);
                    clearCache();
                }
                AccountStore::setToken(tokenKey(), *t);
                setToken(*t);
                QMetaObject::invokeMethod(this, &AuthManager::fetchMe, Qt::QueuedConnection);
            }
        }
    }
    Q_EMIT activationRequested();
}

void AuthManager::fetchMe()
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (!m_token)
        return;
    // One request per token at a time.
    if (m_fetch && m_fetchToken == *m_token)
        return;
    abortFetch();
    setChecking(true);
    QNetworkRequest request(QUrl(m_apiBase + QStringLiteral("/me")));
    request.setTransferTimeout(
        static_cast<int>(std::min(m_requestTimeout, requestSilence).count()));
    // Qt would copy the Authorization header into a redirected request: only the same origin.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::SameOriginRedirectPolicy);
    request.setRawHeader("Authorization", "Bearer " + m_token->toUtf8());
    QNetworkReply* reply = m_network->get(request);
    NetworkPolicy::bound(reply, m_requestTimeout, maxProfileBytes);
    m_fetch = reply;
    m_fetchToken = *m_token;
    connect(reply, &QNetworkReply::finished, this, [this, reply, token = *m_token] {
        reply->deleteLater();
        if (m_fetch == reply)
            m_fetch = nullptr;
        finishFetch(reply, token);
    });
}

void AuthManager::abortFetch()
{
    if (!m_fetch)
        return;
    QNetworkReply* reply = std::exchange(m_fetch, nullptr);
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
    setChecking(false);
}

void AuthManager::finishFetch(QNetworkReply* reply, const QString& token)
{
    // An answer for a token that was signed out or replaced meanwhile changes nothing.
    if (m_token != token)
        return;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (NetworkPolicy::exceededLimit(reply) == NetworkPolicy::Limit::Size) {
        failFetch(decodingText);
    } else if (isTransportError(reply->error()) || !status.isValid()) {
        failFetch(networkErrorText(reply));
    } else if (status.toInt() == 401) {
        signOut();
    } else if (std::optional<UserInfo> user = UserInfo::decodeMe(reply->readAll())) {
        setUser(std::move(user));
        saveCache();
    } else {
        failFetch(decodingText);
    }
    setChecking(false);
}

void AuthManager::failFetch(const QString& message)
{
    // With a cached profile the failure stays silent and the profile is kept.
    if (!m_user)
        setErrorText(message);
}

void AuthManager::signOut()
{
    Q_ASSERT(QThread::currentThread() == thread());
    abortFetch();
    setToken(std::nullopt);
    setUser(std::nullopt);
    AccountStore::removeToken(tokenKey());
    clearCache();
}

std::optional<QString> AuthManager::queryValue(const QUrl& url, const QString& name)
{
    if (!url.isValid() || !url.hasQuery())
        return std::nullopt;
    const QString query = url.query(QUrl::FullyEncoded);
    if (query.isEmpty())
        return std::nullopt;
    for (const QString& item : query.split(QLatin1Char('&'))) {
        const qsizetype equals = item.indexOf(QLatin1Char('='));
        const QString rawName = equals < 0 ? item : item.left(equals);
        if (QUrl::fromPercentEncoding(rawName.toUtf8()) != name)
            continue;
        if (equals < 0)
            return std::nullopt;
        return QUrl::fromPercentEncoding(item.mid(equals + 1).toUtf8());
    }
    return std::nullopt;
}

void AuthManager::loadCache()
{
    if (const std::optional<QByteArray> data = AccountStore::cachedUser()) {
        if (std::optional<UserInfo> cached = UserInfo::decode(*data))
            setUser(std::move(cached));
    }
}

void AuthManager::saveCache()
{
    if (m_user)
        AccountStore::setCachedUser(m_user->encode());
    AccountStore::setLastCheck(QDateTime::currentDateTimeUtc());
}

void AuthManager::clearCache()
{
    AccountStore::clearCache();
}

void AuthManager::setToken(std::optional<QString> token)
{
    if (m_token == token)
        return;
    m_token = std::move(token);
    Q_EMIT tokenChanged();
}

void AuthManager::setUser(std::optional<UserInfo> user)
{
    if (m_user == user)
        return;
    m_user = std::move(user);
    Q_EMIT userChanged();
}

void AuthManager::setChecking(bool checking)
{
    if (m_checking == checking)
        return;
    m_checking = checking;
    Q_EMIT checkingChanged();
}

void AuthManager::setErrorText(std::optional<QString> text)
{
    if (m_errorText == text)
        return;
    m_errorText = std::move(text);
    Q_EMIT errorTextChanged();
}
