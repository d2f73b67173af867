// The window's routing, the sidebar, the account screens and their texts, on real widgets.
#include <atomic>
#include <memory>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QClipboard>
#include <QDialog>
#include <QImage>
#include <QLineEdit>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QThread>

#include "account/AccountStore.h"
#include "account/AuthManager.h"
#include "account/SystemOpener.h"
#include "processing/BatchProcessor.h"
#include "processing/BulkImageProcessor.h"
#include "processing/JobQueue.h"
#include "support/TestSupport.h"
#include "ui/account/LoginView.h"
#include "ui/account/ProfileRow.h"
#include "ui/account/ProfileTexts.h"
#include "ui/account/ProfileView.h"
#include "ui/compare/CompareChip.h"
#include "ui/compare/CompareView.h"
#include "ui/components/DropCard.h"
#include "ui/components/Segmented.h"
#include "ui/home/HomeView.h"
#include "ui/image/ImageUpscaleView.h"
#include "ui/queue/NowBar.h"
#include "ui/queue/NowPill.h"
#include "ui/shell/ContentView.h"
#include "ui/video/UpscaleView.h"

namespace {
const QUrl kCallback(QStringLiteral("korvane://auth?token=abc"));

// A signed-in launch: the callback's token stored with the profile cached for it (a profile
// cached without its token belongs to nobody and is dropped when a token arrives).
void storeFreshUser(const QByteArray& json)
{
    AccountStore::setToken(AccountStore::tokenKey(QUrl(AuthManager::configuredApiBase()).host()),
                           QStringLiteral("abc"));
    AccountStore::setCachedUser(json);
    AccountStore::setLastCheck(QDateTime::currentDateTimeUtc());
}

UserInfo user(const QByteArray& json)
{
    return UserInfo::decode(json).value();
}

// The part of widget that shows on screen, in root's coordinates: its rectangle clipped by each
// parent up to root (scroll areas, stacks).
QRect shownRect(const QWidget* widget, const QWidget* root)
{
    QRect shown(widget->mapTo(root, QPoint(0, 0)), widget->size());
    for (const QWidget* parent = widget->parentWidget(); parent && parent != root;
         parent = parent->parentWidget())
        shown &= QRect(parent->mapTo(root, QPoint(0, 0)), parent->size());
    return shown;
}

// What a person clicks or types into.
bool interactive(const QWidget* widget)
{
    return qobject_cast<const QAbstractButton*>(widget) ||
           qobject_cast<const QAbstractSlider*>(widget) || qobject_cast<const QLineEdit*>(widget) ||
           qobject_cast<const Segmented*>(widget) || qobject_cast<const DropCard*>(widget) ||
           qobject_cast<const CompareChip*>(widget);
}
} // namespace

class TestContentView final : public QObject {
    Q_OBJECT

    JobQueue m_queue;
    QList<QUrl> m_opened;

private Q_SLOTS:
    void initTestCase()
    {
        SystemOpener::setInterceptor(
            [this](SystemOpener::Action, const QUrl& url) { m_opened.append(url); });
    }

    void init()
    {
        m_opened.clear();
        AccountStore::clearCache();
    }

    void routesBySignInState()
    {
        AuthManager auth(std::chrono::milliseconds(300));
        ContentView view(auth, m_queue);
        view.show();
        QCOMPARE(view.root(), ContentView::Root::Login);
        // A token without a profile waits; the failed profile request keeps it waiting.
        auth.handle(kCallback);
        QCOMPARE(view.root(), ContentView::Root::Checking);
        QTRY_VERIFY(!auth.checking());
        QCOMPARE(view.root(), ContentView::Root::Checking);
        QCOMPARE(view.minimumSize(), QSize(1100, 700));
    }

    void freshCachedUserGoesStraightToTheSplitView()
    {
        storeFreshUser(R"({"firstName":"Ada","email":"ada@example.org"})");
        AuthManager auth(std::chrono::milliseconds(300));
        auth.handle(kCallback);
        ContentView view(auth, m_queue);
        QCOMPARE(view.root(), ContentView::Root::Split);
        QCOMPARE(view.profileRow()->nameText(), QStringLiteral("Ada"));
        QCOMPARE(view.profileRow()->detailText(), QStringLiteral("ada@example.org"));
    }

    void sidebarAndModes()
    {
        storeFreshUser(R"({"username":"ada"})");
        AuthManager auth(std::chrono::milliseconds(300));
        auth.handle(kCallback);
        ContentView view(auth, m_queue);
        view.show();
        QCOMPARE(view.sidebar()->count(), 5);
        QStringList labels;
        for (int row = 0; row < view.sidebar()->count(); ++row)
            labels.append(view.sidebar()->item(row)->text());
        QCOMPARE(labels, QStringList({QStringLiteral("Home"), QStringLiteral("Image"),
                                      QStringLiteral("Video"), QStringLiteral("Compare"),
                                      QStringLiteral("Settings")}));
        QCOMPARE(view.detailTitle(), QStringLiteral("Home"));
        view.sidebar()->setCurrentRow(2);
        QCOMPARE(view.tab(), std::optional(ContentView::Tab::Video));
        QCOMPARE(view.detailTitle(), QStringLiteral("Video"));
        view.setVideoMode(ContentView::MediaMode::Multiple);
        QCOMPARE(view.detailTitle(), QStringLiteral("Batch Video"));
        view.setTab(ContentView::Tab::Image);
        view.setImageMode(ContentView::MediaMode::Multiple);
        QCOMPARE(view.detailTitle(), QStringLiteral("Multiple Images"));
        // No selection shows Home.
        view.sidebar()->clearSelection();
        QVERIFY(!view.tab().has_value());
        QCOMPARE(view.detailTitle(), QStringLiteral("Home"));
        view.setTab(ContentView::Tab::Video);
        QCOMPARE(view.detailTitle(), QStringLiteral("Batch Video"));
    }

    // The screens drive the window: several files brought to a media screen switch its tab to
    // the multiple-file screen, and the dashboard's "New Upscale" choices open the media tabs.
    void screensSwitchTabsAndModes()
    {
        storeFreshUser(R"({"username":"ada"})");
        AuthManager auth(std::chrono::milliseconds(300));
        auth.handle(kCallback);
        ContentView view(auth, m_queue);
        view.show();
        auto* home = view.findChild<HomeView*>();
        QVERIFY(home);
        Q_EMIT home->videoRequested();
        QCOMPARE(view.detailTitle(), QStringLiteral("Video"));
        Q_EMIT home->imageRequested();
        QCOMPARE(view.tab(), std::optional(ContentView::Tab::Image));

        view.setTab(ContentView::Tab::Video);
        auto* video = view.findChild<UpscaleView*>();
        QVERIFY(video);
        const QDir dir(QDir::tempPath());
        video->routeSelection({QUrl::fromLocalFile(dir.filePath(QStringLiteral("a.mp4"))),
                               QUrl::fromLocalFile(dir.filePath(QStringLiteral("b.mp4")))});
        QCOMPARE(view.videoMode(), ContentView::MediaMode::Multiple);
        QCOMPARE(view.detailTitle(), QStringLiteral("Batch Video"));
        QCOMPARE(view.batch().items().size(), 2);

        view.setTab(ContentView::Tab::Image);
        auto* image = view.findChild<ImageUpscaleView*>();
        QVERIFY(image);
        image->routeSelection({QUrl::fromLocalFile(dir.filePath(QStringLiteral("a.png"))),
                               QUrl::fromLocalFile(dir.filePath(QStringLiteral("b.png")))});
        QCOMPARE(view.imageMode(), ContentView::MediaMode::Multiple);
        QCOMPARE(view.detailTitle(), QStringLiteral("Multiple Images"));
        QCOMPARE(view.bulkImage().items().size(), 2);
    }

    void signingOutWithTheProfileSheetOpen()
    {
        storeFreshUser(R"({"firstName":"Ada","provider":"google","createdOn":"2026"})");
        AuthManager auth(std::chrono::milliseconds(300));
        auth.handle(kCallback);
        ContentView view(auth, m_queue);
        view.show();
        QTest::mouseClick(view.profileRow(), Qt::LeftButton);
        QVERIFY(view.showProfile());
        auto* profile = view.profileSheet()->findChild<ProfileView*>();
        QCOMPARE(profile->detailValue(QStringLiteral("Provider")), QStringLiteral("Google"));
        QCOMPARE(profile->detailValue(QStringLiteral("Member since")), QStringLiteral("—"));
        QVERIFY(!profile->emailLabel()->isVisibleTo(profile));
        auth.signOut();
        QVERIFY(!view.showProfile());
        QCOMPARE(view.root(), ContentView::Root::Login);
    }

    void logOutButtonSignsOutAndClosesTheSheet()
    {
        storeFreshUser(R"({"firstName":"Ada"})");
        AuthManager auth(std::chrono::milliseconds(300));
        auth.handle(kCallback);
        ContentView view(auth, m_queue);
        view.show();
        view.setShowProfile(true);
        view.profileSheet()->findChild<ProfileView*>()->logOutButton()->click();
        QVERIFY(!auth.token().has_value());
        QVERIFY(!view.showProfile());
        QCOMPARE(view.root(), ContentView::Root::Login);
    }

    void profileRowWithoutUserOrEmail()
    {
        ProfileRow row;
        QCOMPARE(row.nameText(), QStringLiteral("Account"));
        QCOMPARE(row.detailText(), QStringLiteral("View profile"));
        row.setUser(user(R"({"firstName":"Grace","lastName":"Hopper"})"));
        QCOMPARE(row.nameText(), QStringLiteral("Grace Hopper"));
        QCOMPARE(row.detailText(), QStringLiteral("View profile"));
    }

    void initials_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("initials");
        QTest::newRow("two words") << "ada lovelace" << "AL";
        QTest::newRow("one word") << "grace" << "G";
        QTest::newRow("three words") << "Mary Ann Evans" << "MA";
        QTest::newRow("extra spaces") << "  ada   byron  " << "AB";
        QTest::newRow("empty") << "" << "?";
        QTest::newRow("only spaces") << "   " << "?";
    }
    void initials()
    {
        QFETCH(QString, name);
        QFETCH(QString, initials);
        QCOMPARE(ProfileTexts::initials(name), initials);
    }

    void profileTexts()
    {
        QCOMPARE(ProfileTexts::dateOrDash(QStringLiteral("2026-03-14T09:26:53Z")),
                 QStringLiteral("2026-03-14"));
        QCOMPARE(ProfileTexts::dateOrDash(QStringLiteral("2026")), QStringLiteral("—"));
        QCOMPARE(ProfileTexts::dateOrDash(std::nullopt), QStringLiteral("—"));
        QCOMPARE(ProfileTexts::capitalisedOrDash(QStringLiteral("google")), QStringLiteral("Google"));
        QCOMPARE(ProfileTexts::capitalisedOrDash(QStringLiteral("PENDING review")),
                 QStringLiteral("Pending Review"));
        QCOMPARE(ProfileTexts::capitalisedOrDash(std::nullopt), QStringLiteral("—"));
        // The greeting's name: the first name even when empty, else the user name, else nothing.
        QCOMPARE(ProfileTexts::userName(user(R"({"firstName":"Ada","username":"a"})")),
                 QStringLiteral("Ada"));
        QCOMPARE(ProfileTexts::userName(user(R"({"firstName":"","username":"a"})")), QString());
        QCOMPARE(ProfileTexts::userName(user(R"({"username":"ada"})")), QStringLiteral("ada"));
        QCOMPARE(ProfileTexts::userName(user(R"({"email":"x@y.z"})")), QString());
        QCOMPARE(ProfileTexts::userName(std::nullopt), QString());
    }

    void loginSampleWipeAndZoom()
    {
        AuthManager auth(std::chrono::milliseconds(300));
        LoginView login(auth);
        login.resize(1100, 700);
        login.show();
        QSignalSpy loaded(&login, &LoginView::samplesLoaded);
        QVERIFY(loaded.wait(5000) || loaded.size() == 1);
        QVERIFY(login.hasSample());
        QTest::mousePress(&login, Qt::LeftButton, {}, QPoint(200, 600));
        QTest::mouseMove(&login, QPoint(1500, 600));
        QCOMPARE(login.frac(), 1.0);
        QTest::mouseMove(&login, QPoint(-40, 600));
        QCOMPARE(login.frac(), 0.0);
        QTest::mouseMove(&login, QPoint(275, 600));
        QCOMPARE(login.frac(), 0.25);
        QTest::mouseRelease(&login, Qt::LeftButton, {}, QPoint(275, 600));
        login.pinchTo(8.0);
        QCOMPARE(login.zoom(), 5.0);
        login.endPinch();
        login.pinchTo(0.5);
        QCOMPARE(login.zoom(), 2.5);
        QTest::mouseDClick(&login, Qt::LeftButton, {}, QPoint(100, 600));
        QCOMPARE(login.zoom(), 1.0);
    }

    void loginWithoutSamples()
    {
        const QByteArray saved = qgetenv("KORVANE_RESOURCES");
        qputenv("KORVANE_RESOURCES", QFile::encodeName(KorvaneTest::isolatedRoot()));
        AuthManager auth(std::chrono::milliseconds(300));
        LoginView login(auth);
        QSignalSpy loaded(&login, &LoginView::samplesLoaded);
        QVERIFY(loaded.wait(5000) || loaded.size() == 1);
        qputenv("KORVANE_RESOURCES", saved);
        QVERIFY(!login.hasSample());
    }

    // While a job runs, the now bar floats at the bottom of the window; no screen puts anything
    // a person uses under it.
    void nowBarCoversNoControls()
    {
        storeFreshUser(R"({"username":"ada"})");
        AuthManager auth(std::chrono::milliseconds(300));
        auth.handle(kCallback);
        ContentView view(auth, m_queue);
        view.resize(1100, 700);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.nowBar()->reservedHeight(), 0);
        QCOMPARE(view.root(), ContentView::Root::Split);

        // The compare screen with two pictures, so its strip shows.
        QList<QUrl> pictures;
        for (const QString& name : {QStringLiteral("a.png"), QStringLiteral("b.png")}) {
            const QString path = QDir::temp().filePath(name);
            QImage picture(40, 30, QImage::Format_RGB32);
            picture.fill(Qt::darkCyan);
            QVERIFY(picture.save(path));
            pictures.append(QUrl::fromLocalFile(path));
        }
        auto* compare = view.findChild<CompareView*>();
        compare->addFiles(pictures);
        QTRY_COMPARE(compare->chips().size(), 2);

        auto released = std::make_shared<std::atomic<bool>>(false);
        UpscaleJob job;
        job.name = QStringLiteral("clip.mp4");
        job.icon = QStringLiteral("film");
        job.detail = QStringLiteral("1080p · Fast");
        job.run = [released](const UpscaleJob::ProgressReporter& report) {
            report(0.3, QStringLiteral("AI enhancing frames…"), QStringLiteral("1m 5s"));
            while (!released->load())
                QThread::msleep(5);
            return QString();
        };
        job.onComplete = [](const UpscaleJob::Result&) {};
        m_queue.enqueue({job});
        const auto release = qScopeGuard([&] {
            released->store(true);
            QTRY_VERIFY(m_queue.jobs().isEmpty());
        });
        QTRY_VERIFY(view.nowBar()->pill()->isVisible());
        QVERIFY(view.nowBar()->reservedHeight() > 0);

        NowPill* pill = view.nowBar()->pill();
        const QRect pillShown(pill->mapTo(&view, pill->visibleRect().topLeft()),
                              pill->visibleRect().size());
        using Tab = ContentView::Tab;
        for (const Tab tab : {Tab::Home, Tab::Image, Tab::Video, Tab::Compare, Tab::Settings}) {
            view.setTab(tab);
            QApplication::processEvents();
            QWidget* screen = view.findChild<QWidget*>(view.detailTitle());
            QVERIFY(screen);
            QVERIFY2(shownRect(screen, &view).bottom() < pillShown.top(),
                     qPrintable(view.detailTitle()));
            int checked = 0;
            for (const QWidget* widget : screen->findChildren<QWidget*>()) {
                if (!interactive(widget) || !widget->isVisible())
                    continue;
                const QRect shown = shownRect(widget, &view);
                if (shown.isEmpty())
                    continue;
                ++checked;
                QVERIFY2(!shown.intersects(pillShown),
                         qPrintable(view.detailTitle() + QStringLiteral(": ") +
                                    QString::fromLatin1(widget->metaObject()->className()) +
                                    QLatin1Char(' ') + widget->objectName()));
            }
            QVERIFY2(checked > 0, qPrintable(view.detailTitle()));
        }
    }

    // Without a browser, the sign-in sheet stays open with the message and a link to copy.
    void signInWithoutABrowserOffersTheLink()
    {
        SystemOpener::setInterceptor({});
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QDir::tempPath().toLocal8Bit() + "/no-programs");
        const auto restore = qScopeGuard([&] {
            qputenv("PATH", path);
            SystemOpener::setInterceptor(
                [this](SystemOpener::Action, const QUrl& url) { m_opened.append(url); });
        });
        AuthManager auth(std::chrono::milliseconds(300));
        LoginView login(auth);
        login.resize(1100, 700);
        login.show();
        login.setShowLogin(true);
        QVERIFY(!login.linkField()->isVisible());
        QTest::mouseClick(login.providerButtons().at(0), Qt::LeftButton);
        QVERIFY(login.showLogin());
        QVERIFY(login.popup()->isVisible());
        QCOMPARE(auth.errorText(), QStringLiteral("Couldn't open your web browser to sign in."));
        QVERIFY(login.linkField()->isVisible());
        QCOMPARE(QUrl(login.linkField()->text()), auth.loginUrl(QStringLiteral("google")));
        QVERIFY(login.linkField()->text().endsWith(QStringLiteral("/auth/google/start")));
        QTest::mouseClick(login.copyLinkButton(), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), login.linkField()->text());
        QCOMPARE(login.copyLinkButton()->text(), QStringLiteral("Copied"));
    }

    void signInPopup()
    {
        AuthManager auth(std::chrono::milliseconds(300));
        LoginView login(auth);
        login.resize(1100, 700);
        login.show();
        QTest::mouseClick(login.startButton(), Qt::LeftButton);
        QVERIFY(login.showLogin());
        QVERIFY(login.popup()->isVisible());
        const QList<QPushButton*> providers = login.providerButtons();
        QCOMPARE(providers.size(), 3);
        QVERIFY(providers.at(0)->isEnabled());
        QVERIFY(!providers.at(1)->isEnabled());
        QVERIFY(!providers.at(2)->isEnabled());
        // The dimmed area closes the popup without starting a sign-in.
        QTest::mouseClick(login.popupBackdrop(), Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(!login.showLogin());
        QVERIFY(m_opened.isEmpty());
        login.setShowLogin(true);
        QTest::mouseClick(providers.at(0), Qt::LeftButton);
        QVERIFY(!login.showLogin());
        QCOMPARE(m_opened.size(), 1);
        QVERIFY(m_opened.constFirst().path().endsWith(QStringLiteral("/auth/google/start")));
    }
};

KORVANE_TEST_MAIN(TestContentView)
#include "tst_contentview.moc"
