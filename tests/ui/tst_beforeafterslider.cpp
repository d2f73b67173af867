#include <QSignalSpy>
#include <QTest>

#include "support/TestSupport.h"
#include "ui/components/BeforeAfterSlider.h"

class TestBeforeAfterSlider final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pressAndDrag_data();
    void pressAndDrag();
    void upscaledShowsRightOfTheLine();
};

namespace {
QImage filled(const QColor& colour)
{
    QImage image(80, 50, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}
} // namespace

void TestBeforeAfterSlider::pressAndDrag_data()
{
    QTest::addColumn<int>("pressX");
    QTest::addColumn<int>("dragX");
    QTest::addColumn<qreal>("afterPress");
    QTest::addColumn<qreal>("afterDrag");
    QTest::newRow("within") << 100 << 300 << 0.25 << 0.75;
    QTest::newRow("past the right edge") << 200 << 650 << 0.5 << 1.0;
    QTest::newRow("past the left edge") << 40 << -90 << 0.1 << 0.0;
}

void TestBeforeAfterSlider::pressAndDrag()
{
    QFETCH(int, pressX);
    QFETCH(int, dragX);
    QFETCH(qreal, afterPress);
    QFETCH(qreal, afterDrag);
    BeforeAfterSlider slider(filled(Qt::red), filled(Qt::blue));
    slider.resize(400, 200);
    slider.show();
    QVERIFY(QTest::qWaitForWindowExposed(&slider));
    QCOMPARE(slider.frac(), 0.5);
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(pressX, 100));
    QCOMPARE(slider.frac(), afterPress);
    QMouseEvent move(QEvent::MouseMove, QPointF(dragX, 100),
                     slider.mapToGlobal(QPointF(dragX, 100)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&slider, &move);
    QCOMPARE(slider.frac(), afterDrag);
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(std::clamp(dragX, 0, 399), 100));
}

void TestBeforeAfterSlider::upscaledShowsRightOfTheLine()
{
    BeforeAfterSlider slider(filled(Qt::red), filled(Qt::blue));
    slider.resize(400, 250);
    slider.setFrac(0.25);
    const QImage image = slider.grab().toImage();
    // The pictures fill the width (80×50 fits 400×250 exactly); sample below the tags.
    QCOMPARE(image.pixelColor(50, 200), QColor(Qt::red));
    QCOMPARE(image.pixelColor(150, 200), QColor(Qt::blue));
    QCOMPARE(image.pixelColor(380, 200), QColor(Qt::blue));
}

KORVANE_TEST_MAIN(TestBeforeAfterSlider)
#include "tst_beforeafterslider.moc"
