// The profile picture: fetched only from web addresses, within a size limit.
#include <QBuffer>
#include <QImage>

#include "DevServer.h"
#include "support/TestSupport.h"
#include "ui/account/Avatar.h"

namespace {
QByteArray encodedPicture(int side, const char* format)
{
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(QColor(200, 80, 40));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return buffer.data();
}
} // namespace

class TestAvatar final : public QObject {
    Q_OBJECT

    DevServer m_server;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.listen() != 0);
        m_server.addDownload(QStringLiteral("small.png"), encodedPicture(64, "PNG"));
        // A valid picture, but more bytes than a profile picture may have.
        const QByteArray huge = encodedPicture(1300, "BMP");
        QVERIFY(huge.size() > Avatar::maxPictureBytes);
        m_server.addDownload(QStringLiteral("huge.bmp"), huge);
        QVERIFY(KorvaneTest::writeFile(KorvaneTest::isolatedRoot() + QStringLiteral("/me.png"),
                                       encodedPicture(64, "PNG")));
    }

    void picture_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("shown");
        QTest::newRow("web address")
            << m_server.baseUrl() + QStringLiteral("/downloads/small.png") << true;
        QTest::newRow("too large")
            << m_server.baseUrl() + QStringLiteral("/downloads/huge.bmp") << false;
        QTest::newRow("local file")
            << QUrl::fromLocalFile(KorvaneTest::isolatedRoot() + QStringLiteral("/me.png"))
                   .toString()
            << false;
        QTest::newRow("resource") << "qrc:/icons/globe.svg" << false;
    }

    void picture()
    {
        QFETCH(QString, url);
        QFETCH(bool, shown);
        const int requests = m_server.requests().size();
        Avatar avatar(40);
        avatar.setUser(url, QStringLiteral("Ada Lovelace"));
        QCOMPARE(avatar.initials(), QStringLiteral("AL"));
        if (shown) {
            QTRY_VERIFY(avatar.hasPicture());
            return;
        }
        QTest::qWait(500);
        QVERIFY(!avatar.hasPicture());
        // A local address is not even asked for.
        if (!url.startsWith(QLatin1String("http")))
            QCOMPARE(m_server.requests().size(), requests);
    }
};

KORVANE_TEST_MAIN(TestAvatar)
#include "tst_avatar.moc"
