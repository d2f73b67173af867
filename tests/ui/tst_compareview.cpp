#include <QAction>
#include <QDir>
#include <QMimeData>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include "support/FileDialogDriver.h"
#include "support/TestSupport.h"
#include "ui/compare/CompareChip.h"
#include "ui/compare/CompareControlPane.h"
#include "ui/compare/CompareImageCard.h"
#include "ui/compare/ComparePlaceholder.h"
#include "ui/compare/CompareView.h"
#include "ui/compare/SyncedCompare.h"
#include "ui/components/BeforeAfterSlider.h"

namespace {

QUrl fileUrl(const QString& name)
{
    return QUrl::fromLocalFile(QDir::temp().filePath(name));
}

// A small picture file of one colour.
QUrl writeImage(const QString& name, const QSize& size, const QColor& color)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    const QUrl url = fileUrl(name);
    return image.save(url.toLocalFile()) ? url : QUrl();
}

QUrl makeClip(const QString& name)
{
    const QUrl url = fileUrl(name);
    const int status = KorvaneTest::runFFmpeg(
        {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
         QStringLiteral("testsrc=size=64x36:rate=10:duration=1"), QStringLiteral("-pix_fmt"),
         QStringLiteral("yuv420p"), url.toLocalFile()});
    return status == 0 ? url : QUrl();
}

bool isShown(const QWidget* widget)
{
    return widget && widget->isVisibleTo(widget->window());
}

} // namespace

class TestCompareView final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void startsEmpty();
    void twoImagesShowTheWipeOrSideBySide();
    void twoVideosShowTheSynchronisedComparison();
    void chipsFillTheSlotsInTurn();
    void removingAnAssignedItemClearsItsSlot();
    void mixedKindsAskForTheSameType();
    void unreadableImageSaysSo();
    void dropsAndResetGatherAndClear();

private:
    QUrl m_red;
    QUrl m_blue;
    QUrl m_green;
    QUrl m_clipOne;
    QUrl m_clipTwo;
    QUrl m_clipThree;
};

void TestCompareView::initTestCase()
{
    m_red = writeImage(QStringLiteral("red.png"), QSize(40, 30), Qt::red);
    m_blue = writeImage(QStringLiteral("blue.png"), QSize(40, 30), Qt::blue);
    m_green = writeImage(QStringLiteral("green.jpg"), QSize(20, 20), Qt::green);
    m_clipOne = makeClip(QStringLiteral("one.mp4"));
    m_clipTwo = makeClip(QStringLiteral("two.mp4"));
    m_clipThree = makeClip(QStringLiteral("three.mov"));
    for (const QUrl& url : {m_red, m_blue, m_green, m_clipOne, m_clipTwo, m_clipThree})
        QVERIFY(url.isValid());
}

void TestCompareView::startsEmpty()
{
    CompareView view;
    view.resize(1100, 720);
    view.show();
    QCOMPARE(view.area(), CompareView::Area::Placeholder);
    QCOMPARE(view.placeholder()->title(), QStringLiteral("Choose two items to compare"));
    QCOMPARE(
        view.placeholder()->subtitle(),
        QStringLiteral("Add videos or images, then tap any two in the strip to compare them."));
    QCOMPARE(view.controlPane()->typeText(), QStringLiteral("Auto — add files to detect"));
    QCOMPARE(view.controlPane()->slotText(CompareSlot::A),
             QStringLiteral("Tap an item in the strip"));
    QCOMPARE(view.controlPane()->slotText(CompareSlot::B),
             QStringLiteral("Tap an item in the strip"));
    QVERIFY(!isShown(view.strip()));
    QVERIFY(!isShown(view.findChild<QPushButton*>(QStringLiteral("reset"))));
    QVERIFY(!isShown(view.findChild<QWidget*>(QStringLiteral("aspectControl"))));
    QVERIFY(view.nextSlotIsA());

    // Its button opens Qt's own dialog; the picture typed into it and accepted joins the strip.
    auto* add = view.placeholder()->findChild<QPushButton*>();
    QVERIFY(add);
    QTest::mouseClick(add, Qt::LeftButton);
    QVERIFY(KorvaneTest::acceptInFileDialog(m_red.toLocalFile()));
    QTRY_COMPARE(view.chips().size(), 1);
    QVERIFY(isShown(view.strip()));
}

void TestCompareView::twoImagesShowTheWipeOrSideBySide()
{
    CompareView view;
    view.resize(1100, 720);
    view.show();
    view.addFiles({m_red, m_blue, m_red});
    QCOMPARE(view.items().size(), 2);
    QCOMPARE(view.slotA(), view.items().at(0).id);
    QCOMPARE(view.slotB(), view.items().at(1).id);
    QTRY_COMPARE(view.area(), CompareView::Area::ImageWipe);
    QVERIFY(isShown(view.imageWipe()));
    QCOMPARE(view.imageWipe()->original().pixelColor(0, 0), QColor(Qt::red));
    QCOMPARE(view.imageWipe()->upscaled().pixelColor(0, 0), QColor(Qt::blue));
    QCOMPARE(view.controlPane()->typeText(), QStringLiteral("Image"));
    QCOMPARE(view.controlPane()->slotText(CompareSlot::A), QStringLiteral("red.png"));
    QVERIFY(!isShown(view.findChild<QWidget*>(QStringLiteral("aspectControl"))));
    QVERIFY(isShown(view.findChild<QPushButton*>(QStringLiteral("reset"))));

    view.setSliderMode(false);
    QCOMPARE(view.area(), CompareView::Area::ImagesSideBySide);
    QVERIFY(!isShown(view.imageWipe()));
    QCOMPARE(view.imageCard(CompareSlot::A)->name(), QStringLiteral("red.png"));
    QCOMPARE(view.imageCard(CompareSlot::B)->name(), QStringLiteral("blue.png"));
    QVERIFY(isShown(view.imageCard(CompareSlot::B)));
}

void TestCompareView::twoVideosShowTheSynchronisedComparison()
{
    CompareView view;
    view.resize(1100, 720);
    view.show();
    view.addFiles({m_clipOne, m_clipTwo, m_clipThree});
    QCOMPARE(view.items().size(), 3);
    QCOMPARE(view.area(), CompareView::Area::Videos);
    SyncedCompare* synced = view.syncedCompare();
    QVERIFY(isShown(synced));
    QCOMPARE(synced->leftUrl(), m_clipOne);
    QCOMPARE(synced->rightUrl(), m_clipTwo);
    QVERIFY(synced->slider());
    QVERIFY(synced->sync());
    QVERIFY(!synced->loop());
    QVERIFY(!synced->portrait());
    QCOMPARE(view.controlPane()->typeText(), QStringLiteral("Video"));
    QVERIFY(isShown(view.findChild<QWidget*>(QStringLiteral("aspectControl"))));

    // The controls reach the same players.
    view.setPortrait(true);
    view.setSliderMode(false);
    view.setSync(false);
    view.setLoop(true);
    QCOMPARE(view.syncedCompare(), synced);
    QVERIFY(synced->portrait());
    QVERIFY(!synced->slider());
    QVERIFY(!synced->sync());
    QVERIFY(synced->loop());

    // Another pair gets a fresh comparison with the current settings.
    view.setSlot(CompareSlot::B, view.items().at(2).id);
    QVERIFY(view.syncedCompare());
    QCOMPARE(view.syncedCompare()->rightUrl(), m_clipThree);
    QVERIFY(view.syncedCompare()->loop());
    QVERIFY(view.syncedCompare()->portrait());
}

void TestCompareView::chipsFillTheSlotsInTurn()
{
    CompareView view;
    view.resize(1100, 720);
    view.show();
    view.addFiles({m_red, m_blue, m_green});
    QList<CompareChip*> chips = view.chips();
    QCOMPARE(chips.size(), 3);
    QCOMPARE(chips.at(0)->badge(), QStringLiteral("A"));
    QCOMPARE(chips.at(1)->badge(), QStringLiteral("B"));
    QCOMPARE(chips.at(2)->badge(), QString());
    QCOMPARE(chips.at(2)->toolTip(), QStringLiteral("Tap to assign to slot A"));

    QTest::mouseClick(chips.at(2), Qt::LeftButton);
    QCOMPARE(view.slotA(), view.items().at(2).id);
    QVERIFY(!view.nextSlotIsA());
    QCOMPARE(chips.at(0)->toolTip(), QStringLiteral("Tap to assign to slot B"));
    QCOMPARE(chips.at(0)->badge(), QString());
    QTest::mouseClick(chips.at(0), Qt::LeftButton);
    QCOMPARE(view.slotB(), view.items().at(0).id);
    QVERIFY(view.nextSlotIsA());

    // The item already in B goes into A as well: both slots show it.
    QTest::mouseClick(chips.at(0), Qt::LeftButton);
    QCOMPARE(view.slotA(), view.items().at(0).id);
    QCOMPARE(view.slotB(), view.items().at(0).id);

    // A plain mouse wheel scrolls the strip sideways once it holds more than fits.
    view.addFiles({m_clipOne, m_clipTwo, m_clipThree, fileUrl(QStringLiteral("a.png")),
                   fileUrl(QStringLiteral("b.png")), fileUrl(QStringLiteral("c.png"))});
    auto* scroller = view.strip()->findChild<QScrollArea*>();
    QVERIFY(scroller);
    QTRY_VERIFY(scroller->horizontalScrollBar()->maximum() > 0);
    QWheelEvent wheel(QPointF(20, 20), scroller->viewport()->mapToGlobal(QPointF(20, 20)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(scroller->viewport(), &wheel);
    QVERIFY(scroller->horizontalScrollBar()->value() > 0);

    // "Set as B" from the chip's menu leaves the next slot alone.
    const bool nextIsA = view.nextSlotIsA();
    QAction* setAsB = chips.at(1)->actions().at(1);
    QCOMPARE(setAsB->text(), QStringLiteral("Set as B"));
    setAsB->trigger();
    QCOMPARE(view.slotB(), view.items().at(1).id);
    QCOMPARE(view.nextSlotIsA(), nextIsA);
}

void TestCompareView::removingAnAssignedItemClearsItsSlot()
{
    CompareView view;
    view.resize(1100, 720);
    view.show();
    view.addFiles({m_red, m_blue, m_green});
    QTRY_COMPARE(view.area(), CompareView::Area::ImageWipe);

    // "Remove" from the menu of the chip in slot A.
    QAction* remove = view.chips().at(0)->actions().last();
    QCOMPARE(remove->text(), QStringLiteral("Remove"));
    remove->trigger();
    QCOMPARE(view.items().size(), 2);
    QVERIFY(!view.slotA());
    QVERIFY(!view.itemA());
    QCOMPARE(view.chips().size(), 2);
    QCOMPARE(view.area(), CompareView::Area::Placeholder);
    QCOMPARE(view.placeholder()->title(), QStringLiteral("Choose two items to compare"));
    QCOMPARE(view.controlPane()->slotText(CompareSlot::A),
             QStringLiteral("Tap an item in the strip"));
    // Adding files fills the empty slot with the first item again.
    view.addFiles({m_red});
    QVERIFY(view.slotA());
    QCOMPARE(view.itemA()->url, view.items().at(0).url);

    // The slot's own clear button empties it, leaving the item on the strip.
    auto* slotRow = view.findChild<QWidget*>(QStringLiteral("slotB"));
    QVERIFY(slotRow);
    slotRow->findChild<QToolButton*>(QStringLiteral("clearSlot"))->click();
    QVERIFY(!view.slotB());
    QCOMPARE(view.items().size(), 3);
}

void TestCompareView::mixedKindsAskForTheSameType()
{
    CompareView view;
    view.resize(1100, 720);
    view.show();
    view.addFiles({m_clipOne, m_red});
    QCOMPARE(view.detectedKind(), QStringLiteral("Mixed"));
    QCOMPARE(view.area(), CompareView::Area::Placeholder);
    QCOMPARE(view.placeholder()->title(), QStringLiteral("Pick two items of the same type"));
    QCOMPARE(view.placeholder()->subtitle(),
             QStringLiteral("Compare two videos or two images — not one of each."));
    QCOMPARE(view.controlPane()->typeText(), QStringLiteral("Mixed types"));
    QVERIFY(!isShown(view.findChild<QWidget*>(QStringLiteral("aspectControl"))));
    QVERIFY(!view.syncedCompare());

    // One video alone still counts as video: its controls show.
    view.setSlot(CompareSlot::B, std::nullopt);
    QCOMPARE(view.controlPane()->typeText(), QStringLiteral("Video"));
    QVERIFY(isShown(view.findChild<QWidget*>(QStringLiteral("aspectControl"))));
}

void TestCompareView::unreadableImageSaysSo()
{
    const QUrl broken = fileUrl(QStringLiteral("broken.png"));
    QVERIFY(KorvaneTest::writeFile(broken.toLocalFile(), "not a picture"));
    CompareView view;
    view.show();
    view.addFiles({m_red, broken});
    QCOMPARE(view.items().at(1).isVideo, false);
    QTRY_COMPARE(view.area(), CompareView::Area::Placeholder);
    QTRY_VERIFY(view.items().at(1).decoded);
    QCOMPARE(view.placeholder()->title(), QStringLiteral("Can't show this image"));
    QVERIFY(view.placeholder()->subtitle().contains(QStringLiteral("broken.png")));
    QVERIFY(view.items().at(1).image.isNull());
}

void TestCompareView::dropsAndResetGatherAndClear()
{
    CompareView view;
    view.show();
    QMimeData nothing;
    QVERIFY(!view.handleDrop(nothing));
    QMimeData files;
    files.setUrls({m_blue, m_clipOne, QUrl(QStringLiteral("https://example.com/x.png"))});
    QVERIFY(view.handleDrop(files));
    QCOMPARE(view.items().size(), 2);
    QCOMPARE(view.items().at(0).url, m_blue);

    view.assign(view.items().at(1));
    QVERIFY(!view.nextSlotIsA());
    auto* reset = view.findChild<QPushButton*>(QStringLiteral("reset"));
    QVERIFY(isShown(reset));
    reset->click();
    QVERIFY(view.items().isEmpty());
    QVERIFY(!view.slotA() && !view.slotB());
    QVERIFY(view.nextSlotIsA());
    QVERIFY(!isShown(reset));
    QVERIFY(!isShown(view.strip()));
    QCOMPARE(view.placeholder()->title(), QStringLiteral("Choose two items to compare"));
}

KORVANE_TEST_MAIN(TestCompareView)
#include "tst_compareview.moc"
