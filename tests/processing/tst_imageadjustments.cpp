#include <cmath>

#include <QColor>
#include <QImage>
#include <QTest>

#include "processing/ImageAdjustments.h"
#include "support/TestSupport.h"

namespace {
// A picture with a grey ramp, saturated colours and partial transparency.
QImage testPicture()
{
    QImage image(24, 16, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int v = (x * 255) / (image.width() - 1);
            QColor color = y < 4    ? QColor(v, v, v)
                           : y < 8  ? QColor(220, 40, 30)
                           : y < 12 ? QColor(30, v, 200)
                                    : QColor(90, 160, 60, 128);
            image.setPixelColor(x, y, color);
        }
    }
    return image;
}

float lumaOf(const QColor& c)
{
    return 0.2125f * float(c.redF()) + 0.7154f * float(c.greenF()) + 0.0721f * float(c.blueF());
}

// The largest difference of any channel between two pictures of the same size.
int maxDifference(const QImage& a, const QImage& b)
{
    const QImage left = a.convertToFormat(QImage::Format_RGBA8888);
    const QImage right = b.convertToFormat(QImage::Format_RGBA8888);
    int worst = 0;
    for (int y = 0; y < left.height(); ++y) {
        const uchar* l = left.constScanLine(y);
        const uchar* r = right.constScanLine(y);
        for (int i = 0; i < left.width() * 4; ++i)
            worst = std::max(worst, std::abs(int(l[i]) - int(r[i])));
    }
    return worst;
}

int expected(float value)
{
    return int(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}
} // namespace

class TestImageAdjustments final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void identityLeavesPixels();
    void colorControlsFollowTheDefinition_data();
    void colorControlsFollowTheDefinition();
    void saturationZeroGivesTheLuma();
    void sharpeningRaisesEdgeContrastOfLuminanceOnly();
    void sharpeningLeavesFlatAreas();
    void buffersAreReusedAcrossSizes();
};

void TestImageAdjustments::identityLeavesPixels()
{
    ImageAdjustments adjustments;
    const QImage picture = testPicture();
    const QImage result = adjustments.apply(picture, 0.0, 1.0, 1.0, 0.0);
    QCOMPARE(result.size(), picture.size());
    QVERIFY(maxDifference(result, picture) <= 1);
    // Sharpening at strength 0 is the identity too.
    QVERIFY(maxDifference(adjustments.sharpenLuminance(picture, 0.0f), picture) <= 1);
}

void TestImageAdjustments::colorControlsFollowTheDefinition_data()
{
    QTest::addColumn<QColor>("color");
    QTest::addColumn<float>("brightness");
    QTest::addColumn<float>("contrast");
    QTest::addColumn<float>("saturation");

    QTest::newRow("brighter") << QColor(100, 150, 200) << 0.2f << 1.0f << 1.0f;
    QTest::newRow("darker, clamped at 0") << QColor(20, 150, 200) << -0.3f << 1.0f << 1.0f;
    QTest::newRow("more contrast") << QColor(60, 128, 220) << 0.0f << 1.3f << 1.0f;
    QTest::newRow("less contrast") << QColor(60, 128, 220) << 0.0f << 0.7f << 1.0f;
    QTest::newRow("more saturation") << QColor(200, 100, 50) << 0.0f << 1.0f << 2.0f;
    QTest::newRow("less saturation") << QColor(200, 100, 50) << 0.0f << 1.0f << 0.5f;
    QTest::newRow("all three") << QColor(200, 100, 50) << 0.1f << 1.2f << 1.5f;
}

void TestImageAdjustments::colorControlsFollowTheDefinition()
{
    QFETCH(QColor, color);
    QFETCH(float, brightness);
    QFETCH(float, contrast);
    QFETCH(float, saturation);

    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(color);
    ImageAdjustments adjustments;
    const QImage result = adjustments.colorControls(picture, brightness, contrast, saturation);
    const QColor out = result.pixelColor(2, 2);

    // Saturation mixes with the luma, brightness is added, contrast pivots about mid-grey.
    const float l = lumaOf(color);
    const float channels[3] = {float(color.redF()), float(color.greenF()), float(color.blueF())};
    const int got[3] = {out.red(), out.green(), out.blue()};
    for (int i = 0; i < 3; ++i) {
        const float v =
            ((l + (channels[i] - l) * saturation) + brightness - 0.5f) * contrast + 0.5f;
        QVERIFY2(std::abs(got[i] - expected(v)) <= 1,
                 qPrintable(QStringLiteral("channel %1: %2 instead of %3")
                                .arg(i)
                                .arg(got[i])
                                .arg(expected(v))));
    }
    QCOMPARE(out.alpha(), 255);
}

void TestImageAdjustments::saturationZeroGivesTheLuma()
{
    ImageAdjustments adjustments;
    const QImage picture = testPicture();
    const QImage grey = adjustments.colorControls(picture, 0.0f, 1.0f, 0.0f);
    for (int y = 0; y < picture.height(); y += 3) {
        for (int x = 0; x < picture.width(); x += 5) {
            const QColor in = picture.pixelColor(x, y);
            const QColor out = grey.pixelColor(x, y);
            QVERIFY(std::abs(out.red() - out.green()) <= 1);
            QVERIFY(std::abs(out.green() - out.blue()) <= 1);
            QVERIFY(std::abs(out.green() - expected(lumaOf(in))) <= 1);
            QCOMPARE(out.alpha(), in.alpha());
        }
    }
}

void TestImageAdjustments::sharpeningRaisesEdgeContrastOfLuminanceOnly()
{
    // A coloured vertical edge: dark blue-green on the left, lighter orange on the right.
    QImage picture(20, 8, QImage::Format_RGB32);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 20; ++x)
            picture.setPixelColor(x, y, x < 10 ? QColor(40, 90, 110) : QColor(170, 120, 80));
    ImageAdjustments adjustments;
    const QImage sharp = adjustments.sharpenLuminance(picture, 1.0f);

    const QColor leftIn = picture.pixelColor(9, 4);
    const QColor rightIn = picture.pixelColor(10, 4);
    const QColor leftOut = sharp.pixelColor(9, 4);
    const QColor rightOut = sharp.pixelColor(10, 4);
    // The dark side gets darker and the light side lighter next to the edge ...
    QVERIFY(lumaOf(leftOut) < lumaOf(leftIn) - 0.02f);
    QVERIFY(lumaOf(rightOut) > lumaOf(rightIn) + 0.02f);
    // ... by the same amount in every channel, so the chroma (differences between channels) stays.
    for (const auto& [in, out] : {std::pair{leftIn, leftOut}, std::pair{rightIn, rightOut}}) {
        QVERIFY(std::abs((out.red() - out.green()) - (in.red() - in.green())) <= 1);
        QVERIFY(std::abs((out.blue() - out.green()) - (in.blue() - in.green())) <= 1);
    }
    // A stronger setting moves the edge further.
    const QImage sharper = adjustments.sharpenLuminance(picture, 2.0f);
    QVERIFY(lumaOf(sharper.pixelColor(10, 4)) > lumaOf(rightOut));
    // Far from the edge nothing changes.
    QVERIFY(maxDifference(sharp.copy(0, 0, 3, 8), picture.copy(0, 0, 3, 8)) <= 1);
}

void TestImageAdjustments::sharpeningLeavesFlatAreas()
{
    QImage picture(9, 9, QImage::Format_RGB32);
    picture.fill(QColor(120, 60, 200));
    ImageAdjustments adjustments;
    QVERIFY(maxDifference(adjustments.sharpenLuminance(picture, 2.0f), picture) <= 1);
}

void TestImageAdjustments::buffersAreReusedAcrossSizes()
{
    // One object serves pictures of different sizes in turn, as the image jobs do.
    ImageAdjustments adjustments;
    const QImage big = testPicture().scaled(48, 32);
    const QImage small = testPicture();
    const QImage first = adjustments.apply(big, 0.05, 1.1, 1.2, 0.8);
    const QImage second = adjustments.apply(small, 0.05, 1.1, 1.2, 0.8);
    QCOMPARE(first.size(), big.size());
    QCOMPARE(second.size(), small.size());
    ImageAdjustments fresh;
    QCOMPARE(maxDifference(second, fresh.apply(small, 0.05, 1.1, 1.2, 0.8)), 0);
}

KORVANE_TEST_MAIN(TestImageAdjustments)

#include "tst_imageadjustments.moc"
