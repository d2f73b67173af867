// First-run installation of the tools from the archive.
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QProcess>

#include "engine/Bootstrap.h"
#include "engine/EngineLog.h"
#include "engine/UpscaleCore.h"
#include "support/TestSupport.h"

namespace {
constexpr auto mode755 = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser |
                         QFile::WriteUser | QFile::ExeUser | QFile::ReadGroup | QFile::ExeGroup |
                         QFile::ReadOther | QFile::ExeOther;

} // namespace

class TestBootstrap final : public QObject {
    Q_OBJECT

    QStringList m_log;
    QString m_resources;

    // A small archive with the real layout: ffmpeg, the engine and one model.
    void makeTestArchive()
    {
        const QString source = KorvaneTest::isolatedRoot() + QStringLiteral("/archive-src");
        QDir(source).removeRecursively();
        QVERIFY(KorvaneTest::writeFile(source + QStringLiteral("/ffmpeg"), "new ffmpeg"));
        QVERIFY(KorvaneTest::writeFile(
            source + QStringLiteral("/realesrgan/realesrgan-ncnn-vulkan"), "engine"));
        QVERIFY(
            KorvaneTest::writeFile(source + QStringLiteral("/realesrgan/models/m.param"), "param"));
        for (const char* program : {"/ffmpeg", "/realesrgan/realesrgan-ncnn-vulkan"})
            QVERIFY(QFile::setPermissions(source + QLatin1String(program), mode755));
        QVERIFY(KorvaneTest::zipFolder(source, m_resources + QStringLiteral("/Tools.zip")));
    }

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

    void missingArchiveLogsOneLine()
    {
        QVERIFY(!Bootstrap::toolsInstalled());
        Bootstrap::installToolsIfNeeded();
        QCOMPARE(m_log, QStringList{QStringLiteral("Korvane: Tools.zip missing from the "
                                                   "application's resources — cannot install "
                                                   "tools.")});
        QVERIFY(!QFileInfo::exists(UpscaleCore::toolsFolder()));
    }

    void onlyFfmpegPresentExtractsEverythingAgain()
    {
        makeTestArchive();
        QVERIFY(KorvaneTest::writeFile(UpscaleCore::ffmpeg(), "old ffmpeg"));
        QVERIFY(!Bootstrap::toolsInstalled());
        Bootstrap::installToolsIfNeeded();
        QCOMPARE(m_log, QStringList{QStringLiteral("Korvane: helper tools installed at ") +
                                    UpscaleCore::toolsFolder()});
        QVERIFY(Bootstrap::toolsInstalled());
        QCOMPARE(KorvaneTest::readFile(UpscaleCore::ffmpeg()), QByteArray("new ffmpeg"));
        QCOMPARE(
            KorvaneTest::readFile(UpscaleCore::realesrganModels() + QStringLiteral("/m.param")),
            QByteArray("param"));
        QCOMPARE(QFile::permissions(UpscaleCore::ffmpeg()), mode755);
        QCOMPARE(QFile::permissions(UpscaleCore::realesrganBinary()), mode755);
        // No private unpacking folder is left in the tools folder.
        QCOMPARE(QDir(UpscaleCore::toolsFolder())
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList({QStringLiteral("ffmpeg"), QStringLiteral("install.lock"), QStringLiteral("realesrgan")}));
    }

    // The archive's permission bits are not trusted: only "executable or not" is kept.
    void modesAreNormalised_data()
    {
        QTest::addColumn<int>("archived");
        QTest::addColumn<int>("installed");
        QTest::newRow("setuid, everyone writes") << 04777 << 0755;
        QTest::newRow("setgid executable") << 02750 << 0755;
        QTest::newRow("group and others write") << 0666 << 0644;
        QTest::newRow("owner only") << 0600 << 0644;
    }

    void modesAreNormalised()
    {
        QFETCH(int, archived);
        QFETCH(int, installed);
        makeTestArchive();
        const QString source = KorvaneTest::isolatedRoot() + QStringLiteral("/archive-src");
        const QString model = QStringLiteral("/realesrgan/models/m.param");
        QCOMPARE(::chmod(QFile::encodeName(source + model).constData(), mode_t(archived)), 0);
        QCOMPARE(KorvaneTest::fileMode(source + model), archived);
        QVERIFY(KorvaneTest::zipFolder(source, m_resources + QStringLiteral("/Tools.zip")));
        Bootstrap::installToolsIfNeeded();
        QVERIFY(Bootstrap::toolsInstalled());
        QCOMPARE(KorvaneTest::fileMode(UpscaleCore::toolsFolder() + model), installed);
    }

    // A crash during an extraction leaves its unpacking folder behind, possibly with the
    // executables already in place but models missing: the next start completes the install.
    void interruptedInstallIsCompletedAtTheNextStart()
    {
        makeTestArchive();
        const QString leftover = UpscaleCore::toolsFolder() + QStringLiteral("/.install-Ab12Cd");
        QVERIFY(KorvaneTest::writeFile(leftover + QStringLiteral("/realesrgan/models/m.bin"), "x"));
        QVERIFY(KorvaneTest::writeFile(UpscaleCore::ffmpeg(), "new ffmpeg"));
        QVERIFY(KorvaneTest::writeFile(UpscaleCore::realesrganBinary(), "engine"));
        QVERIFY(!Bootstrap::toolsInstalled());
        Bootstrap::installToolsIfNeeded();
        QVERIFY(Bootstrap::toolsInstalled());
        QCOMPARE(
            KorvaneTest::readFile(UpscaleCore::realesrganModels() + QStringLiteral("/m.param")),
            QByteArray("param"));
        QVERIFY(!QFileInfo::exists(leftover));
        QCOMPARE(QDir(UpscaleCore::toolsFolder())
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList({QStringLiteral("ffmpeg"), QStringLiteral("install.lock"), QStringLiteral("realesrgan")}));
    }

    void missingModelsAloneReinstallsNothing()
    {
        makeTestArchive();
        QVERIFY(KorvaneTest::writeFile(UpscaleCore::ffmpeg(), "old ffmpeg"));
        QVERIFY(KorvaneTest::writeFile(UpscaleCore::realesrganBinary(), "old engine"));
        Bootstrap::installToolsIfNeeded();
        QVERIFY(m_log.isEmpty());
        QCOMPARE(KorvaneTest::readFile(UpscaleCore::ffmpeg()), QByteArray("old ffmpeg"));
        QVERIFY(!QFileInfo::exists(UpscaleCore::realesrganModels()));
    }

    void corruptArchiveLogsAndChangesNothing()
    {
        QVERIFY(KorvaneTest::writeFile(m_resources + QStringLiteral("/Tools.zip"),
                                       QByteArray(4096, 'x')));
        QVERIFY(KorvaneTest::writeFile(UpscaleCore::ffmpeg(), "old ffmpeg"));
        const auto ownerOnly =
            QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
        QVERIFY(QFile::setPermissions(UpscaleCore::ffmpeg(), ownerOnly));
        Bootstrap::installToolsIfNeeded();
        QCOMPARE(m_log.size(), 1);
        QVERIFY2(m_log.constFirst().startsWith(QStringLiteral("Korvane: tool extraction failed (")),
                 qPrintable(m_log.constFirst()));
        QVERIFY2(m_log.constFirst().contains(QStringLiteral("Not a zip archive")),
                 qPrintable(m_log.constFirst()));
        QCOMPARE(QFile::permissions(UpscaleCore::ffmpeg()), ownerOnly);
        QCOMPARE(KorvaneTest::readFile(UpscaleCore::ffmpeg()), QByteArray("old ffmpeg"));
        QVERIFY(!QFileInfo::exists(UpscaleCore::realesrganBinary()));
    }

    void toolsFolderThatCannotBeCreatedIsLogged()
    {
        makeTestArchive();
        // The data folder is a plain file, so the tools folder cannot be made inside it.
        const QString dataHome = KorvaneTest::isolatedRoot() + QStringLiteral("/data-file");
        QVERIFY(KorvaneTest::writeFile(dataHome, "not a folder"));
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome));
        Bootstrap::installToolsIfNeeded();
        qputenv("XDG_DATA_HOME", saved);
        QCOMPARE(m_log.size(), 1);
        QVERIFY2(m_log.constFirst().startsWith(QStringLiteral("Korvane: bootstrap error: ")),
                 qPrintable(m_log.constFirst()));
    }

    void realArchiveInstallsTheLayout()
    {
        qputenv("KORVANE_RESOURCES", KORVANE_TEST_RESOURCES_DIR);
        Bootstrap::installToolsIfNeeded();
        QCOMPARE(m_log.size(), 1);
        QVERIFY(Bootstrap::toolsInstalled());
        QCOMPARE(QFile::permissions(UpscaleCore::ffmpeg()), mode755);
        QCOMPARE(QFile::permissions(UpscaleCore::realesrganBinary()), mode755);
        QStringList models = QDir(UpscaleCore::realesrganModels()).entryList(QDir::Files);
        for (const char* name :
             {"realesr-animevideov3-x2", "realesr-animevideov3-x3", "realesr-animevideov3-x4",
              "realesr-general-x4v3", "realesrgan-x4plus"}) {
            QVERIFY2(models.contains(QLatin1String(name) + QStringLiteral(".param")), name);
            QVERIFY2(models.contains(QLatin1String(name) + QStringLiteral(".bin")), name);
        }
        QProcess ffmpeg;
        ffmpeg.start(UpscaleCore::ffmpeg(), {QStringLiteral("-version")});
        QVERIFY(ffmpeg.waitForFinished());
        QCOMPARE(ffmpeg.exitCode(), 0);
    }
};

KORVANE_TEST_MAIN(TestBootstrap)
#include "tst_bootstrap.moc"
