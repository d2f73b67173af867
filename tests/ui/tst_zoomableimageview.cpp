#include <QPushButton>
#include <QSlider>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include "support/TestSupport.h"
#include "ui/components/ZoomableImageView.h"

class TestZoomableImageView final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void buttons_data();
    void buttons();
    void sliderStaysWithinRange();
    void dragPansAfterTenPixels();
    void pinchAboveOneKeepsThePan();
    void resetAndDoubleClick_data();
    void resetAndDoubleClick();

private:
    void drag(const QPoint& from, const QPoint& to);
    void wheel(int delta);

    ZoomableImageView* m_view = nullptr;
    QWidget* m_picture = nullptr;
};

void TestZoomableImageView::init()
{
    QImage image(640, 400, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    m_view =
        new ZoomableImageView(ZoomItem{QUuid::createUuid(), image, QStringLiteral("Upscaled")});
    m_view->resize(m_view->sizeHint());
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view));
    m_picture = m_view->findChild<QWidget*>(QStringLiteral("picture"));
    QVERIFY(m_picture);
}

void TestZoomableImageView::cleanup()
{
    delete m_view;
    m_view = nullptr;
}

void TestZoomableImageView::drag(const QPoint& from, const QPoint& to)
{
    QTest::mousePress(m_picture, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), m_picture->mapToGlobal(QPointF(to)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_picture, &move);
    QTest::mouseRelease(m_picture, Qt::LeftButton, {}, to);
}

void TestZoomableImageView::wheel(int delta)
{
    const QPointF at = QRectF(m_picture->rect()).center();
    QWheelEvent event(at, m_picture->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(m_picture, &event);
}

void TestZoomableImageView::buttons_data()
{
    QTest::addColumn<qreal>("start");
    QTest::addColumn<QString>("button");
    QTest::addColumn<qreal>("expected");
    QTest::addColumn<bool>("centred");
    QTest::newRow("minus from 1.5") << 1.5 << QStringLiteral("zoomOut") << 1.0 << true;
    QTest::newRow("minus from 1") << 1.0 << QStringLiteral("zoomOut") << 1.0 << true;
    QTest::newRow("minus from 4") << 4.0 << QStringLiteral("zoomOut") << 3.0 << false;
    QTest::newRow("plus from 2") << 2.0 << QStringLiteral("zoomIn") << 3.0 << false;
    QTest::newRow("plus at 12") << 12.0 << QStringLiteral("zoomIn") << 12.0 << false;
    QTest::newRow("plus from 11.5") << 11.5 << QStringLiteral("zoomIn") << 12.0 << false;
}

void TestZoomableImageView::buttons()
{
    QFETCH(qreal, start);
    QFETCH(QString, button);
    QFETCH(qreal, expected);
    QFETCH(bool, centred);
    m_view->zoomTo(2);
    drag(QPoint(300, 200), QPoint(340, 230));
    const QPointF panned(40, 30);
    QCOMPARE(m_view->offset(), panned);
    m_view->zoomTo(start);
    QTest::mouseClick(m_view->findChild<QToolButton*>(button), Qt::LeftButton);
    QCOMPARE(m_view->scale(), expected);
    QCOMPARE(m_view->lastScale(), expected);
    QCOMPARE(m_view->offset(), centred ? QPointF() : panned);
    QCOMPARE(m_view->lastOffset(), m_view->offset());
    QCOMPARE(m_view->findChild<QSlider*>(QStringLiteral("zoomSlider"))->value(),
             qRound(expected * 100));
}

void TestZoomableImageView::sliderStaysWithinRange()
{
    auto* slider = m_view->findChild<QSlider*>(QStringLiteral("zoomSlider"));
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_End);
    QCOMPARE(m_view->scale(), 12.0);
    QTest::keyClick(slider, Qt::Key_PageUp);
    QCOMPARE(m_view->scale(), 12.0);
    QTest::keyClick(slider, Qt::Key_PageDown);
    QCOMPARE(m_view->scale(), 11.0);
    QCOMPARE(m_view->lastScale(), 11.0);
    QTest::keyClick(slider, Qt::Key_Home);
    QCOMPARE(m_view->scale(), 1.0);
    QTest::keyClick(slider, Qt::Key_PageDown);
    QCOMPARE(m_view->scale(), 1.0);
}

void TestZoomableImageView::dragPansAfterTenPixels()
{
    m_view->zoomTo(3);
    drag(QPoint(200, 200), QPoint(206, 206)); // under 10 points: no pan
    QCOMPARE(m_view->offset(), QPointF());
    drag(QPoint(200, 200), QPoint(180, 215));
    QCOMPARE(m_view->offset(), QPointF(-20, 15));
    drag(QPoint(100, 100), QPoint(130, 100)); // adds to the last pan
    QCOMPARE(m_view->offset(), QPointF(10, 15));
    QCOMPARE(m_view->lastOffset(), QPointF(10, 15));
}

void TestZoomableImageView::pinchAboveOneKeepsThePan()
{
    m_view->zoomTo(2);
    drag(QPoint(300, 200), QPoint(250, 260));
    const QPointF panned(-50, 60);
    wheel(-240); // zoom out by a factor below 1, staying above scale 1
    QVERIFY(m_view->scale() > 1 && m_view->scale() < 2);
    QCOMPARE(m_view->lastScale(), 2.0); // the gesture is still going on
    QTRY_COMPARE(m_view->lastScale(), m_view->scale());
    QCOMPARE(m_view->offset(), panned);
    QCOMPARE(m_view->lastOffset(), panned);

    // The pinch factor applies to the scale the gesture started from, within 1 and 12.
    m_view->pinchTo(100);
    QCOMPARE(m_view->scale(), 12.0);
    m_view->pinchTo(100.005); // a change under 0.01 is ignored
    m_view->pinchTo(0.5);
    const qreal halfway = m_view->scale();
    m_view->pinchTo(0.505);
    QCOMPARE(m_view->scale(), halfway);
    m_view->endPinch();
    QCOMPARE(m_view->lastScale(), halfway);
    QCOMPARE(m_view->offset(), panned);
}

void TestZoomableImageView::resetAndDoubleClick_data()
{
    QTest::addColumn<bool>("doubleClick");
    QTest::newRow("Reset button") << false;
    QTest::newRow("double-click") << true;
}

void TestZoomableImageView::resetAndDoubleClick()
{
    QFETCH(bool, doubleClick);
    m_view->zoomTo(5);
    drag(QPoint(300, 200), QPoint(200, 150));
    if (doubleClick)
        QTest::mouseDClick(m_picture, Qt::LeftButton, {}, QPoint(200, 150));
    else
        QTest::mouseClick(m_view->findChild<QPushButton*>(QStringLiteral("resetZoom")),
                          Qt::LeftButton);
    QCOMPARE(m_view->scale(), 1.0);
    QCOMPARE(m_view->lastScale(), 1.0);
    QCOMPARE(m_view->offset(), QPointF());
    QCOMPARE(m_view->lastOffset(), QPointF());

    QSignalSpy done(m_view, &ZoomableImageView::doneRequested);
    QTest::mouseClick(m_view->findChild<QPushButton*>(QStringLiteral("done")), Qt::LeftButton);
    QCOMPARE(done.count(), 1);
}

KORVANE_TEST_MAIN(TestZoomableImageView)
#include "tst_zoomableimageview.moc"
