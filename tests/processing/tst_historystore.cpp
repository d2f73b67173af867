#include <optional>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMutex>
#include <QRegularExpression>
#include <QTest>

#include "engine/EngineLog.h"
#include "processing/HistoryStore.h"
#include "support/TestSupport.h"

namespace {
// A history of plain strings: a JSON array of strings, or nothing.
std::optional<QStringList> decodeStrings(const QByteArray& json)
{
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isArray())
        return std::nullopt;
    QStringList list;
    for (const QJsonValue& value : document.array()) {
        if (!value.isString())
            return std::nullopt;
        list.append(value.toString());
    }
    return list;
}

} // namespace

class TestHistoryStore final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void savesInOrderAndLeavesTheNewest();
    void load_data();
    void load();
    void removeFilesRunsAfterEarlierWork();

private:
    // Loads path through store and waits for the answer on the main thread.
    QStringList loadThrough(HistoryStore& store, const QString& path);

    QString m_folder;
    QStringList m_log;
    QMutex m_logMutex;
};

void TestHistoryStore::init()
{
    m_folder = KorvaneTest::isolatedRoot() + QStringLiteral("/data/Korvane-") +
               QString::fromLatin1(QTest::currentTestFunction()) +
               QString::fromLatin1(QTest::currentDataTag());
    QDir(m_folder).removeRecursively();
    m_log.clear();
    EngineLog::setSink([this](const QString& line) {
        QMutexLocker lock(&m_logMutex);
        m_log.append(line);
    });
}

void TestHistoryStore::cleanup()
{
    EngineLog::setSink({});
}

QStringList TestHistoryStore::loadThrough(HistoryStore& store, const QString& path)
{
    std::optional<QStringList> result;
    QObject receiver;
    store.load<QStringList>(path, decodeStrings, &receiver,
                            [&result](const QStringList& list) { result = list; });
    [&] { QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 10000); }();
    return result.value_or(QStringList{QStringLiteral("<no answer>")});
}

void TestHistoryStore::savesInOrderAndLeavesTheNewest()
{
    // The folder does not exist yet: the first save creates it.
    const QString path = m_folder + QStringLiteral("/nested/history.json");
    HistoryStore store;
    for (int i = 0; i < 200; ++i)
        store.save(path, QByteArray::number(i).repeated(1000 - i));
    store.flush();
    QCOMPARE(KorvaneTest::readFile(path), QByteArray::number(199).repeated(801));
    // Atomic replacement leaves no temporary files behind; the lock file stays for the next one.
    QCOMPARE(QDir(m_folder + QStringLiteral("/nested")).entryList(QDir::Files | QDir::Hidden),
             QStringList({QStringLiteral("history.json"), QStringLiteral("history.json.lock")}));
}

void TestHistoryStore::load_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no file at all
    QTest::addColumn<bool>("asFolder");      // a folder stands where the file should be
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<bool>("movedAside");

    QTest::newRow("missing") << QByteArray() << false << QStringList() << false;
    QTest::newRow("valid") << QByteArray(R"(["b","a"])") << false
                           << QStringList{QStringLiteral("b"), QStringLiteral("a")} << false;
    QTest::newRow("empty array") << QByteArray("[]") << false << QStringList() << false;
    QTest::newRow("not json") << QByteArray("[\"a\",") << false << QStringList() << true;
    QTest::newRow("wrong shape") << QByteArray(R"(["a",1])") << false << QStringList() << true;
    QTest::newRow("unreadable") << QByteArray("x") << true << QStringList() << true;
}

void TestHistoryStore::load()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, asFolder);
    QFETCH(QStringList, expected);
    QFETCH(bool, movedAside);

    const QString path = m_folder + QStringLiteral("/history.json");
    QDir().mkpath(m_folder);
    if (asFolder)
        QVERIFY(QDir().mkpath(path));
    else if (!content.isEmpty())
        QVERIFY(KorvaneTest::writeFile(path, content));

    HistoryStore store;
    QCOMPARE(loadThrough(store, path), expected);
    store.flush();

    const QStringList aside =
        QDir(m_folder).entryList({QStringLiteral("history.json.corrupt-*")},
                                 QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    if (!movedAside) {
        QVERIFY(aside.isEmpty());
        QVERIFY(m_log.isEmpty());
        return;
    }
    // The old content is kept under the new name, the name is logged, and the next save writes
    // a fresh file instead of overwriting it.
    QCOMPARE(aside.size(), 1);
    QVERIFY(QRegularExpression(QStringLiteral(R"(^history\.json\.corrupt-\d{8}-\d{6}$)"))
                .match(aside.first())
                .hasMatch());
    if (!asFolder)
        QCOMPARE(KorvaneTest::readFile(m_folder + QLatin1Char('/') + aside.first()), content);
    QCOMPARE(m_log.size(), 1);
    QVERIFY2(m_log.first().startsWith(QStringLiteral("Korvane: history.json was moved aside as ")),
             qPrintable(m_log.first()));
    QVERIFY(m_log.first().contains(aside.first()));
    QVERIFY(!QFileInfo::exists(path));
    store.save(path, QByteArray(R"(["new"])"));
    store.flush();
    QCOMPARE(KorvaneTest::readFile(path), QByteArray(R"(["new"])"));
}

void TestHistoryStore::removeFilesRunsAfterEarlierWork()
{
    const QString output = m_folder + QStringLiteral("/clip_upscaled.mp4");
    const QString other = m_folder + QStringLiteral("/keep.mp4");
    QVERIFY(KorvaneTest::writeFile(output, "video"));
    QVERIFY(KorvaneTest::writeFile(other, "video"));
    HistoryStore store;
    store.removeFiles({output, m_folder + QStringLiteral("/already-gone.mp4")});
    store.flush();
    QVERIFY(!QFileInfo::exists(output));
    QVERIFY(QFileInfo::exists(other));
}

KORVANE_TEST_MAIN(TestHistoryStore)

#include "tst_historystore.moc"
