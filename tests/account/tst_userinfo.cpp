// The profile record: its display name and its JSON form.
#include <QJsonDocument>

#include "account/UserInfo.h"
#include "support/TestSupport.h"

namespace {
UserInfo fromJson(const char* json)
{
    return UserInfo::decode(QByteArray(json)).value_or(UserInfo{});
}
} // namespace

class TestUserInfo final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void displayName_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("expected");
        QTest::newRow("first and last") << QByteArray(R"({"firstName":"Ada","lastName":"Lovelace",
            "username":"ada"})") << QStringLiteral("Ada Lovelace");
        QTest::newRow("first only")
            << QByteArray(R"({"firstName":"Ada","email":"a@x.org"})") << QStringLiteral("Ada");
        QTest::newRow("empty first with last")
            << QByteArray(R"({"firstName":"","lastName":"Lovelace"})")
            << QStringLiteral(" Lovelace");
        QTest::newRow("empty first alone falls back")
            << QByteArray(R"({"firstName":"","username":"ada"})") << QStringLiteral("ada");
        QTest::newRow("empty username still wins")
            << QByteArray(R"({"username":"","email":"a@x.org"})") << QString();
        QTest::newRow("only e-mail")
            << QByteArray(R"({"email":"a@x.org"})") << QStringLiteral("a@x.org");
        QTest::newRow("nothing") << QByteArray("{}") << QStringLiteral("there");
    }

    void displayName()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, expected);
        const std::optional<UserInfo> info = UserInfo::decode(json);
        QVERIFY(info);
        QCOMPARE(info->displayName(), expected);
    }

    void decoding_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("decodes");
        QTest::newRow("all text") << QByteArray(R"({"userId":"1","status":"active"})") << true;
        QTest::newRow("null member is absent") << QByteArray(R"({"email":null})") << true;
        QTest::newRow("unknown members ignored") << QByteArray(R"({"plan":3})") << true;
        QTest::newRow("number member") << QByteArray(R"({"userId":42})") << false;
        QTest::newRow("not an object") << QByteArray(R"(["a"])") << false;
        QTest::newRow("not JSON") << QByteArray("<html>") << false;
    }

    void decoding()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, decodes);
        QCOMPARE(UserInfo::decode(json).has_value(), decodes);
    }

    void encodingLeavesOutAbsentMembers()
    {
        const UserInfo info = fromJson(R"({"userId":"7","email":null,"lastName":""})");
        QVERIFY(!info.email);
        const QJsonObject object = QJsonDocument::fromJson(info.encode()).object();
        QCOMPARE(object.keys(),
                 (QStringList{QStringLiteral("lastName"), QStringLiteral("userId")}));
        QCOMPARE(UserInfo::decode(info.encode()), std::optional<UserInfo>(info));
    }

    void profileAnswer_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("decodes");
        QTest::newRow("user object") << QByteArray(R"({"user":{"email":"a@x.org"},"x":1})") << true;
        QTest::newRow("no user member") << QByteArray(R"({"email":"a@x.org"})") << false;
        QTest::newRow("user not an object") << QByteArray(R"({"user":"ada"})") << false;
        QTest::newRow("user with a bad member") << QByteArray(R"({"user":{"email":5}})") << false;
        QTest::newRow("error page") << QByteArray("<html>500</html>") << false;
    }

    void profileAnswer()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, decodes);
        QCOMPARE(UserInfo::decodeMe(body).has_value(), decodes);
    }
};

KORVANE_TEST_MAIN(TestUserInfo)
#include "tst_userinfo.moc"
