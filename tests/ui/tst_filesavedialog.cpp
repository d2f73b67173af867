#include <QApplication>
#include <QFileDialog>
#include <QTest>
#include <QTimer>

#include "support/TestSupport.h"
#include "ui/components/FileSaveDialog.h"

class TestFileSaveDialog final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void answersWithTheChosenPathOrNothing_data();
    void answersWithTheChosenPathOrNothing();
};

void TestFileSaveDialog::answersWithTheChosenPathOrNothing_data()
{
    QTest::addColumn<bool>("accept");
    QTest::newRow("saved") << true;
    QTest::newRow("cancelled") << false;
}

void TestFileSaveDialog::answersWithTheChosenPathOrNothing()
{
    QFETCH(bool, accept);
    const QString suggested = KorvaneTest::isolatedRoot() + QStringLiteral("/clip_upscaled.mp4");
    SaveDialog::Request request;
    request.suggestedPath = suggested;
    request.message = QStringLiteral("Choose where to save the upscaled video");
    request.nameFilter = QStringLiteral("MPEG-4 movie (*.mp4)");
    request.defaultSuffix = QStringLiteral("mp4");

    QString title;
    QStringList filters;
    QTimer::singleShot(0, this, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        title = dialog->windowTitle();
        filters = dialog->nameFilters();
        if (accept)
            QMetaObject::invokeMethod(dialog, &QDialog::accept);
        else
            dialog->reject();
    });
    FileSaveDialog saveDialog;
    const std::optional<QString> chosen = saveDialog.chooseSaveLocation(request);
    QCOMPARE(title, request.message);
    QCOMPARE(filters, QStringList{request.nameFilter});
    QCOMPARE(chosen, accept ? std::optional<QString>(suggested) : std::nullopt);
}

KORVANE_TEST_MAIN(TestFileSaveDialog)

#include "tst_filesavedialog.moc"
