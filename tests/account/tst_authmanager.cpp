// Sign-in: the refresh at creation, the callback URL, the profile request and signing out, against
// the development server on 127.0.0.1.
#include <sys/stat.h>

#include <limits>
#include <memory>

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpServer>

#include "DevServer.h"
#include "account/AccountStore.h"
#include "account/AuthManager.h"
#include "account/SystemOpener.h"
#include "support/TestSupport.h"

using namespace std::chrono_literals;

namespace {
const QString decodingText =
    QStringLiteral("The data couldn't be read because it isn't in the correct format.");

UserInfo cachedProfile()
{
    UserInfo user;
    user.firstName = QStringLiteral("Cached");
    user.email = QStringLiteral("cached@example.com");
    return user;
}

UserInfo serverProfile()
{
    return *UserInfo::fromJson(DevServer::sampleUser());
}

constexpr qint64 never = std::numeric_limits<qint64>::min();

} // namespace

class TestAuthManager final : public QObject {
    Q_OBJECT

    std::unique_ptr<DevServer> m_server;

    QString tokenKey() const { return AccountStore::tokenKey(QStringLiteral("127.0.0.1")); }

    // The stored state a launch finds.
    void store(const std::optional<QString>& token, const std::optional<UserInfo>& user,
               const std::optional<QDateTime>& lastCheck)
    {
        if (token)
            AccountStore::setToken(tokenKey(), *token);
        if (user)
            AccountStore::setCachedUser(user->encode());
        if (lastCheck)
            AccountStore::setLastCheck(*lastCheck);
    }

private Q_SLOTS:
    void init()
    {
        QSettings(QStringLiteral("Korvane"), QStringLiteral("Korvane")).clear();
        m_server = std::make_unique<DevServer>();
        QVERIFY(m_server->listen() != 0);
        m_server->addAccount(QStringLiteral("tok"), DevServer::sampleUser());
        qputenv("KORVANE_API_BASE", m_server->baseUrl().toUtf8());
    }

    void cleanup()
    {
        SystemOpener::setInterceptor({});
        m_server.reset();
    }

    void refreshAtCreation_data()
    {
        QTest::addColumn<bool>("tokenStored");
        QTest::addColumn<bool>("userCached");
        QTest::addColumn<qint64>("checkedSecondsAgo");
        QTest::addColumn<bool>("fetches");
        const qint64 day = 86400;
        QTest::newRow("9 days old") << true << true << 9 * day << false;
        QTest::newRow("10 days old") << true << true << 10 * day << true;
        QTest::newRow("in the future") << true << true << -30 * day << false;
        QTest::newRow("never checked") << true << true << never << true;
        QTest::newRow("recent check without profile") << true << false << day << true;
        QTest::newRow("no cache at all") << true << false << never << true;
        QTest::newRow("cached user without token") << false << true << 10 * day << false;
    }

    void refreshAtCreation()
    {
        QFETCH(bool, tokenStored);
        QFETCH(bool, userCached);
        QFETCH(qint64, checkedSecondsAgo);
        QFETCH(bool, fetches);
        const QDateTime now = QDateTime::currentDateTimeUtc();
        store(tokenStored ? std::optional(QStringLiteral("tok")) : std::nullopt,
              userCached ? std::optional(cachedProfile()) : std::nullopt,
              checkedSecondsAgo == never ? std::nullopt
                                         : std::optional(now.addSecs(-checkedSecondsAgo)));

        AuthManager auth;
        QCOMPARE(auth.token().has_value(), tokenStored);
        QCOMPARE(auth.user(), userCached ? std::optional(cachedProfile()) : std::nullopt);
        QVERIFY(!auth.checking());
        if (!fetches) {
            QTest::qWait(300);
            QCOMPARE(m_server->requestCount(QStringLiteral("/me")), 0);
            QVERIFY(!auth.checking());
            return;
        }
        // The request goes out after creation; until it answers the state is unchanged.
        QSignalSpy checking(&auth, &AuthManager::checkingChanged);
        QTRY_COMPARE(m_server->requestCount(QStringLiteral("/me")), 1);
        QCOMPARE(m_server->requests().constFirst().authorization, QByteArray("Bearer tok"));
        QTRY_COMPARE(auth.user(), std::optional(serverProfile()));
        QVERIFY(!auth.checking());
        QCOMPARE(checking.size(), 2);
        QCOMPARE(m_server->requestCount(QStringLiteral("/me")), 1);
    }

    void handle_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("storedToken"); // empty: none stored
        QTest::addColumn<bool>("activates");
        QTest::newRow("callback") << "korvane://auth?token=tok"
                                  << "tok" << true;
        QTest::newRow("capitals") << "KORVANE://AUTH?token=tok"
                                  << "tok" << true;
        QTest::newRow("first of several, decoded") << "korvane://auth?x=1&token=t%2Bk&token=tok"
                                                   << "t+k" << true;
        QTest::newRow("name differs in case") << "korvane://auth?Token=tok"
                                              << "" << true;
        QTest::newRow("no query") << "korvane://auth"
                                  << "" << true;
        QTest::newRow("token without value") << "korvane://auth?token"
                                             << "" << true;
        QTest::newRow("token with a space refused") << "korvane://auth?token=t%20k"
                                                    << "" << true;
        QTest::newRow("token with markup refused") << "korvane://auth?token=%3Cb%3E"
                                                   << "" << true;
        QTest::newRow("empty token refused") << "korvane://auth?token="
                                             << "" << true;
        QTest::newRow("other host") << "korvane://profile?token=tok"
                                    << "" << true;
        QTest::newRow("file URL") << "file:///tmp/x?token=tok"
                                  << "" << false;
        QTest::newRow("web URL") << "https://example.com/auth?token=tok"
                                 << "" << false;
    }

    void handle()
    {
        QFETCH(QString, url);
        QFETCH(QString, storedToken);
        QFETCH(bool, activates);
        // A settings file that another setting created readable by everyone.
        const QString settingsFile = AccountStore::settingsFilePath();
        QSettings(QStringLiteral("Korvane"), QStringLiteral("Korvane"))
            .setValue(QStringLiteral("askWhereToSave"), true);
        QVERIFY(QFile::setPermissions(settingsFile, QFile::ReadOwner | QFile::WriteOwner |
                                                        QFile::ReadGroup | QFile::ReadOther));
        AuthManager auth;
        QSignalSpy activation(&auth, &AuthManager::activationRequested);
        auth.handle(QUrl(url));
        QCOMPARE(activation.size(), activates ? 1 : 0);
        if (storedToken.isEmpty()) {
            QVERIFY(!auth.token());
            QVERIFY(!AccountStore::token(tokenKey()));
            QTest::qWait(100);
            QCOMPARE(m_server->requestCount(QStringLiteral("/me")), 0);
            return;
        }
        QCOMPARE(auth.token(), std::optional(storedToken));
        QCOMPARE(AccountStore::token(tokenKey()), std::optional(storedToken));
        // The token is a credential: the settings file is private to its owner.
        QCOMPARE(KorvaneTest::fileMode(settingsFile), 0600);
        QTRY_COMPARE(m_server->requestCount(QStringLiteral("/me")), 1);
        QTRY_VERIFY(!auth.checking());
    }

    void queryValue_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("found");
        QTest::newRow("plain") << "korvane://auth?token=abc"
                               << "abc" << true;
        QTest::newRow("empty value") << "korvane://auth?token="
                                     << "" << true;
        QTest::newRow("no value") << "korvane://auth?token&token=abc"
                                  << "" << false;
        QTest::newRow("plus stays") << "korvane://auth?token=a+b"
                                    << "a+b" << true;
        QTest::newRow("empty query") << "korvane://auth?"
                                     << "" << false;
    }

    void queryValue()
    {
        QFETCH(QString, url);
        QFETCH(QString, value);
        QFETCH(bool, found);
        const std::optional<QString> result =
            AuthManager::queryValue(QUrl(url), QStringLiteral("token"));
        QCOMPARE(result.has_value(), found);
        if (found)
            QCOMPARE(*result, value);
    }

    void successCachesTheProfile()
    {
        store(QStringLiteral("tok"), std::nullopt, std::nullopt);
        AuthManager auth;
        QTRY_COMPARE(auth.user(), std::optional(serverProfile()));
        QCOMPARE(UserInfo::decode(AccountStore::cachedUser().value_or(QByteArray())),
                 std::optional(serverProfile()));
        const std::optional<QDateTime> last = AccountStore::lastCheck();
        QVERIFY(last);
        QVERIFY(qAbs(last->secsTo(QDateTime::currentDateTimeUtc())) < 60);
        QVERIFY(!auth.errorText());
        // A later launch finds everything fresh and asks for nothing.
        AuthManager next;
        QCOMPARE(next.user(), std::optional(serverProfile()));
        QTest::qWait(200);
        QCOMPARE(m_server->requestCount(QStringLiteral("/me")), 1);
    }

    void unauthorizedSignsOut()
    {
        store(QStringLiteral("expired"), cachedProfile(),
              QDateTime::currentDateTimeUtc().addDays(-11));
        AuthManager auth;
        QSignalSpy tokenChanged(&auth, &AuthManager::tokenChanged);
        QTRY_COMPARE(tokenChanged.size(), 1);
        QVERIFY(!auth.token());
        QVERIFY(!auth.user());
        QVERIFY(!auth.errorText());
        QVERIFY(!auth.checking());
        QVERIFY(!AccountStore::token(tokenKey()));
        QVERIFY(!AccountStore::cachedUser());
        QVERIFY(!AccountStore::lastCheck());
    }

    // Failures keep the token. Without a profile the user is told; with a cached one nothing is
    // shown and the cache time is not renewed.
    void failures_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::addColumn<bool>("userCached");
        QTest::addColumn<QString>("errorText");
        QTest::newRow("500 error page") << "500" << false << decodingText;
        QTest::newRow("200 without user") << "200" << false << decodingText;
        QTest::newRow("no server")
            << "refused" << false << QStringLiteral("Could not connect to the server.");
        QTest::newRow("no answer")
            << "stalled" << false << QStringLiteral("The request timed out.");
        QTest::newRow("profile past the size limit") << "huge" << false << decodingText;
        QTest::newRow("500 with cached user") << "500" << true << QString();
        QTest::newRow("no answer with cached user") << "stalled" << true << QString();
    }

    void failures()
    {
        QFETCH(QString, failure);
        QFETCH(bool, userCached);
        QFETCH(QString, errorText);
        const QString me = QStringLiteral("/me");
        if (failure == QLatin1String("500"))
            m_server->setResponse(me, {500, "text/html", "<html><body>Oops</body></html>"});
        else if (failure == QLatin1String("200"))
            m_server->setResponse(me, {200, "application/json", R"({"profile":{}})"});
        else if (failure == QLatin1String("huge"))
            m_server->setResponse(me, {200, "application/json",
                                       "{\"user\":{\"email\":\"" +
                                           QByteArray(AuthManager::maxProfileBytes, 'a') + "\"}}"});
        else if (failure == QLatin1String("stalled"))
            m_server->setStalled(me);
        else if (failure == QLatin1String("refused")) {
            // A port that was free a moment ago: nothing listens there.
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            const quint16 port = closed.serverPort();
            closed.close();
            qputenv("KORVANE_API_BASE", "http://127.0.0.1:" + QByteArray::number(port));
        }
        const QDateTime checked = QDateTime::currentDateTimeUtc().addDays(-20);
        store(QStringLiteral("tok"), userCached ? std::optional(cachedProfile()) : std::nullopt,
              checked);

        AuthManager auth(500ms);
        QSignalSpy checking(&auth, &AuthManager::checkingChanged);
        QTRY_COMPARE_WITH_TIMEOUT(checking.size(), 2, 10000);
        QVERIFY(!auth.checking());
        QCOMPARE(auth.token(), std::optional(QStringLiteral("tok")));
        QCOMPARE(auth.user(), userCached ? std::optional(cachedProfile()) : std::nullopt);
        QCOMPARE(auth.errorText(), errorText.isNull() ? std::nullopt : std::optional(errorText));
        QCOMPARE(AccountStore::lastCheck(), std::optional(checked));
        QVERIFY(AccountStore::token(tokenKey()));
    }

    void signOutForgetsEverythingButTheError()
    {
        m_server->setResponse(QStringLiteral("/me"), {500, "text/html", "<html></html>"});
        store(QStringLiteral("tok"), std::nullopt, std::nullopt);
        AuthManager auth;
        QTRY_VERIFY(auth.errorText());
        auth.signOut();
        QVERIFY(!auth.token());
        QVERIFY(!auth.user());
        QCOMPARE(auth.errorText(), std::optional(decodingText));
        QVERIFY(!AccountStore::token(tokenKey()));
        // Without a token a profile request is not even sent.
        auth.fetchMe();
        QVERIFY(!auth.checking());
    }

    void tokenValidity_data()
    {
        QTest::addColumn<QString>("token");
        QTest::addColumn<bool>("valid");
        QTest::newRow("JWT") << "eyJhbGciOiJIUzI1NiJ9.eyJzdWIiOiIxIn0.c2ln-_" << true;
        QTest::newRow("every allowed sign") << "aZ09-._~+/==" << true;
        QTest::newRow("longest") << QString(AuthManager::maxTokenLength, QLatin1Char('a')) << true;
        QTest::newRow("too long") << QString(AuthManager::maxTokenLength + 1, QLatin1Char('a'))
                                  << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("padding only") << "==" << false;
        QTest::newRow("padding inside") << "a=b" << false;
        QTest::newRow("space") << "a b" << false;
        QTest::newRow("line break") << "a\r\nX-Injected: 1" << false;
        QTest::newRow("not ASCII") << "t\u00f6ken" << false;
    }

    void tokenValidity()
    {
        QFETCH(QString, token);
        QFETCH(bool, valid);
        QCOMPARE(AuthManager::isValidToken(token), valid);
    }

    // A profile answer that arrives after sign-out changes nothing, on screen or on disk.
    void lateProfileAfterSignOut()
    {
        m_server->setDelivery(QStringLiteral("/me"), {.delayMs = 400});
        store(QStringLiteral("tok"), std::nullopt, std::nullopt);
        AuthManager auth;
        QTRY_COMPARE(m_server->requestCount(QStringLiteral("/me")), 1);
        QVERIFY(auth.checking());
        auth.signOut();
        QVERIFY(!auth.checking());
        QSignalSpy userChanged(&auth, &AuthManager::userChanged);
        QTest::qWait(800);
        QCOMPARE(userChanged.size(), 0);
        QVERIFY(!auth.user());
        QVERIFY(!auth.token());
        QVERIFY(!auth.errorText());
        QVERIFY(!AccountStore::cachedUser());
        QVERIFY(!AccountStore::lastCheck());
        QVERIFY(!AccountStore::token(tokenKey()));
    }

    // A new token replaces the previous account at once; a late 401 for the old token does not
    // sign the new one out.
    void lateRefusalOfAnOldToken()
    {
        m_server->setDelivery(QStringLiteral("/me"), {.delayMs = 400});
        store(QStringLiteral("old"), cachedProfile(), QDateTime::currentDateTimeUtc().addDays(-11));
        AuthManager auth;
        QCOMPARE(auth.user(), std::optional(cachedProfile()));
        QTRY_COMPARE(m_server->requestCount(QStringLiteral("/me")), 1);
        m_server->setDelivery(QStringLiteral("/me"), {});
        auth.handle(QUrl(QStringLiteral("korvane://auth?token=tok")));
        QCOMPARE(auth.token(), std::optional(QStringLiteral("tok")));
        QVERIFY(!auth.user());
        QVERIFY(!AccountStore::cachedUser());
        QTRY_COMPARE(auth.user(), std::optional(serverProfile()));
        QTest::qWait(600);
        QCOMPARE(auth.token(), std::optional(QStringLiteral("tok")));
        QCOMPARE(AccountStore::token(tokenKey()), std::optional(QStringLiteral("tok")));
        QCOMPARE(auth.user(), std::optional(serverProfile()));
        QCOMPARE(UserInfo::decode(AccountStore::cachedUser().value_or(QByteArray())),
                 std::optional(serverProfile()));
    }

    // The bearer token goes to the account server's own origin only.
    void redirectToAnotherServerCarriesNoToken()
    {
        DevServer other;
        QVERIFY(other.listen() != 0);
        other.addAccount(QStringLiteral("tok"), DevServer::sampleUser());
        m_server->setResponse(QStringLiteral("/me"), {302, "text/plain", ""});
        m_server->setDelivery(QStringLiteral("/me"),
                              {.headers = {{"Location", other.baseUrl().toUtf8() + "/me"}}});
        store(QStringLiteral("tok"), std::nullopt, std::nullopt);
        AuthManager auth;
        QTRY_COMPARE(m_server->requestCount(QStringLiteral("/me")), 1);
        QTRY_VERIFY(auth.errorText());
        QTest::qWait(100);
        for (const DevServer::Request& request : other.requests())
            QCOMPARE(request.authorization, QByteArray());
        QVERIFY(!auth.user());
        QCOMPARE(auth.token(), std::optional(QStringLiteral("tok")));
    }

    // The whole flow, with this test acting as the browser: the start page leads to the callback.
    void browserSignIn()
    {
        QList<QUrl> opened;
        SystemOpener::setInterceptor([&opened](SystemOpener::Action action, const QUrl& url) {
            QCOMPARE(action, SystemOpener::Action::Open);
            opened.append(url);
        });
        m_server->setStartToken(QStringLiteral("tok"));
        AuthManager auth;
        auth.startLogin(QStringLiteral("google"));
        QCOMPARE(opened,
                 QList<QUrl>{QUrl(m_server->baseUrl() + QStringLiteral("/auth/google/start"))});
        QVERIFY(!auth.errorText());

        QNetworkAccessManager browser;
        std::unique_ptr<QNetworkReply> page(browser.get(QNetworkRequest(opened.constFirst())));
        QTRY_VERIFY(page->isFinished());
        const QRegularExpressionMatch callback =
            QRegularExpression(QStringLiteral("url=(korvane://[^\"]+)\""))
                .match(QString::fromUtf8(page->readAll()));
        QVERIFY(callback.hasMatch());
        auth.handle(QUrl(callback.captured(1)));
        QCOMPARE(auth.token(), std::optional(QStringLiteral("tok")));
        QTRY_COMPARE(auth.user(), std::optional(serverProfile()));
        QCOMPARE(auth.user()->displayName(), QStringLiteral("Ada Lovelace"));
    }

    void startLoginWithAnUnusableProvider()
    {
        bool opened = false;
        SystemOpener::setInterceptor(
            [&opened](SystemOpener::Action, const QUrl&) { opened = true; });
        AuthManager auth;
        auth.startLogin(QStringLiteral("goo gle"));
        QVERIFY(!opened);
    }
};

KORVANE_TEST_MAIN(TestAuthManager)
#include "tst_authmanager.moc"
