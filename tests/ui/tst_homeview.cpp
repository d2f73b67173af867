#include <memory>

#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include "account/AccountStore.h"
#include "account/AuthManager.h"
#include "processing/ImageUpscaler.h"
#include "processing/Upscaler.h"
#include "support/TestSupport.h"
#include "ui/DashboardHistory.h"
#include "ui/components/ElidedLabel.h"
#include "ui/home/ActivityChart.h"
#include "ui/home/HomeView.h"
#include "ui/home/SavingsCard.h"
#include "ui/home/SplitBar.h"
#include "ui/home/SuccessRing.h"

// The dashboard and the savings card on the real models, whose histories drive every figure.
class TestHomeView final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void emptyHistories();
    void footageOnBothCards_data();
    void footageOnBothCards();
    void successRateAndRecentRow();
    void activityWindow_data();
    void activityWindow();
    void greetingFollowsTheSignedInUser();
    void newUpscaleMenuAsksForTabs();

private:
    std::unique_ptr<Upscaler> m_videos;
    std::unique_ptr<ImageUpscaler> m_images;
    std::unique_ptr<AuthManager> m_auth;
};

using DashboardHistory::image;
using DashboardHistory::video;

namespace {
const QDateTime kNow(QDate(2026, 12, 10), QTime(10, 30));

QString text(const QWidget& root, const QString& name)
{
    const auto* label = root.findChild<QLabel*>(name);
    return label ? label->text() : QStringLiteral("<no label %1>").arg(name);
}

bool shown(const QWidget& root, const QString& name)
{
    const auto* widget = root.findChild<QWidget*>(name);
    return widget && widget->isVisibleTo(&root);
}

// The names and status texts of the recent row, in order.
QStringList recentRow(const HomeView& home)
{
    QStringList row;
    const auto names = home.findChildren<ElidedLabel*>(QStringLiteral("recentName"));
    const auto statuses = home.findChildren<QLabel*>(QStringLiteral("recentStatus"));
    for (qsizetype i = 0; i < names.size() && i < statuses.size(); ++i)
        row.append(names.at(i)->fullText() + QLatin1Char(' ') + statuses.at(i)->text());
    return row;
}
} // namespace

void TestHomeView::initTestCase()
{
    qputenv("KORVANE_API_BASE", "http://127.0.0.1:9"); // nothing answers
    m_videos = std::make_unique<Upscaler>();
    m_images = std::make_unique<ImageUpscaler>();
    m_auth = std::make_unique<AuthManager>(std::chrono::milliseconds(500));
    QTRY_VERIFY(m_videos->historyLoaded() && m_images->historyLoaded());
}

void TestHomeView::init()
{
    m_videos->setHistory({});
    m_images->setHistory({});
}

void TestHomeView::emptyHistories()
{
    HomeView home(*m_videos, *m_images, *m_auth);
    home.setClock([] { return kNow; });
    home.resize(1000, 700);
    home.show();
    QVERIFY(QTest::qWaitForWindowExposed(&home));
    QCOMPARE(text(home, QStringLiteral("insight")),
             QStringLiteral("Upscale a video or photo to start tracking your savings."));
    QCOMPARE(text(home, QStringLiteral("processed")), QStringLiteral("0"));
    QCOMPARE(text(home, QStringLiteral("split")), QStringLiteral("0 videos · 0 images"));
    QCOMPARE(home.findChild<SplitBar*>()->firstWidth(), 0.0);
    QCOMPARE(home.findChild<SuccessRing*>()->text(), QStringLiteral("100%"));
    QCOMPARE(home.findChild<SuccessRing*>()->rate(), 1.0);
    QCOMPARE(text(home, QStringLiteral("failed")), QStringLiteral("0"));
    QVERIFY(
        text(home, QStringLiteral("failedCaption")).startsWith(QStringLiteral("No failed jobs")));
    QCOMPARE(text(home, QStringLiteral("footage")), QStringLiteral("0s"));
    for (const QString& empty : {QStringLiteral("videoEmpty"), QStringLiteral("imageEmpty")}) {
        QVERIFY2(shown(home, empty), qPrintable(empty));
        QCOMPARE(text(home, empty), QStringLiteral("Last 7 days — nothing yet"));
    }
    for (const ActivityChart* chart : home.findChildren<ActivityChart*>())
        QVERIFY(!chart->isVisibleTo(&home));
    QVERIFY(recentRow(home).isEmpty());

    SavingsCard compact(*m_videos, true);
    QCOMPARE(text(compact, QStringLiteral("videos")), QStringLiteral("0"));
    QCOMPARE(text(compact, QStringLiteral("footage")), QStringLiteral("0 sec"));
    QCOMPARE(compact.figures().amountText(), QStringLiteral("$0.00 to $0.00"));
}

void TestHomeView::footageOnBothCards_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("dashboard");
    QTest::addColumn<QString>("card");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("insight");
    QTest::newRow("59.9 s") << 59.9 << QStringLiteral("59s") << QStringLiteral("60 sec")
                            << QStringLiteral("$1.20 to $3.00")
                            << QStringLiteral("You've upscaled 1 item locally, saving about "
                                              "$1.20–$3.00 vs. cloud tools.");
    QTest::newRow("120 s") << 120.0 << QStringLiteral("2 min") << QStringLiteral("2.0 min")
                           << QStringLiteral("$2.40 to $6.00")
                           << QStringLiteral("You've upscaled 1 item locally, saving about "
                                             "$2.40–$6.00 vs. cloud tools.");
}

void TestHomeView::footageOnBothCards()
{
    QFETCH(double, seconds);
    QFETCH(QString, dashboard);
    QFETCH(QString, card);
    QFETCH(QString, amount);
    QFETCH(QString, insight);
    HomeView home(*m_videos, *m_images, *m_auth);
    home.setClock([] { return kNow; });
    SavingsCard compact(*m_videos, true);
    SavingsCard full(*m_videos, false);
    // The views were made first: they follow the change.
    m_videos->setHistory({video(QStringLiteral("failed.mp4"), kNow, false, 300),
                          video(QStringLiteral("clip.mp4"), kNow, true, seconds)});

    QCOMPARE(text(home, QStringLiteral("footage")), dashboard);
    QCOMPARE(text(home, QStringLiteral("videoFootage")), dashboard);
    QCOMPARE(text(home, QStringLiteral("insight")), insight);
    for (const SavingsCard* savings : {&compact, &full}) {
        QCOMPARE(text(*savings, QStringLiteral("footage")), card);
        QCOMPARE(text(*savings, QStringLiteral("videos")), QStringLiteral("1"));
        QCOMPARE(savings->figures().amountText(), amount);
    }
    QCOMPARE(text(full, QStringLiteral("rate")), QStringLiteral("$0.02–0.05/sec"));

    m_videos->clearHistory(false);
    QCOMPARE(text(home, QStringLiteral("footage")), QStringLiteral("0s"));
    QCOMPARE(text(compact, QStringLiteral("footage")), QStringLiteral("0 sec"));
}

void TestHomeView::successRateAndRecentRow()
{
    HomeView home(*m_videos, *m_images, *m_auth);
    home.setClock([] { return kNow; });
    home.resize(1000, 700);
    home.show();
    m_videos->setHistory({video(QStringLiteral("a.mp4"), kNow.addSecs(-3600), true),
                          video(QStringLiteral("old.mp4"), kNow.addDays(-30), true)});
    m_images->setHistory({image(QStringLiteral("b.png"), kNow.addSecs(-60), false),
                          image(QStringLiteral("c.png"), kNow.addSecs(-7200), true),
                          image(QStringLiteral("d.png"), kNow.addDays(-20), false)});
    QCOMPARE(home.findChild<SuccessRing*>()->text(), QStringLiteral("60%"));
    QCOMPARE(text(home, QStringLiteral("failed")), QStringLiteral("2"));
    QCOMPARE(text(home, QStringLiteral("failedCaption")), QStringLiteral("Failed or stopped jobs"));
    QCOMPARE(text(home, QStringLiteral("split")), QStringLiteral("2 videos · 1 image"));
    QCOMPARE(recentRow(home),
             (QStringList{QStringLiteral("b.png Failed"), QStringLiteral("a.mp4 Completed"),
                          QStringLiteral("c.png Completed")}));

    // Two of three: the gauge truncates 66.7 %; two items leave the third column empty.
    m_videos->setHistory({});
    m_images->setHistory({image(QStringLiteral("b.png"), kNow.addSecs(-60), false),
                          image(QStringLiteral("c.png"), kNow.addSecs(-7200), true),
                          image(QStringLiteral("e.png"), kNow.addSecs(-9000), true)});
    QCOMPARE(home.findChild<SuccessRing*>()->text(), QStringLiteral("66%"));
    m_images->deleteHistory({m_images->history().constLast().id}, false);
    QCOMPARE(recentRow(home),
             (QStringList{QStringLiteral("b.png Failed"), QStringLiteral("c.png Completed")}));
    QCOMPARE(home.findChild<SuccessRing*>()->text(), QStringLiteral("50%"));
    // The row keeps three equal columns: two cards and one empty.
    const auto* card = home.findChild<ElidedLabel*>(QStringLiteral("recentName"))->parentWidget();
    const int column = (home.width() - 2 * 20 - 2 * 14) / 3;
    QTRY_VERIFY2(qAbs(card->width() - column) <= 20, qPrintable(QString::number(card->width())));
}

void TestHomeView::activityWindow_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<bool>("counted");
    QTest::newRow("23:59 six days ago")
        << QDateTime(kNow.date().addDays(-6), QTime(23, 59)) << true;
    QTest::newRow("today at midnight") << QDateTime(kNow.date(), QTime(0, 0)) << true;
    QTest::newRow("23:59 seven days ago")
        << QDateTime(kNow.date().addDays(-7), QTime(23, 59)) << false;
}

void TestHomeView::activityWindow()
{
    QFETCH(QDateTime, when);
    QFETCH(bool, counted);
    HomeView home(*m_videos, *m_images, *m_auth);
    home.setClock([] { return kNow; });
    home.resize(1000, 700);
    home.show();
    m_images->setHistory({image(QStringLiteral("p.png"), when, true)});
    QCOMPARE(shown(home, QStringLiteral("imageEmpty")), !counted);
    QVERIFY(shown(home, QStringLiteral("videoEmpty")));
    QCOMPARE(text(home, QStringLiteral("imageUpscaled")), QStringLiteral("1"));
    QCOMPARE(text(home, QStringLiteral("imageSaved")), QStringLiteral("1"));
    int total = 0;
    for (const auto& point : home.figures().imageActivity)
        total += point.count;
    QCOMPARE(total, counted ? 1 : 0);
}

void TestHomeView::greetingFollowsTheSignedInUser()
{
    HomeView home(*m_videos, *m_images, *m_auth);
    home.setClock([] { return QDateTime(kNow.date(), QTime(11, 59)); });
    QCOMPARE(text(home, QStringLiteral("greeting")), QStringLiteral("Good morning"));

    // A signed-in launch: the stored token with the profile cached for it.
    AccountStore::setToken(AccountStore::tokenKey(QUrl(AuthManager::configuredApiBase()).host()),
                           QStringLiteral("fixture"));
    AccountStore::setCachedUser(R"({"userId":"1","firstName":"Ada","username":"ada99"})");
    AccountStore::setLastCheck(QDateTime::currentDateTimeUtc());
    AuthManager signedIn(std::chrono::milliseconds(500));
    QVERIFY(signedIn.user().has_value());
    HomeView named(*m_videos, *m_images, signedIn);
    named.setClock([] { return QDateTime(kNow.date(), QTime(16, 59)); });
    QCOMPARE(text(named, QStringLiteral("greeting")), QStringLiteral("Good afternoon, Ada"));
    named.setClock([] { return QDateTime(kNow.date(), QTime(17, 0)); });
    QCOMPARE(text(named, QStringLiteral("greeting")), QStringLiteral("Good evening, Ada"));
    signedIn.signOut();
    QCOMPARE(text(named, QStringLiteral("greeting")), QStringLiteral("Good evening"));
}

void TestHomeView::newUpscaleMenuAsksForTabs()
{
    HomeView home(*m_videos, *m_images, *m_auth);
    QSignalSpy video(&home, &HomeView::videoRequested);
    QSignalSpy image(&home, &HomeView::imageRequested);
    const QList<QAction*> items = home.newUpscaleMenu()->actions();
    QCOMPARE(items.size(), 2);
    QCOMPARE(items.at(0)->text(), QStringLiteral("New Video"));
    QCOMPARE(items.at(1)->text(), QStringLiteral("New Image"));
    items.at(0)->trigger();
    QCOMPARE(video.size(), 1);
    QCOMPARE(image.size(), 0);
    items.at(1)->trigger();
    QCOMPARE(image.size(), 1);
}

KORVANE_TEST_MAIN(TestHomeView)
#include "tst_homeview.moc"
