#include <QSignalSpy>
#include <QTest>

#include "support/TestSupport.h"
#include "ui/components/Segmented.h"

class TestSegmented final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void selectionMatchingNoOption();
    void clickSelectsAtOnce_data();
    void clickSelectsAtOnce();
    void keyboardMovesWithinOptions();
};

namespace {
QList<Segmented::Option> heights()
{
    return Segmented::optionsOf<int>({{QStringLiteral("1080p"), 1080},
                                      {QStringLiteral("4K"), 2160},
                                      {QStringLiteral("8K"), 4320}});
}
} // namespace

void TestSegmented::selectionMatchingNoOption()
{
    Segmented picker(heights(), 720);
    picker.resize(300, 40);
    QCOMPARE(picker.selectedIndex(), -1);
    // Nothing is painted in the accent gradient: every option shows unselected.
    const QImage image = picker.grab().toImage();
    for (int i = 0; i < 3; ++i) {
        const QRect option = picker.optionRect(i);
        const QColor corner = image.pixelColor(option.left() + 6, option.top() + 4);
        QVERIFY2(corner.blue() - corner.red() < 60, qPrintable(corner.name()));
    }
    picker.setSelection(2160);
    QCOMPARE(picker.selectedIndex(), 1);
    const QImage selected = picker.grab().toImage();
    const QRect option = picker.optionRect(1);
    const QColor corner = selected.pixelColor(option.left() + 6, option.top() + 4);
    QVERIFY2(corner.blue() - corner.red() > 100, qPrintable(corner.name()));
}

void TestSegmented::clickSelectsAtOnce_data()
{
    QTest::addColumn<QVariant>("initial");
    QTest::addColumn<int>("clicked");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<int>("signals");
    QTest::newRow("another option") << QVariant(1080) << 2 << QVariant(4320) << 1;
    QTest::newRow("from no match") << QVariant(720) << 0 << QVariant(1080) << 1;
    QTest::newRow("the selected one") << QVariant(2160) << 1 << QVariant(2160) << 0;
}

void TestSegmented::clickSelectsAtOnce()
{
    QFETCH(QVariant, initial);
    QFETCH(int, clicked);
    QFETCH(QVariant, expected);
    QFETCH(int, signals);
    Segmented picker(heights(), initial);
    picker.resize(300, 40);
    picker.show();
    QVERIFY(QTest::qWaitForWindowExposed(&picker));
    QSignalSpy changed(&picker, &Segmented::selectionChanged);
    QTest::mouseClick(&picker, Qt::LeftButton, {}, picker.optionRect(clicked).center());
    QCOMPARE(picker.selection(), expected);
    QCOMPARE(picker.selectionAs<int>(), expected.toInt());
    QCOMPARE(changed.count(), signals);
}

void TestSegmented::keyboardMovesWithinOptions()
{
    Segmented picker(heights(), 4320);
    QTest::keyClick(&picker, Qt::Key_Right);
    QCOMPARE(picker.selection(), QVariant(4320));
    QTest::keyClick(&picker, Qt::Key_Left);
    QCOMPARE(picker.selection(), QVariant(2160));
}

KORVANE_TEST_MAIN(TestSegmented)
#include "tst_segmented.moc"
