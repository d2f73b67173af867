#include <QTest>

#include "support/TestSupport.h"
#include "ui/DashboardHistory.h"
#include "ui/home/DashboardFigures.h"
#include "ui/home/SavingsFigures.h"

using Videos = QList<Upscaler::HistoryEntry>;
using Images = QList<ImageUpscaler::HistoryEntry>;

class TestDashboardFigures final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void emptyHistories();
    void oneImageSuccess();
    void footage_data();
    void footage();
    void successPercent_data();
    void successPercent();
    void sevenDayWindow();
    void recentItems();
    void greeting_data();
    void greeting();
};

using DashboardHistory::image;
using DashboardHistory::video;

namespace {
const QDateTime kNow(QDate(2026, 12, 10), QTime(10, 30));

QList<int> counts(const QList<DashboardFigures::ActivityPoint>& points)
{
    QList<int> result;
    for (const auto& point : points)
        result.append(point.count);
    return result;
}
} // namespace

void TestDashboardFigures::emptyHistories()
{
    const DashboardFigures figures = DashboardFigures::compute({}, {}, kNow);
    QCOMPARE(figures.insight(),
             QStringLiteral("Upscale a video or photo to start tracking your savings."));
    QCOMPARE(figures.successes, 0);
    QCOMPARE(figures.splitText(), QStringLiteral("0 videos · 0 images"));
    QCOMPARE(figures.successRate, 1.0);
    QCOMPARE(figures.successPercentText(), QStringLiteral("100%"));
    QCOMPARE(figures.failures(), 0);
    QCOMPARE(figures.footageText(), QStringLiteral("0s"));
    QCOMPARE(counts(figures.videoActivity), QList<int>(7, 0));
    QCOMPARE(counts(figures.imageActivity), QList<int>(7, 0));
    QVERIFY(figures.recent.isEmpty());
    const SavingsFigures savings = SavingsFigures::of({});
    QCOMPARE(savings.amountText(), QStringLiteral("$0.00 to $0.00"));
    QCOMPARE(savings.footageText(), QStringLiteral("0 sec"));
}

void TestDashboardFigures::oneImageSuccess()
{
    const DashboardFigures figures = DashboardFigures::compute(
        {}, {image(QStringLiteral("cat.png"), kNow.addSecs(-60), true)}, kNow);
    QCOMPARE(figures.insight(), QStringLiteral("You've upscaled 1 item locally, saving about "
                                               "$0.00–$0.00 vs. cloud tools."));
    QCOMPARE(figures.splitText(), QStringLiteral("0 videos · 1 image"));
    QCOMPARE(figures.footageText(), QStringLiteral("0s"));
}

void TestDashboardFigures::footage_data()
{
    QTest::addColumn<QList<double>>("durations");
    QTest::addColumn<QString>("dashboard");
    QTest::addColumn<QString>("card");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("insight");
    QTest::newRow("59.9 s") << QList<double>{40, 19.9} << QStringLiteral("59s")
                            << QStringLiteral("60 sec") << QStringLiteral("$1.20 to $3.00")
                            << QStringLiteral("You've upscaled 2 items locally, saving about "
                                              "$1.20–$3.00 vs. cloud tools.");
    QTest::newRow("120 s") << QList<double>{120} << QStringLiteral("2 min")
                           << QStringLiteral("2.0 min") << QStringLiteral("$2.40 to $6.00")
                           << QStringLiteral("You've upscaled 1 item locally, saving about "
                                             "$2.40–$6.00 vs. cloud tools.");
    QTest::newRow("90 s") << QList<double>{90} << QStringLiteral("2 min")
                          << QStringLiteral("1.5 min") << QStringLiteral("$1.80 to $4.50")
                          << QStringLiteral("You've upscaled 1 item locally, saving about "
                                            "$1.80–$4.50 vs. cloud tools.");
}

void TestDashboardFigures::footage()
{
    QFETCH(QList<double>, durations);
    QFETCH(QString, dashboard);
    QFETCH(QString, card);
    QFETCH(QString, amount);
    QFETCH(QString, insight);
    // A failed upscale adds neither footage nor savings.
    Videos videos{video(QStringLiteral("failed.mp4"), kNow, false, 500)};
    for (double seconds : std::as_const(durations))
        videos.append(video(QStringLiteral("clip.mp4"), kNow, true, seconds));
    const DashboardFigures figures = DashboardFigures::compute(videos, {}, kNow);
    QCOMPARE(figures.footageText(), dashboard);
    QCOMPARE(figures.insight(), insight);
    const SavingsFigures savings = SavingsFigures::of(videos);
    QCOMPARE(savings.videos, durations.size());
    QCOMPARE(savings.footageText(), card);
    QCOMPARE(savings.amountText(), amount);
}

void TestDashboardFigures::successPercent_data()
{
    QTest::addColumn<int>("videoSuccesses");
    QTest::addColumn<int>("imageSuccesses");
    QTest::addColumn<int>("failures");
    QTest::addColumn<QString>("percent");
    QTest::addColumn<QString>("split");
    QTest::newRow("2 of 3") << 1 << 1 << 1 << QStringLiteral("66%")
                            << QStringLiteral("1 video · 1 image");
    QTest::newRow("29 of 100") << 29 << 0 << 71 << QStringLiteral("29%")
                               << QStringLiteral("29 videos · 0 images");
    QTest::newRow("none of 2") << 0 << 0 << 2 << QStringLiteral("0%")
                               << QStringLiteral("0 videos · 0 images");
}

void TestDashboardFigures::successPercent()
{
    QFETCH(int, videoSuccesses);
    QFETCH(int, imageSuccesses);
    QFETCH(int, failures);
    QFETCH(QString, percent);
    QFETCH(QString, split);
    Videos videos;
    Images images;
    for (int i = 0; i < videoSuccesses; ++i)
        videos.append(video(QStringLiteral("v.mp4"), kNow, true));
    for (int i = 0; i < imageSuccesses; ++i)
        images.append(image(QStringLiteral("i.png"), kNow, true));
    for (int i = 0; i < failures; ++i)
        images.append(image(QStringLiteral("bad.png"), kNow, false));
    const DashboardFigures figures = DashboardFigures::compute(videos, images, kNow);
    QCOMPARE(figures.successPercentText(), percent);
    QCOMPARE(figures.failures(), failures);
    QCOMPARE(figures.splitText(), split);
}

void TestDashboardFigures::sevenDayWindow()
{
    const QDate today = kNow.date();
    const QDateTime sixDaysAgoLate(today.addDays(-6), QTime(23, 59));
    const QDateTime sevenDaysAgoLate(today.addDays(-7), QTime(23, 59));
    const QDateTime todayMidnight(today, QTime(0, 0));
    const Videos videos{
        video(QStringLiteral("a.mp4"), sixDaysAgoLate, true),
        video(QStringLiteral("b.mp4"), sevenDaysAgoLate, true),
        video(QStringLiteral("c.mp4"), todayMidnight, true),
        video(QStringLiteral("d.mp4"), todayMidnight, true),
        video(QStringLiteral("failed.mp4"), todayMidnight, false),
    };
    const Images images{
        image(QStringLiteral("x.png"), QDateTime(today.addDays(-2), QTime(8, 0)), true),
        // Stored in UTC: counted on the local day it falls on.
        image(QStringLiteral("y.png"), sixDaysAgoLate.toUTC(), true)};
    const DashboardFigures figures = DashboardFigures::compute(videos, images, kNow);
    QCOMPARE(counts(figures.videoActivity), (QList<int>{1, 0, 0, 0, 0, 0, 2}));
    QCOMPARE(counts(figures.imageActivity), (QList<int>{1, 0, 0, 0, 1, 0, 0}));
    QCOMPARE(figures.videoActivity.first().day, today.addDays(-6).startOfDay());
    QCOMPARE(figures.videoActivity.last().day, today.startOfDay());
    QCOMPARE(figures.videoActivity.first().kind, QStringLiteral("Videos"));
    QCOMPARE(figures.imageActivity.first().kind, QStringLiteral("Images"));
}

void TestDashboardFigures::recentItems()
{
    const QDateTime base = kNow.addDays(-1);
    const Videos videos{
        video(QStringLiteral("v-newest.mp4"), base.addSecs(500), false),
        video(QStringLiteral("v-tie.mp4"), base.addSecs(300), true),
        video(QStringLiteral("v-old.mp4"), base.addSecs(100), true),
    };
    const Images images{
        image(QStringLiteral("i-tie.png"), base.addSecs(300), true),
        image(QStringLiteral("i-old.png"), base.addSecs(200), false),
    };
    const DashboardFigures figures = DashboardFigures::compute(videos, images, kNow);
    QCOMPARE(figures.recent.size(), 3);
    QCOMPARE(figures.recent.at(0).name, QStringLiteral("v-newest.mp4"));
    QCOMPARE(figures.recent.at(0).success, false);
    QCOMPARE(figures.recent.at(0).icon, QStringLiteral("film"));
    // Equal dates keep videos before images.
    QCOMPARE(figures.recent.at(1).name, QStringLiteral("v-tie.mp4"));
    QCOMPARE(figures.recent.at(2).name, QStringLiteral("i-tie.png"));
    QCOMPARE(figures.recent.at(2).icon, QStringLiteral("photo"));
    QVERIFY(figures.recent.at(0).id != figures.recent.at(1).id);

    const DashboardFigures two = DashboardFigures::compute({}, images, kNow);
    QCOMPARE(two.recent.size(), 2);
    QCOMPARE(two.recent.at(1).name, QStringLiteral("i-old.png"));
}

void TestDashboardFigures::greeting_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("greeting");
    QTest::newRow("midnight") << QTime(0, 0) << QString() << QStringLiteral("Good morning");
    QTest::newRow("11:59 no name") << QTime(11, 59) << QString() << QStringLiteral("Good morning");
    QTest::newRow("12:00") << QTime(12, 0) << QStringLiteral("Ada")
                           << QStringLiteral("Good afternoon, Ada");
    QTest::newRow("16:59") << QTime(16, 59) << QStringLiteral("Ada")
                           << QStringLiteral("Good afternoon, Ada");
    QTest::newRow("17:00") << QTime(17, 0) << QStringLiteral("Ada")
                           << QStringLiteral("Good evening, Ada");
    QTest::newRow("23:59 no name") << QTime(23, 59) << QString() << QStringLiteral("Good evening");
}

void TestDashboardFigures::greeting()
{
    QFETCH(QTime, time);
    QFETCH(QString, name);
    QFETCH(QString, greeting);
    QCOMPARE(DashboardFigures::greeting(QDateTime(kNow.date(), time), name), greeting);
}

KORVANE_TEST_MAIN(TestDashboardFigures)
#include "tst_dashboardfigures.moc"
