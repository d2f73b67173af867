// Which addresses the account and update code fetches, and which redirects it follows.
#include <QUrl>

#include "account/NetworkPolicy.h"
#include "support/TestSupport.h"

class TestNetworkPolicy final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void secureOrLoopback_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("https") << "https://korvane.app/K.AppImage" << true;
        QTest::newRow("HTTPS in capitals") << "HTTPS://korvane.app/K.AppImage" << true;
        QTest::newRow("http on a public host") << "http://korvane.app/K.AppImage" << false;
        QTest::newRow("http on 127.0.0.1") << "http://127.0.0.1:8765/K.AppImage" << true;
        QTest::newRow("http on 127.1.2.3") << "http://127.1.2.3/K.AppImage" << true;
        QTest::newRow("http on localhost") << "http://localhost:8765/K.AppImage" << true;
        QTest::newRow("http on ::1") << "http://[::1]:8765/K.AppImage" << true;
        QTest::newRow("http on a look-alike host") << "http://127.0.0.1.example.com/K" << false;
        QTest::newRow("local file") << "file:///etc/passwd" << false;
        QTest::newRow("resource") << "qrc:/icons/a.svg" << false;
        QTest::newRow("ftp") << "ftp://korvane.app/K.AppImage" << false;
        QTest::newRow("no host") << "https:///K.AppImage" << false;
    }

    void secureOrLoopback()
    {
        QFETCH(QString, url);
        QFETCH(bool, allowed);
        QCOMPARE(NetworkPolicy::isSecureOrLoopback(QUrl(url)), allowed);
    }

    void redirects_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("https to another https host")
            << "https://korvane.app/latest"
            << "https://cdn.example.com/K.AppImage" << true;
        QTest::newRow("https to http") << "https://korvane.app/latest"
                                       << "http://cdn.example.com/K.AppImage" << false;
        QTest::newRow("https to http on loopback") << "https://korvane.app/latest"
                                                   << "http://127.0.0.1/K.AppImage" << false;
        QTest::newRow("loopback http to loopback http") << "http://127.0.0.1:1/latest"
                                                        << "http://127.0.0.1:2/K.AppImage" << true;
        QTest::newRow("loopback http to public http") << "http://127.0.0.1:1/latest"
                                                      << "http://example.com/K.AppImage" << false;
        QTest::newRow("https to a local file") << "https://korvane.app/latest"
                                               << "file:///tmp/K.AppImage" << false;
    }

    void redirects()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(bool, allowed);
        QCOMPARE(NetworkPolicy::redirectAllowed(QUrl(from), QUrl(to)), allowed);
    }
};

KORVANE_TEST_MAIN(TestNetworkPolicy)
#include "tst_networkpolicy.moc"
