// The check that the installed programs can start: the loader's and the system's words turned
// into one sentence, and the real programs started once per tools version.
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include "engine/EngineChoice.h"
#include "engine/EngineError.h"
#include "engine/ToolHealth.h"
#include "engine/UpscaleCore.h"
#include "support/TestSupport.h"

using ToolHealth::Outcome;

namespace {

const QString kMissing =
    QStringLiteral(" Reinstall Korvane, or install the package that provides it.");
const QString kUpdate =
    QStringLiteral(" Reinstall Korvane, or update the package that provides it.");

QString verdictFile()
{
    return UpscaleCore::toolsFolder() + QStringLiteral("/tools-checked");
}

// Puts a program at path (a real file, not a link, so its modes and times are its own).
bool placeProgram(const QString& source, const QString& path)
{
    QFile::remove(path);
    return QFile::copy(source, path);
}

bool touch(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) &&
           file.setFileTime(QDateTime::currentDateTime().addSecs(5),
                            QFileDevice::FileModificationTime);
}

} // namespace

class TestToolHealth final : public QObject {
    Q_OBJECT

    QString cpuEngine() const { return EngineChoice::binary(EngineKind::Cpu); }

private Q_SLOTS:
    void init()
    {
        QDir(UpscaleCore::toolsFolder()).removeRecursively();
        KorvaneTest::installStagedTools();
        QVERIFY(placeProgram(
            QStringLiteral(KORVANE_TEST_TOOLS_STAGING "/realesrgan/korvane-engine"), cpuEngine()));
    }

    void problem_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("startError");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("standardError");
        QTest::addColumn<bool>("timedOut");
        QTest::addColumn<QString>("expected"); // empty: it started

        const QByteArray loaderMissing =
            "/home/u/.local/share/Korvane/ffmpeg: error while loading shared libraries: "
            "libavdevice.so.59: cannot open shared object file: No such file or directory\n";
        QTest::newRow("library missing")
            << QStringLiteral("ffmpeg") << QString() << 127 << loaderMissing << false
            << QStringLiteral("ffmpeg can't start: libavdevice.so.59 is missing.") + kMissing;
        QTest::newRow("library of another architecture")
            << QStringLiteral("korvane-engine") << QString() << 127
            << QByteArray("korvane-engine: error while loading shared libraries: "
                          "/usr/lib/libdnnl.so.2: wrong ELF class: ELFCLASS32\n")
            << false
            << QStringLiteral("korvane-engine can't start: libdnnl.so.2 cannot be loaded (wrong "
                              "ELF class: ELFCLASS32).") +
                   kMissing;
        QTest::newRow("library too old")
            << QStringLiteral("korvane-engine") << QString() << 1
            << QByteArray("/x/korvane-engine: /lib/x86_64-linux-gnu/libc.so.6: version "
                          "`GLIBC_2.38' not found (required by /x/korvane-engine)\n")
            << false
            << QStringLiteral("korvane-engine can't start: libc.so.6 is too old (it lacks "
                              "GLIBC_2.38).") +
                   kUpdate;
        QTest::newRow("symbol missing")
            << QStringLiteral("ffmpeg") << QString() << 127
            << QByteArray("/x/ffmpeg: symbol lookup error: /x/ffmpeg: undefined symbol: "
                          "avcodec_get_supported_config\n")
            << false
            << QStringLiteral("ffmpeg can't start: a library it uses lacks "
                              "avcodec_get_supported_config.") +
                   kUpdate;
        QTest::newRow("not executable")
            << QStringLiteral("ffmpeg") << QStringLiteral("Permission denied") << 0 << QByteArray()
            << false << QStringLiteral("ffmpeg can't start: Permission denied. Reinstall Korvane.");
        QTest::newRow("command not found")
            << QStringLiteral("ffmpeg") << QString() << 127
            << QByteArray("/x/ffmpeg: 2: exec: /opt/gone: not found\n") << false
            << QStringLiteral("ffmpeg can't start: /x/ffmpeg: 2: exec: /opt/gone: not found. "
                              "Reinstall Korvane.");
        QTest::newRow("status 126, nothing said")
            << QStringLiteral("ffmpeg") << QString() << 126 << QByteArray() << false
            << QStringLiteral("ffmpeg can't start: it ended with status 126. Reinstall Korvane.");
        QTest::newRow("illegal instruction")
            << QStringLiteral("korvane-engine") << QString() << 128 + 4 << QByteArray() << false
            << QStringLiteral("korvane-engine can't start: it crashed at once (Illegal "
                              "instruction). Reinstall Korvane.");
        QTest::newRow("no answer")
            << QStringLiteral("realesrgan-ncnn-vulkan") << QString() << 143 << QByteArray() << true
            << QStringLiteral("realesrgan-ncnn-vulkan can't start: it did not answer within 30 "
                              "seconds. Reinstall Korvane.");

        // Started: whatever the status, a program that ran has its libraries.
        QTest::newRow("version printed")
            << QStringLiteral("ffmpeg") << QString() << 0 << QByteArray() << false << QString();
        QTest::newRow("usage text, status 255")
            << QStringLiteral("realesrgan-ncnn-vulkan") << QString() << 255
            << QByteArray("Usage: realesrgan-ncnn-vulkan -i infile -o outfile [options]...\n")
            << false << QString();
        QTest::newRow("older engine without --version")
            << QStringLiteral("korvane-engine") << QString() << 1
            << QByteArray("korvane-engine: option --version needs a value\n") << false << QString();
        QTest::newRow("asked to stop") << QStringLiteral("ffmpeg") << QString() << 128 + 15
                                       << QByteArray() << false << QString();
    }

    void problem()
    {
        QFETCH(QString, name);
        QFETCH(QString, startError);
        QFETCH(int, status);
        QFETCH(QByteArray, standardError);
        QFETCH(bool, timedOut);
        QFETCH(QString, expected);
        Outcome outcome;
        if (!startError.isEmpty())
            outcome.startError = startError;
        outcome.exitStatus = status;
        outcome.standardError = standardError;
        outcome.timedOut = timedOut;
        QCOMPARE(ToolHealth::problem(name, outcome).value_or(QString()), expected);
    }

    // Errors of a program's run: only those that show it could not start are its own.
    void startProblem_data()
    {
        QTest::addColumn<QString>("domain");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("expected");
        QTest::newRow("not executable")
            << QStringLiteral("Process")
            << QStringLiteral("Could not start ffmpeg: Permission denied")
            << QStringLiteral("ffmpeg can't start: Permission denied. Reinstall Korvane.");
        QTest::newRow("library missing")
            << QStringLiteral("UpscaleCore")
            << QStringLiteral("FFmpeg failed: /home/u/.local/share/Korvane/ffmpeg: error while "
                              "loading shared libraries: libavdevice.so.59: cannot open shared "
                              "object file: No such file or directory")
            << QStringLiteral("ffmpeg can't start: libavdevice.so.59 is missing.") + kMissing;
        QTest::newRow("the file's own fault")
            << QStringLiteral("UpscaleCore")
            << QStringLiteral("FFmpeg failed: Error while decoding stream #0:1: Invalid data "
                              "found when processing input")
            << QString();
        QTest::newRow("stopped") << QStringLiteral("UpscaleCore") << QStringLiteral("Cancelled")
                                 << QString();
    }

    void startProblem()
    {
        QFETCH(QString, domain);
        QFETCH(QString, message);
        const EngineError error(domain, 1, message);
        QTEST(ToolHealth::startProblem(QStringLiteral("ffmpeg"), error).value_or(QString()),
              "expected");
    }

    // The real tools start; the verdict is kept, so the next check starts nothing until a program
    // changes, and a failure is checked again every time.
    void realToolsOncePerVersion()
    {
        QCOMPARE(ToolHealth::installedProbes().size(), 3);
        QCOMPARE(ToolHealth::check(), QStringList());
        QVERIFY(QFile::exists(verdictFile()));

        // Same size and time: not started again, so a program that would now fail is not seen.
        const QString ffmpeg = UpscaleCore::ffmpeg();
        const auto executable = QFile::permissions(ffmpeg);
        QVERIFY(QFile::setPermissions(ffmpeg, QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(ToolHealth::check(), QStringList());

        // A changed program is started again.
        QVERIFY(touch(ffmpeg));
        const QStringList expected{
            QStringLiteral("ffmpeg can't start: Permission denied. Reinstall Korvane.")};
        QCOMPARE(ToolHealth::check(), expected);
        QVERIFY(!QFile::exists(verdictFile()));
        QCOMPARE(ToolHealth::check(), expected);

        // Put right, it is found healthy at the next check.
        QVERIFY(QFile::setPermissions(ffmpeg, executable));
        QCOMPARE(ToolHealth::check(), QStringList());
    }

    // A real program the loader refuses, in each tool's place: only that one is named, with its
    // library.
    void unloadableProgram_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("ffmpeg") << QStringLiteral("ffmpeg");
        QTest::newRow("Vulkan engine") << QStringLiteral("realesrgan-ncnn-vulkan");
        QTest::newRow("processor engine") << QStringLiteral("korvane-engine");
    }

    void unloadableProgram()
    {
        QFETCH(QString, name);
        QString path;
        for (const ToolHealth::Probe& probe : ToolHealth::installedProbes()) {
            if (probe.name == name)
                path = probe.program;
        }
        QVERIFY(!path.isEmpty());
        QVERIFY(placeProgram(QStringLiteral(KORVANE_TEST_UNLOADABLE), path));
        QCOMPARE(ToolHealth::check(),
                 QStringList{name +
                             QStringLiteral(" can't start: libkorvaneprobe.so.3 is missing.") +
                             kMissing});
    }

    // Programs that are not installed are left to the jobs that need them.
    void onlyInstalledProgramsAreStarted()
    {
        QVERIFY(QFile::remove(cpuEngine()));
        QCOMPARE(ToolHealth::installedProbes().size(), 2);
        QCOMPARE(ToolHealth::check(), QStringList());
        QDir(UpscaleCore::toolsFolder()).removeRecursively();
        QVERIFY(ToolHealth::installedProbes().isEmpty());
        QCOMPARE(ToolHealth::check(), QStringList());
        QVERIFY(!QFile::exists(verdictFile()));
    }

    void programThatDoesNotAnswerIsEnded()
    {
        KorvaneTest::writeFakeTool(UpscaleCore::ffmpeg(), "exec sleep 60");
        QElapsedTimer clock;
        clock.start();
        const Outcome outcome =
            ToolHealth::probe(ToolHealth::installedProbes().constFirst(), std::chrono::seconds(1));
        QVERIFY(outcome.timedOut);
        QVERIFY(ToolHealth::problem(QStringLiteral("ffmpeg"), outcome).has_value());
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
    }
};

KORVANE_TEST_MAIN(TestToolHealth)
#include "tst_toolhealth.moc"
