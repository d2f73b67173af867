// Putting finished results in place: atomic, never over what exists unless chosen, and kept in
// the temporary folder when the destination fails.
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include "engine/UpscaleCore.h"
#include "engine/WorkFolder.h"
#include "processing/OutputFile.h"
#include "processing/OutputNaming.h"
#include "support/TestSupport.h"

namespace {
QString finishedFile(const QByteArray& content)
{
    const QString path = WorkFolder::freshTempPath(QStringLiteral("ai-"), QStringLiteral(".mp4"));
    KorvaneTest::writeFile(path, content);
    return path;
}

// Every entry of folder, hidden ones included, sorted.
// A new folder on a volume other than the work folder's: a memory file system, the runtime
// folder, the shared temporary folder or home, whichever is writable and elsewhere.
QString folderOnAnotherVolume()
{
    struct stat work {};
    if (::stat(QFile::encodeName(WorkFolder::root()).constData(), &work) != 0)
        return {};
    const QString name = QStringLiteral("/korvane-outputfile-") +
                         QString::number(QCoreApplication::applicationPid());
    for (const QString& base : {QStringLiteral("/dev/shm"),
                                QStringLiteral("/run/user/%1").arg(::getuid()),
                                QStringLiteral("/var/tmp"), QStringLiteral("/tmp"),
                                QDir::homePath()}) {
        struct stat candidate {};
        if (::stat(QFile::encodeName(base).constData(), &candidate) == 0 &&
            candidate.st_dev != work.st_dev && QDir().mkpath(base + name))
            return base + name;
    }
    return {};
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}
} // namespace

class TestOutputFile final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void place_data()
    {
        QTest::addColumn<QString>("existing"); // "", "file", "dangling link"
        QTest::addColumn<bool>("replace");
        QTest::addColumn<QString>("placedName");
        QTest::newRow("free name") << "" << false << "clip_2160p.mp4";
        QTest::newRow("existing file kept") << "file" << false << "clip_2160p_1.mp4";
        QTest::newRow("dangling link counts as taken")
            << "dangling link" << false << "clip_2160p_1.mp4";
        QTest::newRow("chosen file replaced") << "file" << true << "clip_2160p.mp4";
        QTest::newRow("chosen link replaced, not followed")
            << "dangling link" << true << "clip_2160p.mp4";
    }
    void place()
    {
        QFETCH(QString, existing);
        QFETCH(bool, replace);
        QFETCH(QString, placedName);
        const QString folder = KorvaneTest::isolatedRoot() + QStringLiteral("/place/") +
                               QLatin1String(QTest::currentDataTag());
        QVERIFY(QDir().mkpath(folder));
        const QString destination = folder + QStringLiteral("/clip_2160p.mp4");
        const QString linkTarget = folder + QStringLiteral("/elsewhere.mp4");
        if (existing == QLatin1String("file"))
            QVERIFY(KorvaneTest::writeFile(destination, "earlier"));
        else if (existing == QLatin1String("dangling link"))
            QVERIFY(QFile::link(linkTarget, destination));

        const QString finished = finishedFile("new result");
        const OutputFile::Reservation taken = OutputFile::reserve(
            destination, replace ? OutputFile::Mode::Replace : OutputFile::Mode::KeepExisting,
            QStringLiteral("video"));
        const OutputFile::Placement placed =
            OutputFile::place(finished, taken, QStringLiteral("video"));
        QVERIFY2(!placed.error, placed.error ? qPrintable(placed.error->message()) : "");
        QCOMPARE(placed.path, folder + QLatin1Char('/') + placedName);
        QCOMPARE(KorvaneTest::readFile(placed.path), QByteArray("new result"));
        QVERIFY(!QFileInfo::exists(finished));
        QVERIFY(!QFileInfo::exists(linkTarget));
        if (existing == QLatin1String("file") && !replace)
            QCOMPARE(KorvaneTest::readFile(destination), QByteArray("earlier"));
        if (existing == QLatin1String("dangling link") && !replace)
            QVERIFY(QFileInfo(destination).isSymLink());
        // No hidden partial file is left behind.
        for (const QString& name : entries(folder))
            QVERIFY2(!name.endsWith(QLatin1String(".part")), qPrintable(name));
    }

    void copiesAcrossVolumes()
    {
        const QString folder = folderOnAnotherVolume();
        // Only a machine whose every writable folder shares one volume has nothing to try.
        if (folder.isEmpty())
            QSKIP("No second volume to write to");
        const QString finished = finishedFile("across volumes");
        const OutputFile::Placement placed = OutputFile::place(
            finished,
            OutputFile::reserve(folder + QStringLiteral("/a.mp4"), OutputFile::Mode::KeepExisting,
                                QStringLiteral("video")),
            QStringLiteral("video"));
        const QByteArray content = KorvaneTest::readFile(folder + QStringLiteral("/a.mp4"));
        const QStringList left = entries(folder);
        QDir(folder).removeRecursively();
        QVERIFY(!placed.error);
        QCOMPARE(content, QByteArray("across volumes"));
        QCOMPARE(left, QStringList{QStringLiteral("a.mp4")});
        QVERIFY(!QFileInfo::exists(finished));
    }

    void failedMoveKeepsTheResultThroughTheSweep()
    {
        // The destination folder is gone (a removed drive) when the result is ready.
        const QString folder = KorvaneTest::isolatedRoot() + QStringLiteral("/gone");
        const QString destination = folder + QStringLiteral("/clip_upscaled.mp4");
        const QString finished = finishedFile("hours of work");
        const QString unrelated = finishedFile("an abandoned run");
        {
            // Abandoned days ago; a fresh loose file may be another run's result.
            QFile file(unrelated);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addDays(-2),
                                     QFileDevice::FileModificationTime));
        }

        // Taken before the drive went, so no placeholder is left to replace.
        const OutputFile::Reservation name{destination, OutputFile::Mode::KeepExisting};
        const OutputFile::Placement placed =
            OutputFile::place(finished, name, QStringLiteral("video"));
        QVERIFY(placed.error.has_value());
        QVERIFY(placed.path.isEmpty());
        QCOMPARE(placed.keptPath, finished);
        const QString message = placed.error->message();
        QVERIFY2(message.startsWith(QStringLiteral("The upscaled video could not be saved as ") +
                                    destination),
                 qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("was kept at ") + finished), qPrintable(message));
        QCOMPARE(KorvaneTest::readFile(finished), QByteArray("hours of work"));

        // The next start's sweep leaves the kept result and its marker, and still clears the rest.
        const QStringList stale = UpscaleCore::staleTempEntries();
        QVERIFY(!stale.contains(finished));
        QVERIFY(!stale.contains(WorkFolder::keptMarker(finished)));
        QVERIFY(stale.contains(unrelated));
        UpscaleCore::removeTempEntries(stale);
        QVERIFY(QFileInfo::exists(finished));

        // Once the user has moved the file away, its marker goes with the next sweep.
        QVERIFY(QFile::remove(finished));
        QVERIFY(UpscaleCore::staleTempEntries().contains(WorkFolder::keptMarker(finished)));
    }

    void reserve_data()
    {
        QTest::addColumn<QString>("existing"); // "", "file" or "empty file"
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("adopt");
        QTest::addColumn<QString>("taken"); // the name taken; empty when reserving fails
        QTest::addColumn<QString>("problem");
        const int keep = int(OutputFile::Mode::KeepExisting);
        const int exclusive = int(OutputFile::Mode::Exclusive);
        QTest::newRow("free") << "" << keep << false << "r.png" << "";
        QTest::newRow("taken: next number") << "file" << keep << false << "r_1.png" << "";
        QTest::newRow("exact and free") << "" << exclusive << false << "r.png" << "";
        QTest::newRow("exact and taken") << "file" << exclusive << false << ""
                                         << "already exists or another upscale is saving to it";
        QTest::newRow("own placeholder adopted") << "empty file" << exclusive << true << "r.png"
                                                 << "";
        QTest::newRow("a file with content is never adopted")
            << "file" << keep << true << "r_1.png" << "";
    }
    void reserve()
    {
        QFETCH(QString, existing);
        QFETCH(int, mode);
        QFETCH(bool, adopt);
        QFETCH(QString, taken);
        QFETCH(QString, problem);
        const QString folder = KorvaneTest::isolatedRoot() + QStringLiteral("/reserve/") +
                               QLatin1String(QTest::currentDataTag());
        QVERIFY(QDir().mkpath(folder));
        const QString destination = folder + QStringLiteral("/r.png");
        if (!existing.isEmpty())
            QVERIFY(KorvaneTest::writeFile(destination, existing == QLatin1String("file")
                                                            ? QByteArray("mine")
                                                            : QByteArray()));
        try {
            const OutputFile::Reservation name = OutputFile::reserve(
                destination, OutputFile::Mode(mode), QStringLiteral("image"), adopt);
            QVERIFY2(problem.isEmpty(), "reserving should have failed");
            QCOMPARE(name.path, folder + QLatin1Char('/') + taken);
            QVERIFY(name.hasPlaceholder());
            QCOMPARE(QFileInfo(name.path).size(), qint64(0));
            OutputFile::release(name);
            QVERIFY(!QFileInfo::exists(name.path));
        } catch (const EngineError& error) {
            QVERIFY2(!problem.isEmpty(), qPrintable(error.message()));
            QVERIFY2(error.message().contains(problem), qPrintable(error.message()));
        }
        if (existing == QLatin1String("file"))
            QCOMPARE(KorvaneTest::readFile(destination), QByteArray("mine"));
    }

    // Names taken one after another in one folder are all different, a name at the file
    // system's limit fails at once with its reason, and a placeholder someone replaced with a
    // file of their own is neither removed nor overwritten.
    void reservationsNeverShareOrLoseAName()
    {
        const QString folder = KorvaneTest::isolatedRoot() + QStringLiteral("/names");
        QVERIFY(QDir().mkpath(folder));
        QSet<QString> names;
        QList<OutputFile::Reservation> held;
        for (int i = 0; i < 5; ++i) {
            held.append(OutputFile::reserve(folder + QStringLiteral("/pic_upscaled.png"),
                                            OutputFile::Mode::KeepExisting,
                                            QStringLiteral("image")));
            names.insert(held.last().path);
        }
        QCOMPARE(names.size(), 5);

        const QString longName = folder + QLatin1Char('/') + QString(250, QLatin1Char('n')) +
                                 QStringLiteral("_upscaled.png");
        QVERIFY(OutputNaming::firstFreePath(folder, QString(250, QLatin1Char('n')) +
                                                        QStringLiteral("_upscaled"),
                                            QStringLiteral("png"))
                    .endsWith(QStringLiteral("_upscaled.png")));
        try {
            OutputFile::reserve(longName, OutputFile::Mode::KeepExisting, QStringLiteral("image"));
            QFAIL("a name over the limit was taken");
        } catch (const EngineError& error) {
            QVERIFY2(error.message().contains(QStringLiteral("Choose a shorter name")),
                     qPrintable(error.message()));
        }

        // Someone puts their own file where the first placeholder was.
        QVERIFY(QFile::remove(held.first().path));
        QVERIFY(KorvaneTest::writeFile(held.first().path, "theirs"));
        OutputFile::release(held.first());
        QCOMPARE(KorvaneTest::readFile(held.first().path), QByteArray("theirs"));
        const OutputFile::Placement placed =
            OutputFile::place(finishedFile("result"), held.first(), QStringLiteral("image"));
        QVERIFY(!placed.error);
        QVERIFY(placed.path != held.first().path);
        QCOMPARE(KorvaneTest::readFile(held.first().path), QByteArray("theirs"));
        QCOMPARE(KorvaneTest::readFile(placed.path), QByteArray("result"));
        // The others replace their own placeholders.
        const OutputFile::Placement second =
            OutputFile::place(finishedFile("second"), held.at(1), QStringLiteral("image"));
        QCOMPARE(second.path, held.at(1).path);
        QCOMPARE(KorvaneTest::readFile(second.path), QByteArray("second"));
    }

    void keepMovesOutOfAWorkFolder()
    {
        QString kept;
        {
            const WorkFolder work(QStringLiteral("img-"));
            const QString inside = work.filePath(QStringLiteral("upscaled.png"));
            QVERIFY(KorvaneTest::writeFile(inside, "picture"));
            kept = WorkFolder::keep(inside);
        }
        QCOMPARE(QFileInfo(kept).absolutePath(), QFileInfo(WorkFolder::root()).absoluteFilePath());
        QCOMPARE(KorvaneTest::readFile(kept), QByteArray("picture"));
        QVERIFY(WorkFolder::isKept(kept));
    }

    void destinationProblem_data()
    {
        QTest::addColumn<QString>("destination");
        QTest::addColumn<qint64>("needed");
        QTest::addColumn<QString>("problem"); // the start of the message; empty for none
        const QString root = KorvaneTest::isolatedRoot() + QStringLiteral("/dest");
        QTest::newRow("fine") << root + QStringLiteral("/a_upscaled.png") << qint64(1000)
                              << QString();
        QTest::newRow("missing folder")
            << root + QStringLiteral("/missing/a.png") << qint64(0)
            << QStringLiteral("The folder ") + root + QStringLiteral("/missing does not exist.");
        QTest::newRow("the source itself")
            << root + QStringLiteral("/a.png") << qint64(0)
            << QStringLiteral("The upscaled image would replace its own source, a.png.");
        QTest::newRow("the source through a link")
            << root + QStringLiteral("/link.png") << qint64(0)
            << QStringLiteral("The upscaled image would replace its own source, a.png.");
        QTest::newRow("not enough room")
            << root + QStringLiteral("/b.png") << (qint64(1) << 60)
            << QStringLiteral("There is not enough free space in ") + root;
    }
    void destinationProblem()
    {
        QFETCH(QString, destination);
        QFETCH(qint64, needed);
        QFETCH(QString, problem);
        const QString root = KorvaneTest::isolatedRoot() + QStringLiteral("/dest");
        const QString source = root + QStringLiteral("/a.png");
        if (!QFileInfo::exists(source)) {
            QVERIFY(KorvaneTest::writeFile(source, "source"));
            QVERIFY(QFile::link(source, root + QStringLiteral("/link.png")));
        }
        const std::optional<QString> found =
            OutputFile::destinationProblem(destination, {source}, needed, QStringLiteral("image"));
        if (problem.isEmpty()) {
            QVERIFY2(!found, found ? qPrintable(*found) : "");
            return;
        }
        QVERIFY(found.has_value());
        QVERIFY2(found->startsWith(problem), qPrintable(*found));
    }
};

KORVANE_TEST_MAIN(TestOutputFile)
#include "tst_outputfile.moc"
