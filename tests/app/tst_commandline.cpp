// The command line's arguments, options and texts.
#include <QJsonDocument>
#include <QJsonObject>

#include "app/CommandLine.h"
#include "engine/UpscaleOptions.h"
#include "support/TestSupport.h"

using namespace Qt::StringLiterals;
using CommandLine::Command;
using CommandLine::UpscaleRequest;

Q_DECLARE_METATYPE(CommandLine::Command)
Q_DECLARE_METATYPE(CommandLine::UpscaleRequest)

class TestCommandLine final : public QObject {
    Q_OBJECT

    static UpscaleRequest inputs(const QStringList& files)
    {
        UpscaleRequest request;
        request.inputs = files;
        return request;
    }

private Q_SLOTS:
    void commandsAndTheWindow_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<Command>("command");
        QTest::newRow("nothing") << QStringList{} << Command::Window;
        QTest::newRow("a URL") << QStringList{u"korvane://auth?token=x"_s} << Command::Window;
        QTest::newRow("a file") << QStringList{u"upscale.mp4"_s} << Command::Window;
        QTest::newRow("version") << QStringList{u"--version"_s} << Command::Version;
        QTest::newRow("help") << QStringList{u"--help"_s} << Command::Help;
        QTest::newRow("upscale help")
            << QStringList{u"upscale"_s, u"a.mp4"_s, u"--help"_s} << Command::UpscaleHelp;
        QTest::newRow("upscale") << QStringList{u"upscale"_s, u"a.mp4"_s} << Command::Upscale;
    }

    void commandsAndTheWindow()
    {
        QFETCH(QStringList, arguments);
        QFETCH(Command, command);
        QCOMPARE(CommandLine::isCommand(arguments), command != Command::Window);
        QCOMPARE(CommandLine::parse(arguments).command, command);
    }

    void upscaleOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<UpscaleRequest>("expected");

        QTest::newRow("defaults") << QStringList{u"a.mp4"_s, u"b.png"_s}
                                  << inputs({u"a.mp4"_s, u"b.png"_s});
        UpscaleRequest all = inputs({u"a.mp4"_s, u"-dash.png"_s});
        all.targetHeight = 1080;
        all.scale = 3;
        all.quality = AIQuality::Max;
        all.codec = Codecs::h264;
        all.format = u"jpg"_s;
        all.outputDir = QStringLiteral("out dir");
        all.json = true;
        all.noHistory = true;
        QTest::newRow("every option, both spellings, -- before a name starting with -")
            << QStringList{u"a.mp4"_s,        u"--resolution"_s, u"1080p"_s,        u"--scale=3"_s,
                           u"--quality"_s,    u"MAX"_s,          u"--codec=h264"_s, u"--format"_s,
                           u"jpeg"_s,         u"--output-dir"_s, u"out dir"_s,      u"--json"_s,
                           u"--no-history"_s, u"--"_s,           u"-dash.png"_s}
            << all;
        UpscaleRequest four = inputs({u"a.mp4"_s});
        four.targetHeight = 2160;
        four.codec = Codecs::hevc;
        four.output = QStringLiteral("/tmp/x.mp4");
        QTest::newRow("4k, h265, one output")
            << QStringList{u"--resolution=4K"_s, u"--codec"_s,    u"h265"_s,
                           u"--output"_s,        u"/tmp/x.mp4"_s, u"a.mp4"_s}
            << four;
    }

    void upscaleOptions()
    {
        QFETCH(QStringList, arguments);
        QFETCH(UpscaleRequest, expected);
        const CommandLine::Parsed parsed =
            CommandLine::parse(QStringList{u"upscale"_s} + arguments);
        QCOMPARE(parsed.error, QString());
        QCOMPARE(parsed.command, Command::Upscale);
        QVERIFY(parsed.request == expected);
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("error");
        QTest::newRow("no input") << QStringList{u"--json"_s} << "no input files given";
        QTest::newRow("unknown option")
            << QStringList{u"a.mp4"_s, u"--fast"_s} << "unknown option \"--fast\"";
        QTest::newRow("missing value")
            << QStringList{u"a.mp4"_s, u"--scale"_s} << "--scale needs a value";
        QTest::newRow("bad scale") << QStringList{u"a.png"_s, u"--scale"_s, u"5"_s}
                                   << "--scale takes 2, 3 or 4, not \"5\"";
        QTest::newRow("bad resolution") << QStringList{u"a.mp4"_s, u"--resolution=720p"_s}
                                        << "--resolution takes 1080p or 4k, not \"720p\"";
        QTest::newRow("bad quality") << QStringList{u"a.mp4"_s, u"--quality"_s, u"best"_s}
                                     << "--quality takes fast, detailed or max, not \"best\"";
        QTest::newRow("bad codec") << QStringList{u"a.mp4"_s, u"--codec"_s, u"vp9"_s}
                                   << "--codec takes h264 or h265, not \"vp9\"";
        QTest::newRow("bad format") << QStringList{u"a.png"_s, u"--format"_s, u"gif"_s}
                                    << "--format takes png or jpg, not \"gif\"";
        QTest::newRow("one output, two inputs")
            << QStringList{u"a.mp4"_s, u"b.mp4"_s, u"--output"_s, u"c.mp4"_s}
            << "--output names one file, but 2 inputs were given; use --output-dir for several";
        QTest::newRow("output and folder")
            << QStringList{u"a.mp4"_s, u"--output"_s, u"c.mp4"_s, u"--output-dir"_s, u"d"_s}
            << "--output and --output-dir cannot be used together";
        QTest::newRow("output of no known kind")
            << QStringList{u"a.mp4"_s, u"--output"_s, u"c.mkv"_s}
            << "--output must end in .mp4 (videos) or .png or .jpg (images)";
        QTest::newRow("output against format")
            << QStringList{u"a.png"_s, u"--output"_s, u"c.png"_s, u"--format"_s, u"jpg"_s}
            << "--output ends in .png but --format asks for jpg";
    }

    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        QCOMPARE(CommandLine::parse(QStringList{u"upscale"_s} + arguments).error, error);
    }

    void remainingTime_data()
    {
        QTest::addColumn<QString>("eta");
        QTest::addColumn<qint64>("seconds"); // -1: none
        QTest::newRow("seconds") << "45s" << qint64(45);
        QTest::newRow("minutes") << "12m 5s" << qint64(725);
        QTest::newRow("calculating") << "Calculating ETA…" << qint64(-1);
        QTest::newRow("empty") << "" << qint64(-1);
    }

    void remainingTime()
    {
        QFETCH(QString, eta);
        QFETCH(qint64, seconds);
        QCOMPARE(CommandLine::etaSeconds(eta).value_or(-1), seconds);
    }

    void reports()
    {
        QCOMPARE(
            CommandLine::progressLine(u"clip.mp4"_s, 0.427, u"AI enhancing frames…"_s, u"1m 5s"_s),
            u"clip.mp4  AI enhancing frames…  42%  1m 5s left"_s);
        QCOMPARE(
            CommandLine::progressLine(u"clip.mp4"_s, 0.0, u"Starting…"_s, u"Calculating ETA…"_s),
            u"clip.mp4  Starting…  0%"_s);

        const QJsonObject progress =
            QJsonDocument::fromJson(
                CommandLine::progressJson(u"a \"b\".mp4"_s, 0.4567, u"Encoding…"_s, u"2m 0s"_s))
                .object();
        QCOMPARE(progress.value(u"file"_s).toString(), u"a \"b\".mp4"_s);
        QCOMPARE(progress.value(u"fraction"_s).toDouble(), 0.457);
        QCOMPARE(progress.value(u"status"_s).toString(), u"Encoding…"_s);
        QCOMPARE(progress.value(u"eta_s"_s).toInteger(), 120);
        QVERIFY(
            QJsonDocument::fromJson(CommandLine::progressJson(u"a"_s, 0, u"Starting…"_s, QString()))
                .object()
                .value(u"eta_s"_s)
                .isNull());
        QCOMPARE(CommandLine::outputJson(u"a.png"_s, u"/o/a_upscaled.png"_s),
                 QByteArray(R"({"file":"a.png","output":"/o/a_upscaled.png"})"));
        QCOMPARE(CommandLine::errorJson(u"a.png"_s, u"Broken"_s),
                 QByteArray(R"({"error":"Broken","file":"a.png"})"));
        QVERIFY(!CommandLine::outputJson(u"a\nb"_s, u"c"_s).contains('\n'));
    }
};

KORVANE_TEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
