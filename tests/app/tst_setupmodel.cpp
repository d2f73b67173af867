// Start-up: the setup screen, the background installation, the sweep and the URL hand-off.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QSettings>
#include <QSignalSpy>

#include "app/KorvaneApp.h"
#include "app/SetupModel.h"
#include "app/UrlHandoff.h"
#include "engine/EngineLog.h"
#include "engine/UpscaleCore.h"
#include "processing/AppSettings.h"
#include "engine/WorkFolder.h"
#include "support/TestSupport.h"

class TestSetupModel final : public QObject {
    Q_OBJECT

    QStringList m_log;
    QString m_resources;

private Q_SLOTS:
    void initTestCase()
    {
        EngineLog::setSink([this](const QString& line) { m_log.append(line); });
    }

    void init()
    {
        m_log.clear();
        QDir(UpscaleCore::toolsFolder()).removeRecursively();
        m_resources = KorvaneTest::isolatedRoot() + QStringLiteral("/resources");
        QDir(m_resources).removeRecursively();
        QDir().mkpath(m_resources);
        qputenv("KORVANE_RESOURCES", QFile::encodeName(m_resources));
    }

    void installedToolsSkipTheSetupScreen()
    {
        KorvaneTest::writeFakeTool(UpscaleCore::ffmpeg(), "exit 0");
        KorvaneTest::writeFakeTool(UpscaleCore::realesrganBinary(), "exit 0");
        const QDir temp(WorkFolder::root());
        QVERIFY(temp.mkpath(QStringLiteral("ai-STALE/in")));
        QVERIFY(KorvaneTest::writeFile(temp.filePath(QStringLiteral("prev-OLD.png")), "x"));
        {
            // Left two days ago: a fresh loose file may be another run's result.
            QFile old(temp.filePath(QStringLiteral("prev-OLD.png")));
            QVERIFY(old.open(QIODevice::ReadWrite));
            QVERIFY(old.setFileTime(QDateTime::currentDateTime().addDays(-2),
                                    QFileDevice::FileModificationTime));
        }
        // Nothing outside the work folder is touched, whatever its name.
        const QString own = QDir::tempPath() + QStringLiteral("/img-backup");
        QVERIFY(KorvaneTest::writeFile(own, "mine"));

        KorvaneApp app;
        QVERIFY(app.setup().ready());
        app.start();
        QVERIFY(!app.showsSetup());
        QTRY_VERIFY(!temp.exists(QStringLiteral("ai-STALE")));
        QTRY_VERIFY(!temp.exists(QStringLiteral("prev-OLD.png")));
        QVERIFY(QFile::exists(own));
        // The defaults are registered, not written.
        QVERIFY(AppSettings::notifyOnFinish());
        QVERIFY(AppSettings::notifyWithSound());
        QVERIFY(!AppSettings::askWhereToSave());
        QSettings settings(QStringLiteral("Korvane"), QStringLiteral("Korvane"));
        QVERIFY(!settings.contains(AppSettings::notifyOnFinishKey));
        // Nothing was extracted and nothing logged.
        QVERIFY(m_log.isEmpty());
        QVERIFY(!QFileInfo::exists(UpscaleCore::realesrganModels()));
    }

    void missingToolsAreInstalledBehindTheSetupScreen()
    {
        const QString source = KorvaneTest::isolatedRoot() + QStringLiteral("/archive-src");
        KorvaneTest::writeFakeTool(source + QStringLiteral("/ffmpeg"), "exit 0");
        KorvaneTest::writeFakeTool(source + QStringLiteral("/realesrgan/realesrgan-ncnn-vulkan"),
                                   "exit 0");
        QVERIFY(
            KorvaneTest::writeFile(source + QStringLiteral("/realesrgan/models/m.bin"), "model"));
        QVERIFY(KorvaneTest::zipFolder(source, m_resources + QStringLiteral("/Tools.zip")));

        KorvaneApp app;
        QVERIFY(!app.setup().ready());
        QSignalSpy readySpy(&app.setup(), &SetupModel::readyChanged);
        app.start();
        QVERIFY(app.showsSetup());
        QTRY_VERIFY(app.setup().ready());
        QVERIFY(!app.showsSetup());
        QCOMPARE(readySpy.size(), 1);
        QVERIFY(UpscaleCore::toolsInstalled());
        QCOMPARE(m_log, QStringList{QStringLiteral("Korvane: helper tools installed at ") +
                                    UpscaleCore::toolsFolder()});
    }

    // A failed installation keeps the setup screen, which says why, instead of opening an
    // application whose every upscale would fail.
    void failedInstallationShowsItsReason()
    {
        KorvaneApp app;
        app.start();
        QVERIFY(app.showsSetup());
        QTRY_VERIFY(!app.setup().problem().isEmpty());
        QVERIFY(app.setup().problem().contains(QStringLiteral("Tools.zip missing")));
        QVERIFY(app.showsSetup());
        QVERIFY(!app.setup().ready());
        QCOMPARE(m_log.size(), 1);
        QVERIFY(m_log.constFirst().contains(QStringLiteral("Tools.zip missing")));
        QVERIFY(!UpscaleCore::toolsInstalled());
    }

    // Installed tools that cannot start keep the setup screen up, saying which and why, also
    // when the window had already been shown.
    void toolsThatCannotStartKeepTheSetupScreen()
    {
        KorvaneTest::installStagedTools();
        QFile::remove(UpscaleCore::ffmpeg());
        QVERIFY(QFile::copy(QStringLiteral(KORVANE_TEST_UNLOADABLE), UpscaleCore::ffmpeg()));
        const QString problem = QStringLiteral(
            "ffmpeg can't start: libkorvaneprobe.so.3 is missing. Reinstall Korvane, or install "
            "the package that provides it.");

        {
            KorvaneApp app;
            app.start();
            QTRY_COMPARE(app.setup().problem(), problem);
            QVERIFY(!app.setup().ready());
            QVERIFY(app.showsSetup());
            QStringList texts;
            for (const QLabel* label : app.window().findChildren<QLabel*>()) {
                if (label->isVisibleTo(&app.window()))
                    texts.append(label->text());
            }
            QVERIFY2(texts.contains(problem), qPrintable(texts.join(QLatin1Char('|'))));
            QCOMPARE(m_log, QStringList{QStringLiteral("Korvane: ") + problem});
        }

        // Put right, the next start finds the tools healthy and goes on to the application.
        KorvaneTest::installStagedTools();
        KorvaneApp again;
        again.start();
        QTRY_VERIFY(QFile::exists(UpscaleCore::toolsFolder() + QStringLiteral("/tools-checked")));
        QTest::qWait(100); // the verdict's post to the main thread follows its file
        QVERIFY(!again.showsSetup());
        QVERIFY(again.setup().problem().isEmpty());
    }

    void urlsAreHandedOverInOrder()
    {
        QList<QUrl> received;
        UrlHandoff::deliver({QUrl(QStringLiteral("korvane://auth?token=a"))});
        UrlHandoff::deliver({QUrl(QStringLiteral("korvane://auth?token=b"))});
        UrlHandoff::setHandler([&received](const QUrl& url) { received.append(url); });
        QCOMPARE(received.size(), 2);
        UrlHandoff::deliver({QUrl(QStringLiteral("korvane://auth?token=c"))});
        QCOMPARE(received, QList<QUrl>({QUrl(QStringLiteral("korvane://auth?token=a")),
                                        QUrl(QStringLiteral("korvane://auth?token=b")),
                                        QUrl(QStringLiteral("korvane://auth?token=c"))}));
        UrlHandoff::setHandler({});
    }

    void urlsFromArguments()
    {
        const QList<QUrl> urls = UrlHandoff::urlsFromArguments(
            {QStringLiteral("korvane://auth?token=xyz"), QStringLiteral("/home/me/clip.mp4"),
             QStringLiteral("--verbose"), QStringLiteral("file:///home/me/clip.mp4"),
             QStringLiteral("clip.mp4")});
        QCOMPARE(urls, QList<QUrl>{QUrl(QStringLiteral("korvane://auth?token=xyz"))});
    }
};

KORVANE_TEST_MAIN(TestSetupModel)
#include "tst_setupmodel.moc"
