#include <QFile>
#include <QSettings>
#include <QTest>

#include "processing/AppSettings.h"
#include "support/TestSupport.h"

using Getter = bool (*)();
using Setter = void (*)(bool);
Q_DECLARE_METATYPE(Getter)
Q_DECLARE_METATYPE(Setter)

class TestAppSettings final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void unsetReadsFalseBeforeDefaultsAreRegistered();
    void settings_data();
    void settings();
    void storedWhereOtherProcessesReadIt();
};

void TestAppSettings::unsetReadsFalseBeforeDefaultsAreRegistered()
{
    QCOMPARE(AppSettings::notifyOnFinish(), false);
    QCOMPARE(AppSettings::notifyWithSound(), false);
    QCOMPARE(AppSettings::askWhereToSave(), false);
}

void TestAppSettings::settings_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<Getter>("get");
    QTest::addColumn<Setter>("set");
    QTest::addColumn<bool>("registeredDefault");

    QTest::newRow("notifyOnFinish")
        << AppSettings::notifyOnFinishKey << Getter(&AppSettings::notifyOnFinish)
        << Setter(&AppSettings::setNotifyOnFinish) << true;
    QTest::newRow("notifyWithSound")
        << AppSettings::notifyWithSoundKey << Getter(&AppSettings::notifyWithSound)
        << Setter(&AppSettings::setNotifyWithSound) << true;
    QTest::newRow("askWhereToSave")
        << AppSettings::askWhereToSaveKey << Getter(&AppSettings::askWhereToSave)
        << Setter(&AppSettings::setAskWhereToSave) << false;
}

void TestAppSettings::settings()
{
    QFETCH(QString, key);
    QFETCH(Getter, get);
    QFETCH(Setter, set);
    QFETCH(bool, registeredDefault);

    QSettings store(QStringLiteral("Korvane"), QStringLiteral("Korvane"));
    store.remove(key);
    AppSettings::registerDefaults();
    QCOMPARE(get(), registeredDefault);
    // Registering supplies a default only; it writes nothing.
    QVERIFY(!QSettings(QStringLiteral("Korvane"), QStringLiteral("Korvane")).contains(key));

    set(!registeredDefault);
    QCOMPARE(get(), !registeredDefault);
    set(registeredDefault);
    QCOMPARE(get(), registeredDefault);
    QCOMPARE(QSettings(QStringLiteral("Korvane"), QStringLiteral("Korvane")).value(key).toBool(),
             registeredDefault);
}

void TestAppSettings::storedWhereOtherProcessesReadIt()
{
    AppSettings::setAskWhereToSave(true);
    QSettings(QStringLiteral("Korvane"), QStringLiteral("Korvane")).sync();
    const QString file =
        qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Korvane/Korvane.conf");
    QVERIFY2(QFile::exists(file), qPrintable(file));
    QSettings onDisk(file, QSettings::IniFormat);
    QCOMPARE(onDisk.value(AppSettings::askWhereToSaveKey).toBool(), true);
}

KORVANE_TEST_MAIN(TestAppSettings)
#include "tst_appsettings.moc"
