// Reading pictures: large ones within the machine's memory, phone photos upright.
#include <QDir>
#include <QImage>
#include <QImageReader>

#include "engine/EngineError.h"
#include "engine/ImageFile.h"
#include "engine/SystemFacts.h"
#include "support/TestSupport.h"

class TestImageFile final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void largePictureReads()
    {
        // 34 megapixels decode to 135 MB, just above Qt's default allocation limit.
        const QSize size(6720, 5040);
        const QString path = QDir::tempPath() + QStringLiteral("/large.png");
        {
            QImage solid(size, QImage::Format_RGB32);
            solid.fill(Qt::darkCyan);
            QVERIFY(solid.save(path, "PNG"));
        }
        const qint64 limit = qint64(QImageReader::allocationLimit()) << 20;
        if (limit > 0 && limit < qint64(size.width()) * size.height() * 4)
            QVERIFY(QImageReader(path).read().isNull());
        QString problem;
        const QImage full = ImageFile::read(path, 0, &problem);
        QVERIFY2(!full.isNull(), qPrintable(problem));
        QCOMPARE(full.size(), size);
        QCOMPARE(full.pixelColor(4000, 3000), QColor(Qt::darkCyan));

        // A preview-sized copy keeps the shape.
        QCOMPARE(ImageFile::read(path, 2200).size(), QSize(2200, 1650));
        QCOMPARE(ImageFile::header(path).size, size);
    }

    void tooLargeForMemoryIsRefused()
    {
        const QString path = QDir::tempPath() + QStringLiteral("/medium.png");
        QImage picture(400, 300, QImage::Format_RGB32);
        picture.fill(Qt::white);
        QVERIFY(picture.save(path, "PNG"));
        // 400 × 300 pixels at 8 bytes need 960 KB; half of 1 MB is allowed.
        SystemFacts::setPhysicalMemoryOverride(quint64(1) << 20);
        QString problem;
        const QImage refused = ImageFile::read(path, 0, &problem);
        SystemFacts::setPhysicalMemoryOverride(std::nullopt);
        QVERIFY(refused.isNull());
        QVERIFY2(problem.startsWith(QStringLiteral(
                     "This picture is too large for this computer's memory: 400×300 pixels")),
                 qPrintable(problem));
        QVERIFY(!ImageFile::read(path).isNull());
    }

    void phonePhotoIsReadUpright()
    {
        const QString path = QDir::tempPath() + QStringLiteral("/phone.jpg");
        QVERIFY(KorvaneTest::writeFile(path, KorvaneTest::turnedJpeg(40, 20)));
        const ImageFile::Header header = ImageFile::header(path);
        QVERIFY(header.readable);
        QVERIFY(header.turned);
        QCOMPARE(header.size, QSize(20, 40));
        const QImage upright = ImageFile::read(path);
        QCOMPARE(upright.size(), QSize(20, 40));
        QVERIFY(upright.pixelColor(10, 5).red() > 200);
        QVERIFY(upright.pixelColor(10, 35).blue() > 200);

        // The engine, which ignores the tag, gets an upright copy; other pictures go as they are.
        const QString folder = QDir::tempPath() + QStringLiteral("/work");
        QVERIFY(QDir().mkpath(folder));
        const QString copy = ImageFile::uprightForEngine(path, folder);
        QVERIFY(copy.startsWith(folder));
        QCOMPARE(QImageReader(copy).size(), QSize(20, 40));
        QVERIFY(upright.save(folder + QStringLiteral("/plain.png")));
        QCOMPARE(ImageFile::uprightForEngine(folder + QStringLiteral("/plain.png"), folder),
                 folder + QStringLiteral("/plain.png"));
    }

    void unreadableFileSaysWhy()
    {
        const QString path = QDir::tempPath() + QStringLiteral("/broken.png");
        QVERIFY(KorvaneTest::writeFile(path, "Not a picture.\n"));
        QVERIFY(!ImageFile::header(path).readable);
        QString problem;
        QVERIFY(ImageFile::read(path, 0, &problem).isNull());
        QVERIFY(!problem.isEmpty());
    }
};

KORVANE_TEST_MAIN(TestImageFile)
#include "tst_imagefile.moc"
