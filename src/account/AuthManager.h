#pragma once

#include <chrono>
#include <optional>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include "account/UserInfo.h"

class QNetworkAccessManager;
class QNetworkReply;

// Signs the user in to the account server through the system browser, keeps the bearer token the
// server hands back (through a korvane://auth?token=… callback URL), fetches and caches the
// signed-in user's profile, and signs out.
//
// States: signed out (no token), signing in (a token, no profile), signed in (both). A profile
// request belongs to the token it was sent with: signing out or a new token aborts it, and an
// answer for a token that is no longer current changes nothing. The token travels only to the
// account server's own origin (redirects elsewhere are refused).
// Threading: main thread only. Network answers arrive as signals on the main thread; nothing here
// waits for the network.
class AuthManager final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AuthManager)
    Q_PROPERTY(std::optional<QString> token READ token NOTIFY tokenChanged)
    Q_PROPERTY(std::optional<UserInfo> user READ user NOTIFY userChanged)
    Q_PROPERTY(bool checking READ checking NOTIFY checkingChanged)
    Q_PROPERTY(std::optional<QString> errorText READ errorText NOTIFY errorTextChanged)

public:
    // The whole profile request ends after this, however steadily it receives.
    static constexpr std::chrono::milliseconds defaultRequestTimeout{60000};
    // A profile answer is a few hundred bytes.
    static constexpr qint64 maxProfileBytes = 1024 * 1024;
    // A bearer token is a short text.
    static constexpr qsizetype maxTokenLength = 4096;

    // The one instance of the application, created on first use and never destroyed.
    static AuthManager& shared();

    // Reads the stored token and cached profile, and schedules a profile refresh when they are
    // missing or older than ten days. Tests pass a shorter request time-out.
    explicit AuthManager(std::chrono::milliseconds requestTimeout = defaultRequestTimeout,
                         QObject* parent = nullptr);
    ~AuthManager() override;

    // The account server's origin: KORVANE_API_BASE when set, else the production server.
    static QString configuredApiBase();
    static QString callbackScheme() { return QStringLiteral("korvane"); }
    QString apiBase() const { return m_apiBase; }
    // The settings key of the token: the server's host name followed by ".jwt".
    QString tokenKey() const;

    std::optional<QString> token() const { return m_token; }
    std::optional<UserInfo> user() const { return m_user; }
    bool checking() const { return m_checking; }
    std::optional<QString> errorText() const { return m_errorText; }

    // <apiBase>/auth/<provider>/start, the page where the browser signs in; invalid when the
    // base address is not usable.
    QUrl loginUrl(const QString& provider) const;
    // Opens loginUrl(provider) in the system browser.
    void startLogin(const QString& provider);
    // Consumes a URL handed to the application; only korvane:// URLs are looked at. A token that
    // is not a plausible bearer token is refused.
    void handle(const QUrl& url);
    // Refreshes the profile from GET <apiBase>/me; returns at once.
    void fetchMe();
    // Forgets the token, the profile and the cache.
    void signOut();

    // The value of the first query item named exactly name; nullopt when the URL is invalid,
    // has no query, has no such item, or the item has no value.
    static std::optional<QString> queryValue(const QUrl& url, const QString& name);
    // 1 to maxTokenLength characters of the bearer token alphabet (letters, digits and
    // "-._~+/", then optional "=" padding).
    static bool isValidToken(const QString& token);

Q_SIGNALS:
    void tokenChanged();
    void userChanged();
    void checkingChanged();
    void errorTextChanged();
    // A callback URL asks for the application to come to the front.
    void activationRequested();

private:
    void finishFetch(QNetworkReply* reply, const QString& token);
    void abortFetch();
    void failFetch(const QString& message);
    void loadCache();
    void saveCache();
    void clearCache();
    void setToken(std::optional<QString> token);
    void setUser(std::optional<UserInfo> user);
    void setChecking(bool checking);
    void setErrorText(std::optional<QString> text);

    const QString m_apiBase;
    const std::chrono::milliseconds m_requestTimeout;
    QNetworkAccessManager* m_network = nullptr;
    QPointer<QNetworkReply> m_fetch; // the profile request in flight, for m_fetchToken
    QString m_fetchToken;
    std::optional<QString> m_token;
    std::optional<UserInfo> m_user;
    bool m_checking = false;
    std::optional<QString> m_errorText;
};
