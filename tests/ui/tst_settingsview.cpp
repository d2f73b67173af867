// The settings screen with real settings, a real update checker against an HTTP server on
// 127.0.0.1 and a notification service on a private session bus.
#include <memory>
#include <utility>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include "account/SystemOpener.h"
#include "account/UpdateChecker.h"
#include "processing/AppSettings.h"
#include "processing/Upscaler.h"
#include "support/NotificationServer.h"
#include "support/TestSupport.h"
#include "ui/components/ToggleSwitch.h"
#include "ui/settings/AboutSection.h"
#include "ui/settings/BusyIndicator.h"
#include "ui/settings/SettingSwitchRow.h"
#include "ui/settings/SettingsView.h"
#include "ui/settings/UpdateDownloadControl.h"
#include "ui/settings/UpdateStatusView.h"

using namespace std::chrono_literals;
using KorvaneTest::NotificationServer;

namespace {
constexpr int waitMs = 20000;

// A web server on 127.0.0.1 with a fixed answer per path. An answer can be held back until the
// test releases it, and can announce more bytes than it sends (the transfer then stays open).
class LocalWeb final : public QObject {
public:
    struct Answer {
        int status = 200;
        QByteArray body;
        qint64 announcedLength = -1; // -1: the body's length
        bool held = false;
    };

    quint16 listen()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                accept(socket);
        });
        return m_server.listen(QHostAddress::LocalHost) ? m_server.serverPort() : 0;
    }

    QString url(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }

    void setAnswer(const QString& path, const Answer& answer) { m_answers.insert(path, answer); }
    int requestCount(const QString& path) const { return m_counts.value(path); }
    int heldCount() const { return int(m_held.size()); }

    // Answers the requests held so far, as their paths' answers say now.
    void release()
    {
        const auto held = std::exchange(m_held, {});
        for (const auto& [socket, path] : held) {
            if (socket)
                respond(socket, m_answers.value(path), true);
        }
    }

    // Drops every open connection.
    void reset()
    {
        m_answers.clear();
        m_counts.clear();
        m_held.clear();
        for (QTcpSocket* socket : findChildren<QTcpSocket*>())
            socket->abort();
    }

private:
    void accept(QTcpSocket* socket)
    {
        socket->setParent(this);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            m_pending[socket] += socket->readAll();
            const QByteArray head = m_pending.value(socket);
            if (!head.contains("\r\n\r\n"))
                return;
            m_pending.remove(socket);
            const QString path = QString::fromLatin1(head.split(' ').value(1));
            m_counts[path] += 1;
            respond(socket, m_answers.value(path, Answer{404, "not found", -1, false}), false);
            if (m_answers.value(path).held)
                m_held.append({QPointer<QTcpSocket>(socket), path});
        });
    }

    void respond(QTcpSocket* socket, const Answer& answer, bool released)
    {
        if (answer.held && !released)
            return;
        const qint64 length =
            answer.announcedLength < 0 ? answer.body.size() : answer.announcedLength;
        const QByteArray head = "HTTP/1.1 " + QByteArray::number(answer.status) +
                                " Answer\r\nContent-Type: application/octet-stream\r\n" +
                                "Content-Length: " + QByteArray::number(length) +
                                "\r\nConnection: close\r\n\r\n";
        if (length == answer.body.size()) {
            socket->write(head + answer.body);
            socket->disconnectFromHost();
            return;
        }
        // A transfer that stays open: the head first, the part of the body a moment later.
        socket->write(head);
        QTimer::singleShot(100, socket, [socket, body = answer.body] { socket->write(body); });
    }

    QTcpServer m_server;
    QHash<QString, Answer> m_answers;
    QHash<QString, int> m_counts;
    QHash<QTcpSocket*, QByteArray> m_pending;
    QList<QPair<QPointer<QTcpSocket>, QString>> m_held;
};

QByteArray manifest(const QString& downloadUrl, const QString& build, const QString& notes)
{
    QByteArray json = "{\"version\": \"2.0\", \"downloadURL\": \"" + downloadUrl.toUtf8() + "\"";
    if (!build.isEmpty())
        json += ", \"build\": " + build.toUtf8();
    if (!notes.isEmpty())
        json += ", \"notes\": \"" + notes.toUtf8() + "\"";
    return json + "}";
}

void clearStore()
{
    QSettings(QStringLiteral("Korvane"), QStringLiteral("Korvane")).clear();
}

QVariant stored(const QString& key)
{
    return QSettings(QStringLiteral("Korvane"), QStringLiteral("Korvane")).value(key);
}
} // namespace

class TestSettingsView final : public QObject {
    Q_OBJECT

    NotificationServer m_notifications;
    LocalWeb m_web;
    QString m_downloads;
    QList<QPair<SystemOpener::Action, QUrl>> m_opened;
    std::unique_ptr<Upscaler> m_upscaler;
    std::unique_ptr<UpdateChecker> m_updater;
    std::unique_ptr<SettingsView> m_view;

    const QString manifestPath = QStringLiteral("/apps/korvane.json");
    const QString installerPath = QStringLiteral("/downloads/Korvane-2.0.AppImage");

    void showView()
    {
        // The running application is version 1.9, build 42.
        m_updater = std::make_unique<UpdateChecker>(
            UpdateChecker::BuildInfo{QStringLiteral("1.9"), QStringLiteral("42")}, 5s);
        m_view = std::make_unique<SettingsView>(*m_upscaler, *m_updater);
        m_view->resize(1100, 720);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    }

    AboutSection* about() const { return m_view->about(); }
    UpdateStatusView* statusView() const { return about()->statusView(); }
    UpdateDownloadControl* downloadControl() const { return statusView()->downloadControl(); }
    bool shown(const QWidget* widget) const { return widget->isVisibleTo(m_view.get()); }

    // Checks against a manifest offering build 43 and waits for the offer.
    void showAvailableUpdate()
    {
        m_web.setAnswer(
            manifestPath,
            {200, manifest(m_web.url(installerPath), QStringLiteral("43"), {}), -1, false});
        QTest::mouseClick(about()->checkButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(shown(downloadControl()->downloadButton()), waitMs);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_notifications.registerOnSessionBus());
        QVERIFY(m_web.listen() != 0);
        qputenv("KORVANE_UPDATE_URL", m_web.url(manifestPath).toUtf8());
        // The desktop's Downloads folder, inside this test's private folders.
        m_downloads = KorvaneTest::isolatedRoot() + QStringLiteral("/Downloads");
        QVERIFY(KorvaneTest::writeFile(
            KorvaneTest::isolatedRoot() + QStringLiteral("/config/user-dirs.dirs"),
            "XDG_DOWNLOAD_DIR=\"" + QFile::encodeName(m_downloads) + "\"\n"));
        QCOMPARE(UpdateChecker::downloadFolder(), m_downloads);
        m_upscaler = std::make_unique<Upscaler>();
    }

    void init()
    {
        clearStore();
        QDir(m_downloads).removeRecursively();
        QVERIFY(QDir().mkpath(m_downloads));
        m_opened.clear();
        SystemOpener::setInterceptor([this](SystemOpener::Action action, const QUrl& url) {
            m_opened.append({action, url});
        });
    }

    void cleanup()
    {
        m_view.reset();
        m_updater.reset();
        m_web.reset();
        SystemOpener::setInterceptor({});
    }

    void cleanupTestCase() { m_upscaler.reset(); }

    void switchesShowTheStore_data()
    {
        QTest::addColumn<QVariant>("notify"); // invalid: never stored
        QTest::addColumn<QVariant>("sound");
        QTest::addColumn<QVariant>("ask");
        QTest::addColumn<bool>("notifyOn");
        QTest::addColumn<bool>("soundOn");
        QTest::addColumn<bool>("askOn");

        QTest::newRow("empty store")
            << QVariant() << QVariant() << QVariant() << true << true << false;
        QTest::newRow("each set the other way")
            << QVariant(false) << QVariant(false) << QVariant(true) << false << false << true;
        QTest::newRow("sound off only")
            << QVariant() << QVariant(false) << QVariant() << true << false << false;
    }

    void switchesShowTheStore()
    {
        QFETCH(QVariant, notify);
        QFETCH(QVariant, sound);
        QFETCH(QVariant, ask);
        QFETCH(bool, notifyOn);
        QFETCH(bool, soundOn);
        QFETCH(bool, askOn);
        {
            QSettings settings(QStringLiteral("Korvane"), QStringLiteral("Korvane"));
            if (notify.isValid())
                settings.setValue(AppSettings::notifyOnFinishKey, notify);
            if (sound.isValid())
                settings.setValue(AppSettings::notifyWithSoundKey, sound);
            if (ask.isValid())
                settings.setValue(AppSettings::askWhereToSaveKey, ask);
        }
        showView();
        QCOMPARE(m_view->notifyRow()->isOn(), notifyOn);
        QCOMPARE(m_view->soundRow()->isOn(), soundOn);
        QCOMPARE(m_view->askRow()->isOn(), askOn);
        QCOMPARE(m_view->soundRow()->isEnabled(), notifyOn);
        QCOMPARE(m_view->soundRow()->opacity(), notifyOn ? 1.0 : 0.5);
        // Every other reader sees what the screen shows.
        QCOMPARE(AppSettings::notifyOnFinish(), notifyOn);
        QCOMPARE(AppSettings::notifyWithSound(), soundOn);
        QCOMPARE(AppSettings::askWhereToSave(), askOn);
        // Showing the screen writes nothing.
        QCOMPARE(stored(AppSettings::notifyOnFinishKey), notify);
        QCOMPARE(stored(AppSettings::askWhereToSaveKey), ask);
    }

    void eachSwitchWritesAtOnce_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("initially");
        QTest::newRow("notify") << AppSettings::notifyOnFinishKey << true;
        QTest::newRow("sound") << AppSettings::notifyWithSoundKey << true;
        QTest::newRow("ask where to save") << AppSettings::askWhereToSaveKey << false;
    }

    void eachSwitchWritesAtOnce()
    {
        QFETCH(QString, key);
        QFETCH(bool, initially);
        showView();
        SettingSwitchRow* row = key == AppSettings::notifyOnFinishKey    ? m_view->notifyRow()
                                : key == AppSettings::notifyWithSoundKey ? m_view->soundRow()
                                                                         : m_view->askRow();
        QTest::mouseClick(row->toggle(), Qt::LeftButton);
        QCOMPARE(row->isOn(), !initially);
        QCOMPARE(stored(key), QVariant(!initially));
        QTest::mouseClick(row->toggle(), Qt::LeftButton);
        QCOMPARE(row->isOn(), initially);
        QCOMPARE(stored(key), QVariant(initially));
    }

    void notifySwitchGovernsTheSoundSwitch()
    {
        const int queriesBefore = m_notifications.capabilityQueries;
        showView();
        SettingSwitchRow* notify = m_view->notifyRow();
        SettingSwitchRow* sound = m_view->soundRow();
        QTest::mouseClick(sound->toggle(), Qt::LeftButton);
        QVERIFY(!AppSettings::notifyWithSound());

        QTest::mouseClick(notify->toggle(), Qt::LeftButton);
        QVERIFY(!AppSettings::notifyOnFinish());
        QVERIFY(!sound->isEnabled());
        QCOMPARE(sound->opacity(), 0.5);
        // A disabled switch ignores clicks and keeps its value.
        QTest::mouseClick(sound->toggle(), Qt::LeftButton);
        QVERIFY(!sound->isOn());
        QVERIFY(!AppSettings::notifyWithSound());

        QTest::mouseClick(notify->toggle(), Qt::LeftButton);
        QVERIFY(AppSettings::notifyOnFinish());
        QVERIFY(sound->isEnabled());
        QCOMPARE(sound->opacity(), 1.0);
        QVERIFY(!sound->isOn());
        // Only turning notifications on asks for permission: not showing the screen, not
        // turning them off. Calls on the bus arrive in order, so one query means exactly that.
        QTRY_COMPARE_WITH_TIMEOUT(m_notifications.capabilityQueries, queriesBefore + 1, waitMs);
        QTest::qWait(100);
        QCOMPARE(m_notifications.capabilityQueries, queriesBefore + 1);
    }

    void aboutShowsVersionAndLinks()
    {
        showView();
        QCOMPARE(about()->versionLabel()->text(), QStringLiteral("v1.9 (build 42)"));
        QStringList labels;
        for (const QLabel* label : about()->findChildren<QLabel*>())
            labels.append(label->text());
        QVERIFY2(labels.contains(QStringLiteral("Korvane - 4K Upscaler")),
                 qPrintable(labels.join(QLatin1Char('|'))));
        QVERIFY(!shown(statusView())); // idle: nothing
        QCOMPARE(about()->checkButtonText(), QStringLiteral("Check for Update"));
        QTest::mouseClick(about()->siteLink(), Qt::LeftButton);
        QPushButton* mail = nullptr;
        for (QPushButton* button : m_view->findChildren<QPushButton*>()) {
            if (button->text() == QLatin1String("support@korvane.app"))
                mail = button;
        }
        QVERIFY(mail);
        QTest::mouseClick(mail, Qt::LeftButton);
        const QList<QPair<SystemOpener::Action, QUrl>> expected{
            {SystemOpener::Action::Open, QUrl(QStringLiteral("https://korvane.app"))},
            {SystemOpener::Action::Open, QUrl(QStringLiteral("mailto:support@korvane.app"))}};
        QCOMPARE(m_opened, expected);
    }

    void userInitiatedCheck_data()
    {
        QTest::addColumn<int>("httpStatus");
        QTest::addColumn<QString>("build");
        QTest::addColumn<QString>("notes");
        QTest::addColumn<QString>("line");  // the status line, when not an offer
        QTest::addColumn<QString>("offer"); // the offer's title, when one

        QTest::newRow("available with notes")
            << 200 << QStringLiteral("43") << QStringLiteral("Sharper faces.") << QString()
            << QStringLiteral("Update available — v2.0");
        QTest::newRow("available without notes") << 200 << QString() << QString() << QString()
                                                 << QStringLiteral("Update available — v2.0");
        QTest::newRow("up to date")
            << 200 << QStringLiteral("42") << QString()
            << QStringLiteral("You're using the latest version.") << QString();
        QTest::newRow("failed")
            << 503 << QString() << QString()
            << QStringLiteral("Couldn't check for updates. Check your connection and try again.")
            << QString();
    }

    void userInitiatedCheck()
    {
        QFETCH(int, httpStatus);
        QFETCH(QString, build);
        QFETCH(QString, notes);
        QFETCH(QString, line);
        QFETCH(QString, offer);
        m_web.setAnswer(manifestPath,
                        {httpStatus, manifest(m_web.url(installerPath), build, notes), -1, true});
        showView();
        QTest::mouseClick(about()->checkButton(), Qt::LeftButton);

        // While the server holds the answer: a disabled "Checking…" button with a spinner.
        QTRY_COMPARE_WITH_TIMEOUT(m_web.heldCount(), 1, waitMs);
        QVERIFY(!about()->checkButton()->isEnabled());
        QCOMPARE(about()->checkButtonText(), QStringLiteral("Checking…"));
        QVERIFY(shown(about()->checkSpinner()));
        QVERIFY(about()->checkSpinner()->isSpinning());
        QCOMPARE(statusView()->lineText(), QStringLiteral("Checking for updates…"));

        m_web.release();
        QTRY_VERIFY_WITH_TIMEOUT(about()->checkButton()->isEnabled(), waitMs);
        QCOMPARE(about()->checkButtonText(), QStringLiteral("Check for Update"));
        QVERIFY(!shown(about()->checkSpinner()));
        QCOMPARE(statusView()->lineText(), line);
        QCOMPARE(shown(downloadControl()), !offer.isEmpty());
        if (offer.isEmpty())
            return;
        QStringList texts;
        for (const QLabel* label : statusView()->findChildren<QLabel*>()) {
            if (shown(label) && !label->text().isEmpty())
                texts.append(label->text());
        }
        QVERIFY2(texts.contains(offer), qPrintable(texts.join(QLatin1Char('|'))));
        // Without notes there is no empty notes line.
        QCOMPARE(shown(statusView()->notesLabel()), !notes.isEmpty());
        if (!notes.isEmpty())
            QCOMPARE(statusView()->notesLabel()->text(), notes);
        QVERIFY(shown(downloadControl()->downloadButton()));
        QVERIFY(shown(downloadControl()->browserButton()));
        QVERIFY(!shown(downloadControl()->progressBar()));
    }

    void downloadShowsTruncatedPercent()
    {
        // 429 of 1000 bytes arrive, then the transfer stalls: 42.9 %.
        m_web.setAnswer(installerPath, {200, QByteArray(429, 'k'), 1000, false});
        showView();
        showAvailableUpdate();
        QTest::mouseClick(downloadControl()->downloadButton(), Qt::LeftButton);
        QLabel* progressText = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                for (QLabel* label : downloadControl()->findChildren<QLabel*>()) {
                    if (shown(label) && label->text() == QStringLiteral("Downloading… 42%"))
                        progressText = label;
                }
                return progressText != nullptr;
            }(),
            waitMs);
        QCOMPARE(downloadControl()->progressBar()->value(), 429);
        QVERIFY(!shown(downloadControl()->downloadButton()));
        QVERIFY(!shown(downloadControl()->browserButton()));
        QCOMPARE(UpdateDownloadControl::downloadingText(0.999), QStringLiteral("Downloading… 99%"));

        // Cancel ends the transfer: the offer comes back and nothing is left in Downloads.
        QVERIFY(shown(downloadControl()->cancelButton()));
        QTest::mouseClick(downloadControl()->cancelButton(), Qt::LeftButton);
        QVERIFY(shown(downloadControl()->downloadButton()));
        QVERIFY(!shown(downloadControl()->progressBar()));
        QTRY_COMPARE(QDir(m_downloads).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    void finishedDownloadCanBeShownInTheFolder()
    {
        m_web.setAnswer(installerPath, {200, QByteArray("installer"), -1, false});
        showView();
        showAvailableUpdate();
        QTest::mouseClick(downloadControl()->downloadButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(shown(downloadControl()->showFileButton()), waitMs);
        const QString file = m_downloads + QStringLiteral("/Korvane-2.0.AppImage");
        QCOMPARE(KorvaneTest::readFile(file), QByteArray("installer"));
        QVERIFY(!shown(downloadControl()->browserButton()));
        // The manifest published no checksum: the installer is not opened, and the screen says so.
        QCOMPARE(downloadControl()->finishedText(),
                 QStringLiteral("Downloaded — not verified, so it was not opened"));
        m_opened.clear();
        QTest::mouseClick(downloadControl()->showFileButton(), Qt::LeftButton);
        const QList<QPair<SystemOpener::Action, QUrl>> expected{
            {SystemOpener::Action::Reveal, QUrl::fromLocalFile(file)}};
        QCOMPARE(m_opened, expected);
    }

    void failedDownloadOffersTryAgainAndTheBrowser()
    {
        m_web.setAnswer(installerPath, {500, QByteArray("broken"), -1, false});
        showView();
        showAvailableUpdate();
        QTest::mouseClick(downloadControl()->downloadButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(shown(downloadControl()->retryButton()), waitMs);
        QStringList texts;
        for (const QLabel* label : downloadControl()->findChildren<QLabel*>()) {
            if (shown(label))
                texts.append(label->text());
        }
        QVERIFY2(texts.contains(
                     QStringLiteral("Download failed. Please try again or use your browser.")),
                 qPrintable(texts.join(QLatin1Char('|'))));
        QTest::mouseClick(downloadControl()->browserButton(), Qt::LeftButton);
        const QList<QPair<SystemOpener::Action, QUrl>> expected{
            {SystemOpener::Action::Open, QUrl(m_web.url(installerPath))}};
        QCOMPARE(m_opened, expected);

        m_web.setAnswer(installerPath, {200, QByteArray("installer"), -1, false});
        QTest::mouseClick(downloadControl()->retryButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(shown(downloadControl()->showFileButton()), waitMs);
        QCOMPARE(m_web.requestCount(installerPath), 2);
    }
};

KORVANE_TEST_MAIN_ON_PRIVATE_BUS(TestSettingsView)
#include "tst_settingsview.moc"
