#include <QPainter>
#include <QRegularExpression>
#include <QTest>

#include "support/TestSupport.h"
#include "ui/components/Icons.h"

class TestIcons final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyScreenIconDraws_data();
    void everyScreenIconDraws();
    void cutOutsAreTransparent();
    void unknownNameShowsPlaceholderAndWarnsOnce();
    void paintsWithABrush();
};

namespace {

// Share of the pixmap's pixels that are visibly drawn.
qreal coverage(const QPixmap& pixmap)
{
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    int drawn = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            drawn += qAlpha(image.pixel(x, y)) > 64 ? 1 : 0;
    }
    return static_cast<qreal>(drawn) / (image.width() * image.height());
}

} // namespace

void TestIcons::everyScreenIconDraws_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qreal>("ratio");
    // Every icon the screens name.
    const char* const names[] = {"a.circle",
                                 "arrow.clockwise",
                                 "arrow.counterclockwise",
                                 "arrow.down.circle.fill",
                                 "arrow.left.and.right",
                                 "arrow.right",
                                 "arrow.triangle.2.circlepath",
                                 "arrow.up.arrow.down",
                                 "arrow.up.forward",
                                 "b.circle",
                                 "backward.end.fill",
                                 "bolt.fill",
                                 "checkmark",
                                 "checkmark.circle.fill",
                                 "checkmark.seal",
                                 "checkmark.seal.fill",
                                 "chevron.down",
                                 "chevron.up",
                                 "chevron.left.forwardslash.chevron.right",
                                 "clock",
                                 "clock.arrow.circlepath",
                                 "dollarsign.circle.fill",
                                 "envelope.fill",
                                 "exclamationmark.triangle",
                                 "film",
                                 "film.stack",
                                 "folder",
                                 "gearshape.fill",
                                 "globe",
                                 "house.fill",
                                 "internaldrive",
                                 "magnifyingglass",
                                 "minus.magnifyingglass",
                                 "pause.fill",
                                 "photo",
                                 "photo.artframe",
                                 "photo.fill",
                                 "photo.on.rectangle.angled",
                                 "photo.stack.fill",
                                 "play.circle.fill",
                                 "play.fill",
                                 "plus",
                                 "plus.circle.fill",
                                 "plus.magnifyingglass",
                                 "questionmark.circle",
                                 "rectangle.portrait.and.arrow.right",
                                 "rectangle.split.2x1",
                                 "rectangle.split.2x1.fill",
                                 "sparkles",
                                 "square.and.arrow.down",
                                 "square.grid.2x2.fill",
                                 "square.stack.3d.up.fill",
                                 "stop.circle.fill",
                                 "stop.fill",
                                 "trash",
                                 "tray.full",
                                 "video.fill",
                                 "xmark",
                                 "xmark.circle",
                                 "xmark.circle.fill",
                                 "arrow.up.left.and.arrow.down.right"};
    for (const char* name : names) {
        for (const qreal ratio : {1.0, 2.0}) {
            QTest::addRow("%s@%gx", name, ratio) << QString::fromLatin1(name) << ratio;
        }
    }
}

void TestIcons::everyScreenIconDraws()
{
    QFETCH(QString, name);
    QFETCH(qreal, ratio);
    QVERIFY(Icons::contains(name));
    const QPixmap pixmap = Icons::icon(name).pixmap(QSize(24, 24), ratio);
    QCOMPARE(pixmap.size(), QSize(24, 24) * ratio);
    QCOMPARE(pixmap.devicePixelRatio(), ratio);
    const qreal drawn = coverage(pixmap);
    QVERIFY2(drawn > 0.04 && drawn < 0.9, qPrintable(QString::number(drawn)));
}

void TestIcons::cutOutsAreTransparent()
{
    // The tick is cut out of the filled circle, not painted over it.
    const QImage image =
        Icons::pixmap(QStringLiteral("checkmark.circle.fill"), QSize(48, 48), 1.0, Qt::red)
            .toImage();
    QCOMPARE(qAlpha(image.pixel(21, 31)), 0);
    QCOMPARE(image.pixelColor(24, 8), QColor(Qt::red));
}

void TestIcons::unknownNameShowsPlaceholderAndWarnsOnce()
{
    const QString name = QStringLiteral("no.such.icon");
    QVERIFY(!Icons::contains(name));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no\\.such\\.icon")));
    QVERIFY(coverage(Icons::icon(name).pixmap(QSize(24, 24), 1.0)) > 0.04);
    QTest::failOnWarning(QRegularExpression(QStringLiteral("no\\.such\\.icon")));
    QVERIFY(coverage(Icons::icon(name).pixmap(QSize(32, 32), 2.0)) > 0.04);
}

void TestIcons::paintsWithABrush()
{
    QImage target(40, 40, QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::transparent);
    {
        QPainter painter(&target);
        QLinearGradient gradient(0, 0, 40, 40);
        gradient.setColorAt(0, Qt::blue);
        gradient.setColorAt(1, Qt::blue);
        Icons::paint(painter, QRectF(0, 0, 40, 40), QStringLiteral("stop.fill"), gradient);
    }
    QCOMPARE(target.pixelColor(20, 20), QColor(Qt::blue));
    QCOMPARE(qAlpha(target.pixel(1, 1)), 0);
}

KORVANE_TEST_MAIN(TestIcons)
#include "tst_icons.moc"
