// The on/off switch of the settings panel and the media screens' control panes.
#include <algorithm>

#include <QSignalSpy>
#include <QTest>

#include "support/TestSupport.h"
#include "ui/components/ToggleSwitch.h"

class TestToggleSwitch final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void clickAnywhereOnTheRow_data();
    void clickAnywhereOnTheRow();
    void knobSlidesOnClickAndJumpsFromCode();
};

void TestToggleSwitch::clickAnywhereOnTheRow_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("onTheText"); // the click lands on the text, not on the track
    QTest::addColumn<bool>("toggles");
    QTest::newRow("bare switch") << QString() << true << false << true;
    QTest::newRow("labelled, on the track")
        << QStringLiteral("Match original file size") << true << false << true;
    QTest::newRow("labelled, on the text")
        << QStringLiteral("Match original file size") << true << true << true;
    QTest::newRow("disabled") << QStringLiteral("Play a sound") << false << false << false;
}

void TestToggleSwitch::clickAnywhereOnTheRow()
{
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    QFETCH(bool, onTheText);
    QFETCH(bool, toggles);
    ToggleSwitch toggle(text);
    toggle.resize(std::max(toggle.sizeHint().width(), 300), toggle.sizeHint().height());
    toggle.setEnabled(enabled);
    toggle.show();
    QVERIFY(QTest::qWaitForWindowExposed(&toggle));
    QSignalSpy toggled(&toggle, &ToggleSwitch::toggled);
    const QPoint at = onTheText ? QPoint(10, toggle.height() / 2)
                                : QPoint(toggle.width() - 15, toggle.height() / 2);
    QTest::mouseClick(&toggle, Qt::LeftButton, {}, at);
    QCOMPARE(toggle.isChecked(), toggles);
    QCOMPARE(toggled.size(), toggles ? 1 : 0);
}

void TestToggleSwitch::knobSlidesOnClickAndJumpsFromCode()
{
    ToggleSwitch toggle(QStringLiteral("Advanced adjustments"));
    toggle.resize(300, toggle.sizeHint().height());
    toggle.show();
    QVERIFY(QTest::qWaitForWindowExposed(&toggle));
    // A model that writes the state back while the knob slides (as the panes' refresh does)
    // does not cut the slide short.
    connect(&toggle, &ToggleSwitch::toggled, &toggle,
            [&toggle](bool on) { toggle.setChecked(on); });
    toggle.click();
    QVERIFY(toggle.isChecked());
    QVERIFY(toggle.knobPosition() < 1);
    toggle.setChecked(true);
    QVERIFY(toggle.knobPosition() < 1);
    QTRY_COMPARE(toggle.knobPosition(), 1.0);

    // Set from code, it stands at the new side at once.
    toggle.setChecked(false);
    QCOMPARE(toggle.knobPosition(), 0.0);
}

KORVANE_TEST_MAIN(TestToggleSwitch)
#include "tst_toggleswitch.moc"
