#include <QTest>

#include "support/TestSupport.h"
#include "ui/components/StatusTag.h"

class TestStatusTag final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void textAndColour_data();
    void textAndColour();
};

void TestStatusTag::textAndColour_data()
{
    QTest::addColumn<bool>("success");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("greenish");
    QTest::newRow("success") << true << QStringLiteral("Success") << true;
    QTest::newRow("failure") << false << QStringLiteral("Failed") << false;
}

void TestStatusTag::textAndColour()
{
    QFETCH(bool, success);
    QFETCH(QString, text);
    QFETCH(bool, greenish);
    StatusTag tag(!success);
    tag.setSuccess(success);
    QCOMPARE(tag.text(), text);
    tag.resize(tag.sizeHint());
    // The capsule's faint fill carries the tag's colour.
    const QColor fill = tag.grab().toImage().pixelColor(tag.width() / 2, 2);
    QCOMPARE(fill.green() > fill.red(), greenish);
}

KORVANE_TEST_MAIN(TestStatusTag)
#include "tst_statustag.moc"
