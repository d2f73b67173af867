// `korvane upscale` as scripts run it: the real executable, without a display, on tiny inputs,
// with the real ffmpeg and engine installed from the build's tools archive on first use.
#include <csignal>
#include <memory>
#include <vector>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "support/TestSupport.h"

using namespace Qt::StringLiterals;

namespace {
struct Finished {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// The processes whose parent is pid, with their command names.
QList<QPair<qint64, QString>> childrenOf(qint64 pid)
{
    QList<QPair<qint64, QString>> children;
    const QStringList entries = QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool number = false;
        const qint64 candidate = entry.toLongLong(&number);
        if (!number)
            continue;
        const QByteArray stat = KorvaneTest::readFile(u"/proc/"_s + entry + u"/stat"_s);
        // "pid (comm) state ppid …": the name may hold spaces, so fields are read after ')'.
        const qsizetype close = stat.lastIndexOf(')');
        if (close < 0)
            continue;
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        if (fields.size() > 1 && fields.at(1).toLongLong() == pid)
            children.append(
                {candidate, QString::fromUtf8(
                                stat.mid(stat.indexOf('(') + 1, close - stat.indexOf('(') - 1))});
    }
    return children;
}

bool processExists(qint64 pid)
{
    return QFileInfo::exists(u"/proc/"_s + QString::number(pid));
}

// Gone, or only a zombie left for whoever adopted it.
bool processGone(qint64 pid)
{
    const QByteArray stat = KorvaneTest::readFile(u"/proc/"_s + QString::number(pid) + u"/stat"_s);
    const qsizetype close = stat.lastIndexOf(')');
    return close < 0 || stat.mid(close + 2, 1) == "Z";
}

QJsonArray history(const QString& file)
{
    return QJsonDocument::fromJson(KorvaneTest::readFile(file)).array();
}
} // namespace

class TestCli final : public QObject {
    Q_OBJECT

    QString m_root;   // data, configuration and temporary folders of the command
    QString m_inputs; // the files the tests make
    QProcessEnvironment m_environment;

    QString data() const { return m_root + u"/data/Korvane"_s; }
    QString temp() const { return m_root + u"/tmp"_s; }

    void start(QProcess& process, const QStringList& arguments)
    {
        process.setProcessEnvironment(m_environment);
        process.setWorkingDirectory(m_inputs);
        process.start(QStringLiteral(KORVANE_TEST_BINARY_DIR "/korvane"), arguments);
        QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
    }

    Finished run(const QStringList& arguments)
    {
        QProcess process;
        start(process, arguments);
        Finished finished;
        if (!process.waitForFinished(240000)) {
            process.kill();
            process.waitForFinished();
            return finished;
        }
        finished.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        finished.out = process.readAllStandardOutput();
        finished.err = process.readAllStandardError();
        return finished;
    }

    void makeVideo(const QString& name, const QString& length)
    {
        QCOMPARE(KorvaneTest::runFFmpeg({u"-y"_s, u"-f"_s, u"lavfi"_s, u"-i"_s,
                                         u"testsrc=size=32x18:rate=2"_s, u"-t"_s, length,
                                         u"-pix_fmt"_s, u"yuv420p"_s, m_inputs + u'/' + name}),
                 0);
    }

    void makePicture(const QString& name)
    {
        QCOMPARE(
            KorvaneTest::runFFmpeg({u"-y"_s, u"-f"_s, u"lavfi"_s, u"-i"_s, u"testsrc=size=16x16"_s,
                                    u"-frames:v"_s, u"1"_s, m_inputs + u'/' + name}),
            0);
    }

    // Waits until the engine itself runs under pid (the Vulkan one, or the processor one where
    // the only Vulkan device is the processor); children gets pid's programs at that moment.
    static bool waitForEngine(qint64 pid, QList<QPair<qint64, QString>>* children)
    {
        return QTest::qWaitFor(
            [&] {
                *children = childrenOf(pid);
                return std::any_of(children->cbegin(), children->cend(), [](const auto& child) {
                    // The start-up check of the tools runs each engine once with one option.
                    const QList<QByteArray> arguments =
                        KorvaneTest::readFile(u"/proc/"_s + QString::number(child.first) +
                                              u"/cmdline"_s)
                            .split('\0');
                    const bool probe = arguments.size() <= 3;
                    return !probe && (child.second.startsWith(u"realesrgan"_s) ||
                                      child.second.startsWith(u"korvane-engine"_s));
                });
            },
            120000);
    }

    // Nothing of the engine's work is left, in the work folder or the temporary folder.
    QStringList workEntries() const
    {
        const auto all = QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot;
        return QDir(m_root + u"/cache/Korvane/work"_s).entryList(all) + QDir(temp()).entryList(all);
    }

private Q_SLOTS:
    void initTestCase()
    {
        // A fresh home for the command: nothing installed, no settings, its own temporary folder.
        m_root = KorvaneTest::isolatedRoot() + u"/cli"_s;
        m_inputs = KorvaneTest::isolatedRoot() + u"/in put"_s;
        for (const QString& folder :
             QStringList{m_root + u"/data"_s, m_root + u"/config"_s, temp(), m_inputs})
            QVERIFY(QDir().mkpath(folder));
        m_environment = QProcessEnvironment::systemEnvironment();
        for (const QString& name :
             {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s, u"KORVANE_RESOURCES"_s})
            m_environment.remove(name);
        m_environment.insert(u"XDG_DATA_HOME"_s, m_root + u"/data"_s);
        m_environment.insert(u"XDG_CONFIG_HOME"_s, m_root + u"/config"_s);
        m_environment.insert(u"XDG_CACHE_HOME"_s, m_root + u"/cache"_s);
        m_environment.insert(u"TMPDIR"_s, temp());
    }

    // First use without a display: the tools are installed, both kinds of input are upscaled
    // next to their sources and both land in the histories the dashboard reads.
    void videoAndPictureWithoutADisplay()
    {
        makeVideo(u"my clip.mp4"_s, u"1"_s);
        makePicture(u"photo.png"_s);
        QVERIFY(!QFile::exists(data() + u"/ffmpeg"_s));

        const Finished done = run({u"upscale"_s, u"my clip.mp4"_s, u"photo.png"_s, u"--quality"_s,
                                   u"fast"_s, u"--resolution"_s, u"1080p"_s, u"--scale"_s, u"2"_s});
        QVERIFY2(done.status == 0, done.err.constData());
        QVERIFY(done.err.contains("Installing ffmpeg and the Real-ESRGAN engine"));
        QVERIFY(QFileInfo(data() + u"/ffmpeg"_s).isExecutable());

        const QString video = m_inputs + u"/my clip_upscaled.mp4"_s;
        const QString picture = m_inputs + u"/photo_upscaled.png"_s;
        QVERIFY(QFileInfo(video).size() > 0);
        QCOMPARE(QImage(picture).size(), QSize(32, 32));
        QVERIFY(done.out.contains(picture.toUtf8()));

        const QJsonObject videoEntry = history(data() + u"/history.json"_s).first().toObject();
        QCOMPARE(videoEntry.value(u"name"_s).toString(), u"my clip.mp4"_s);
        QCOMPARE(videoEntry.value(u"success"_s).toBool(), true);
        QCOMPARE(videoEntry.value(u"targetHeight"_s).toInt(), 1080);
        QVERIFY(videoEntry.value(u"durationSec"_s).toDouble() > 0.5);
        QCOMPARE(QUrl(videoEntry.value(u"outputURL"_s).toString()).toLocalFile(), video);
        const QJsonObject imageEntry =
            history(data() + u"/image-history.json"_s).first().toObject();
        QCOMPARE(imageEntry.value(u"name"_s).toString(), u"photo.png"_s);
        QCOMPARE(imageEntry.value(u"savedPath"_s).toString(), picture);
        QVERIFY(workEntries().isEmpty());
    }

    // A broken file among good ones: the good ones are done, the broken one is named, the
    // status is 1; every JSON line parses, and each file's last one gives its output or error.
    void brokenFileAmongGoodOnes()
    {
        makePicture(u"a.png"_s);
        makePicture(u"b.png"_s);
        QVERIFY(KorvaneTest::writeFile(m_inputs + u"/broken.mp4"_s, QByteArray(4000, 'x')));
        const QByteArray videoHistory = KorvaneTest::readFile(data() + u"/history.json"_s);
        const QByteArray imageHistory = KorvaneTest::readFile(data() + u"/image-history.json"_s);

        const Finished done = run({u"upscale"_s, u"a.png"_s, u"broken.mp4"_s, u"b.png"_s,
                                   u"--json"_s, u"--no-history"_s, u"--quality=fast"_s,
                                   u"--scale=2"_s, u"--format=jpg"_s, u"--output-dir"_s, u"out"_s});
        QCOMPARE(done.status, 1);
        QVERIFY2(done.err.contains("korvane: broken.mp4: "), done.err.constData());
        QVERIFY(!done.err.contains("a.png"));

        QHash<QString, QJsonObject> last;
        QStringList order;
        for (const QByteArray& line : done.out.split('\n')) {
            if (line.isEmpty())
                continue;
            QJsonParseError error{};
            const QJsonObject object = QJsonDocument::fromJson(line, &error).object();
            QVERIFY2(error.error == QJsonParseError::NoError, line.constData());
            const QString file = object.value(u"file"_s).toString();
            if (!order.contains(file))
                order.append(file);
            last.insert(file, object);
        }
        QCOMPARE(order, QStringList({u"a.png"_s, u"broken.mp4"_s, u"b.png"_s}));
        for (const QString& good : QStringList{u"a"_s, u"b"_s}) {
            const QString output = m_inputs + u"/out/"_s + good + u"_upscaled.jpg"_s;
            QCOMPARE(last.value(good + u".png"_s).value(u"output"_s).toString(), output);
            QCOMPARE(QImage(output).size(), QSize(32, 32));
        }
        QVERIFY(!last.value(u"broken.mp4"_s).value(u"error"_s).toString().isEmpty());
        QVERIFY(!last.value(u"broken.mp4"_s).contains(u"output"_s));

        // --no-history kept both histories as they were.
        QCOMPARE(KorvaneTest::readFile(data() + u"/history.json"_s), videoHistory);
        QCOMPARE(KorvaneTest::readFile(data() + u"/image-history.json"_s), imageHistory);
    }

    // --output writes where it says (folders made, format from the name) and never over a file.
    void outputFile()
    {
        makePicture(u"c.png"_s);
        QVERIFY(KorvaneTest::writeFile(m_inputs + u"/taken.png"_s, "keep me"));
        const QStringList options{u"--quality"_s, u"fast"_s, u"--scale"_s, u"2"_s};

        Finished done =
            run(QStringList{u"upscale"_s, u"c.png"_s, u"--output"_s, u"taken.png"_s} + options);
        QCOMPARE(done.status, 1);
        QVERIFY2(done.err.contains("already exists"), done.err.constData());
        QCOMPARE(KorvaneTest::readFile(m_inputs + u"/taken.png"_s), QByteArray("keep me"));

        done = run(QStringList{u"upscale"_s, u"c.png"_s, u"--output"_s, u"sub/new name.jpg"_s} +
                   options);
        QVERIFY2(done.status == 0, done.err.constData());
        const QString written = m_inputs + u"/sub/new name.jpg"_s;
        QCOMPARE(QImage(written).size(), QSize(32, 32));
        QVERIFY(KorvaneTest::readFile(written).startsWith("\xff\xd8"));
    }

    // An installed program the system cannot start (its library missing) ends the command before
    // any work, naming the program and the library, instead of failing each file as its own fault.
    void toolThatCannotStartStopsBeforeAnyWork()
    {
        makeVideo(u"d.mp4"_s, u"1"_s);
        makePicture(u"d.png"_s);
        const QString engine = data() + u"/realesrgan/korvane-engine"_s;
        if (!QFile::exists(engine))
            run({u"upscale"_s, u"nothing here.png"_s}); // installs the tools
        const QString kept = engine + u".kept"_s;
        QVERIFY(QFile::rename(engine, kept));
        QVERIFY(QFile::copy(QStringLiteral(KORVANE_TEST_UNLOADABLE), engine));
        const Finished done = run({u"upscale"_s, u"d.mp4"_s, u"d.png"_s, u"--json"_s,
                                   u"--quality=fast"_s, u"--scale=2"_s});
        QVERIFY(QFile::remove(engine));
        QVERIFY(QFile::rename(kept, engine));

        QCOMPARE(done.status, 1);
        QVERIFY2(done.err.contains("korvane: korvane-engine can't start: libkorvaneprobe.so.3 is "
                                   "missing. Reinstall Korvane, or install the package that "
                                   "provides it.\n"),
                 done.err.constData());
        QVERIFY2(done.out.isEmpty(), done.out.constData());
        QVERIFY(!QFile::exists(m_inputs + u"/d_upscaled.mp4"_s));
        QVERIFY(!QFile::exists(m_inputs + u"/d_upscaled.png"_s));
        QVERIFY(workEntries().isEmpty());
    }

    void usageAndInformation_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("err");
        QTest::newRow("version") << QStringList{u"--version"_s} << 0
                                 << QByteArray("Korvane " KORVANE_VERSION) << QByteArray();
        QTest::newRow("help") << QStringList{u"upscale"_s, u"--help"_s} << 0
                              << QByteArray("Usage: korvane upscale INPUT...") << QByteArray();
        QTest::newRow("no input") << QStringList{u"upscale"_s} << 2 << QByteArray()
                                  << QByteArray("korvane upscale: no input files given");
        QTest::newRow("bad value") << QStringList{u"upscale"_s, u"a.png"_s, u"--scale"_s, u"8"_s}
                                   << 2 << QByteArray() << QByteArray("--scale takes 2, 3 or 4");
        QTest::newRow("one output for two")
            << QStringList{u"upscale"_s, u"a.png"_s, u"b.png"_s, u"--output"_s, u"c.png"_s} << 2
            << QByteArray() << QByteArray("use --output-dir for several");
    }

    void usageAndInformation()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, err);
        const Finished done = run(arguments);
        QCOMPARE(done.status, status);
        QVERIFY2(done.out.contains(out), done.out.constData());
        QVERIFY2(done.err.contains(err), done.err.constData());
        if (status != 0)
            QVERIFY(done.out.isEmpty());
    }

    // Many commands at once into one folder, as GNU parallel runs them: same-named pictures and
    // videos from different folders all get their own result, and every one is in the history.
    void parallelRunsIntoOneFolder()
    {
        const int images = int(history(data() + u"/image-history.json"_s).size());
        const int videos = int(history(data() + u"/history.json"_s).size());
        QList<QStringList> commands;
        for (int i = 0; i < 4; ++i) {
            const QString folder = u"pics "_s + QString::number(i);
            QVERIFY(QDir(m_inputs).mkpath(folder));
            makePicture(folder + u"/pic.png"_s);
            commands.append({u"upscale"_s, folder + u"/pic.png"_s, u"--quality=fast"_s,
                             u"--scale=2"_s, u"--output-dir"_s, u"together"_s});
        }
        for (int i = 0; i < 2; ++i) {
            const QString folder = u"clips "_s + QString::number(i);
            QVERIFY(QDir(m_inputs).mkpath(folder));
            makeVideo(folder + u"/clip.mp4"_s, u"1"_s);
            commands.append({u"upscale"_s, folder + u"/clip.mp4"_s, u"--quality=fast"_s,
                             u"--resolution=1080p"_s, u"--codec=h264"_s, u"--output-dir"_s,
                             u"together"_s});
        }
        std::vector<std::unique_ptr<QProcess>> processes;
        for (const QStringList& command : commands) {
            processes.push_back(std::make_unique<QProcess>());
            start(*processes.back(), command);
        }
        for (const auto& process : processes) {
            QVERIFY(process->waitForFinished(240000));
            QVERIFY2(process->exitCode() == 0, process->readAllStandardError().constData());
        }
        const QDir together(m_inputs + u"/together"_s);
        QCOMPARE(together.entryList({u"pic_upscaled*.png"_s}, QDir::Files).size(), 4);
        QCOMPARE(together.entryList({u"clip_upscaled*.mp4"_s}, QDir::Files).size(), 2);
        for (const QString& picture : together.entryList({u"*.png"_s}, QDir::Files))
            QCOMPARE(QImage(together.filePath(picture)).size(), QSize(32, 32));
        for (const QString& video : together.entryList({u"*.mp4"_s}, QDir::Files))
            QVERIFY(QFileInfo(together.filePath(video)).size() > 0);
        // No placeholder or hidden partial file is left.
        QCOMPARE(together.entryList(QDir::Files | QDir::Hidden).size(), 6);
        QCOMPARE(history(data() + u"/image-history.json"_s).size(), images + 4);
        QCOMPARE(history(data() + u"/history.json"_s).size(), videos + 2);
    }

    // Two commands on one --output: one writes it, the other fails before any work and says why.
    void twoRunsOnOneOutput()
    {
        makePicture(u"one.png"_s);
        makePicture(u"two.png"_s);
        QProcess first;
        QProcess second;
        start(first, {u"upscale"_s, u"one.png"_s, u"--quality=fast"_s, u"--scale=2"_s,
                      u"--output"_s, u"same/r.png"_s});
        start(second, {u"upscale"_s, u"two.png"_s, u"--quality=fast"_s, u"--scale=2"_s,
                       u"--output"_s, u"same/r.png"_s});
        QVERIFY(first.waitForFinished(120000) && second.waitForFinished(120000));
        const QList<int> statuses{first.exitCode(), second.exitCode()};
        QCOMPARE(statuses.count(0), 1);
        QCOMPARE(statuses.count(1), 1);
        QProcess& loser = first.exitCode() == 1 ? first : second;
        QVERIFY(loser.readAllStandardError().contains("already exists"));
        QCOMPARE(QDir(m_inputs + u"/same"_s).entryList(QDir::Files | QDir::Hidden),
                 QStringList{u"r.png"_s});
        QCOMPARE(QImage(m_inputs + u"/same/r.png"_s).size(), QSize(32, 32));
    }

    // A command killed part-way (a preempted farm job) and run again continues from its
    // finished segments and says so; the finished video is whole and nothing is left behind.
    void runAgainAfterKillResumes()
    {
        makeVideo(u"farm.mp4"_s, u"3"_s);
        const QStringList command{u"upscale"_s, u"farm.mp4"_s, u"--quality=fast"_s,
                                  u"--resolution=1080p"_s, u"--codec=h264"_s, u"--json"_s};
        const QString work = m_root + u"/cache/Korvane/work"_s;
        const QStringList before = QDir(work).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        m_environment.insert(u"KORVANE_SEGMENT_SECONDS"_s, u"1"_s);
        QProcess killed;
        start(killed, command);
        // Killed once its first segment is on its record.
        QVERIFY(QTest::qWaitFor(
            [&] {
                const QStringList now = QDir(work).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
                for (const QString& name : now) {
                    if (before.contains(name))
                        continue;
                    const QJsonObject record =
                        QJsonDocument::fromJson(
                            KorvaneTest::readFile(work + u'/' + name + u"/job.json"_s))
                            .object();
                    if (!record.value(u"segments"_s).toArray().isEmpty())
                        return true;
                }
                return false;
            },
            120000));
        killed.kill();
        QVERIFY(killed.waitForFinished(10000));

        const Finished again = run(command);
        m_environment.remove(u"KORVANE_SEGMENT_SECONDS"_s);
        QVERIFY2(again.status == 0, again.err.constData());
        QVERIFY2(again.out.contains("\"status\":\"Resuming: "), again.out.constData());
        const QString result = m_inputs + u"/farm_upscaled.mp4"_s;
        QCOMPARE(QDir(m_inputs).entryList({u"farm_upscaled*"_s}, QDir::Files | QDir::Hidden),
                 QStringList{u"farm_upscaled.mp4"_s});
        QVERIFY(again.out.contains(result.toUtf8()));
        QCOMPARE(QDir(work).entryList(QDir::Dirs | QDir::NoDotAndDotDot), before);
        QProcess probe;
        probe.start(u"ffprobe"_s, {u"-v"_s, u"error"_s, u"-count_frames"_s, u"-select_streams"_s,
                                   u"v:0"_s, u"-show_entries"_s, u"stream=nb_read_frames"_s,
                                   u"-of"_s, u"csv=p=0"_s, result});
        QVERIFY(probe.waitForFinished(60000));
        QCOMPARE(probe.readAllStandardOutput().trimmed(), QByteArray("6"));
    }

    // Ctrl-C while the engine works: its programs end, no work file or partial output is left,
    // and the status is 130.
    void ctrlCDuringTheAIPass()
    {
        makeVideo(u"long.mp4"_s, u"3"_s);
        QProcess process;
        start(process, {u"upscale"_s, u"long.mp4"_s, u"--quality"_s, u"max"_s, u"--json"_s});
        const qint64 pid = process.processId();

        QList<QPair<qint64, QString>> children;
        QVERIFY(waitForEngine(pid, &children));

        QCOMPARE(::kill(pid_t(pid), SIGINT), 0);
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 130);
        for (const auto& child : children)
            QTRY_VERIFY2(!processExists(child.first), qPrintable(child.second));
        QVERIFY(workEntries().isEmpty());
        QVERIFY(!QFile::exists(m_inputs + u"/long_upscaled.mp4"_s));
        const QList<QByteArray> lines = process.readAllStandardOutput().trimmed().split('\n');
        QVERIFY(QJsonDocument::fromJson(lines.last()).object().contains(u"error"_s));
    }

    // kill -9 of the command while the engine works: none of its programs outlives it.
    void killedCommandLeavesNoPrograms()
    {
        makeVideo(u"killed.mp4"_s, u"3"_s);
        QProcess process;
        start(process, {u"upscale"_s, u"killed.mp4"_s, u"--quality"_s, u"max"_s});
        const qint64 pid = process.processId();

        QList<QPair<qint64, QString>> children;
        QVERIFY(waitForEngine(pid, &children));
        // The command line loads no widget or multimedia library.
        const QByteArray maps = KorvaneTest::readFile(u"/proc/"_s + QString::number(pid) + u"/maps"_s);
        QVERIFY(maps.contains("libQt6Core"));
        QVERIFY(!maps.contains("libQt6Widgets"));
        QVERIFY(!maps.contains("libQt6Multimedia"));

        process.kill();
        QVERIFY(process.waitForFinished(10000));
        // The programs are no longer ours: init (or a subreaper) adopts and reaps them.
        for (const auto& child : children)
            QTRY_VERIFY2_WITH_TIMEOUT(processGone(child.first), qPrintable(child.second), 10000);
    }
};

KORVANE_TEST_MAIN(TestCli)
#include "tst_cli.moc"
