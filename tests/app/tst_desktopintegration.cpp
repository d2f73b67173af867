// Registration of the korvane: URL scheme with the desktop.
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "app/DesktopIntegration.h"
#include "support/TestSupport.h"

class TestDesktopIntegration final : public QObject {
    Q_OBJECT

    QString m_calls;

    QByteArray read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private Q_SLOTS:
    void initTestCase()
    {
        // An xdg-mime that records how it was called.
        const QString bin = KorvaneTest::isolatedRoot() + QStringLiteral("/bin");
        m_calls = KorvaneTest::isolatedRoot() + QStringLiteral("/xdg-mime-calls");
        KorvaneTest::writeFakeTool(bin + QStringLiteral("/xdg-mime"),
                                   "echo \"$@\" >> '" + QFile::encodeName(m_calls) + "'");
        qputenv("PATH", QFile::encodeName(bin) + ':' + qgetenv("PATH"));
        // No installed entry of this machine's own is in sight.
        qputenv("XDG_DATA_DIRS",
                QFile::encodeName(KorvaneTest::isolatedRoot() + QStringLiteral("/no-system")));
    }

    void firstRunWritesTheEntryAndClaimsTheScheme()
    {
        const QString path = DesktopIntegration::desktopFilePath();
        QCOMPARE(path, KorvaneTest::isolatedRoot() +
                           QStringLiteral("/data/applications/korvane.desktop"));
        DesktopIntegration::registerUrlScheme(QStringLiteral("/opt/My Apps/korvane"))
            .waitForFinished();
        const QByteArray entry = read(path);
        QVERIFY(entry.startsWith("[Desktop Entry]\n"));
        QVERIFY(entry.contains("\nExec=\"/opt/My Apps/korvane\" %u\n"));
        QVERIFY(entry.contains("\nMimeType=x-scheme-handler/korvane;\n"));
        QVERIFY(entry.contains("\nIcon=korvane\n"));
        QVERIFY(entry.contains("\nX-Korvane-Generated=true\n"));
        // The icon the entry names is in the user's icon theme.
        QCOMPARE(read(DesktopIntegration::iconFilePath()),
                 read(QStringLiteral(KORVANE_TEST_RESOURCES_DIR) + QStringLiteral("/korvane.svg")));
        QVERIFY(read(DesktopIntegration::iconFilePath()).contains("<svg"));
        QTRY_COMPARE(read(m_calls),
                     QByteArray("default korvane.desktop x-scheme-handler/korvane\n"));

        // Later runs leave the entry and the user's choice of handler alone.
        QFile::remove(m_calls);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("edited by the user");
        file.close();
        DesktopIntegration::registerUrlScheme(QStringLiteral("/usr/bin/korvane")).waitForFinished();
        QCOMPARE(read(path), QByteArray("edited by the user"));
        QTest::qWait(200);
        QVERIFY(!QFile::exists(m_calls));
    }

    // With the package installed, its entry registers the handler: no entry of the user's own.
    void anInstalledEntryIsUsed()
    {
        const QString system = KorvaneTest::isolatedRoot() + QStringLiteral("/usr-share");
        QVERIFY(
            KorvaneTest::writeFile(system + QStringLiteral("/applications/korvane.desktop"),
                                   DesktopIntegration::desktopEntry(QStringLiteral("korvane"))));
        const QByteArray dataDirs = qgetenv("XDG_DATA_DIRS");
        qputenv("XDG_DATA_DIRS", QFile::encodeName(system));
        QFile::remove(DesktopIntegration::desktopFilePath());
        QFile::remove(m_calls);
        DesktopIntegration::registerUrlScheme(QStringLiteral("/usr/bin/korvane")).waitForFinished();
        qputenv("XDG_DATA_DIRS", dataDirs);
        QVERIFY(!QFile::exists(DesktopIntegration::desktopFilePath()));
        QTest::qWait(200);
        QVERIFY(!QFile::exists(m_calls));
    }

    // Korvane's own entry follows the program when it moves (a new AppImage, say); an entry
    // without Korvane's mark is the user's and stays as it is.
    void existingEntries_data()
    {
        QTest::addColumn<QByteArray>("existing");
        QTest::addColumn<bool>("rewritten");
        const QByteArray ours =
            DesktopIntegration::desktopEntry(QStringLiteral("/usr/bin/korvane"));
        QTest::newRow("ours, same program") << ours << false;
        QTest::newRow("ours, program moved")
            << DesktopIntegration::desktopEntry(QStringLiteral("/tmp/.mount_Korv1/usr/bin/korvane"))
            << true;
        QByteArray edited = ours;
        edited.replace("X-Korvane-Generated=true\n", "");
        edited.replace("/usr/bin/korvane", "/opt/mine/korvane");
        QTest::newRow("edited by the user") << edited << false;
        QTest::newRow("written by the user")
            << QByteArray("[Desktop Entry]\nExec=korvane %u\n") << false;
    }

    void existingEntries()
    {
        QFETCH(QByteArray, existing);
        QFETCH(bool, rewritten);
        const QString path = DesktopIntegration::desktopFilePath();
        QVERIFY(KorvaneTest::writeFile(path, existing));
        QFile::remove(m_calls);
        DesktopIntegration::registerUrlScheme(QStringLiteral("/usr/bin/korvane")).waitForFinished();
        QCOMPARE(read(path),
                 rewritten ? DesktopIntegration::desktopEntry(QStringLiteral("/usr/bin/korvane"))
                           : existing);
        // The user's choice of handler is not touched again.
        QTest::qWait(100);
        QVERIFY(!QFile::exists(m_calls));
    }

    void launcherIsTheAppImageWhenThereIsOne()
    {
        qunsetenv("APPIMAGE");
        QCOMPARE(DesktopIntegration::launcherPath(), QCoreApplication::applicationFilePath());
        qputenv("APPIMAGE", "/home/ada/Applications/Korvane-2.0.AppImage");
        QCOMPARE(DesktopIntegration::launcherPath(),
                 QStringLiteral("/home/ada/Applications/Korvane-2.0.AppImage"));
        qunsetenv("APPIMAGE");
    }

    void execQuoting_data()
    {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QByteArray>("exec");
        QTest::newRow("plain") << "/usr/bin/korvane" << QByteArray("Exec=\"/usr/bin/korvane\" %u");
        QTest::newRow("reserved characters")
            << "/home/a\"b/$x/`c`/d\\e/100%/korvane"
            << QByteArray("Exec=\"/home/a\\\\\"b/\\\\$x/\\\\`c\\\\`/d\\\\\\\\e/100%%/korvane\" %u");
    }

    void execQuoting()
    {
        QFETCH(QString, executable);
        QFETCH(QByteArray, exec);
        QVERIFY(DesktopIntegration::desktopEntry(executable).split('\n').contains(exec));
    }
};

KORVANE_TEST_MAIN(TestDesktopIntegration)
#include "tst_desktopintegration.moc"
