// korvane-engine as the application runs it: a hand-made model with known numbers, the failures
// it must report, and the shipped models against the Vulkan engine on tiny pictures.
#include <cmath>
#include <cstring>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "engine/PictureDifference.h"
#include "support/TestSupport.h"

namespace {

const QString kStaging = QStringLiteral(KORVANE_TEST_TOOLS_STAGING);

QString engine()
{
    return kStaging + QStringLiteral("/realesrgan/korvane-engine");
}

QString shippedModels()
{
    return kStaging + QStringLiteral("/realesrgan/models");
}

struct Run {
    int status = -1;
    QByteArray output;
    QByteArray error;
};

Run run(const QString& program, const QStringList& arguments, const QByteArray& input = {},
        const QMap<QString, QString>& environment = {})
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (auto it = environment.cbegin(); it != environment.cend(); ++it)
        env.insert(it.key(), it.value());
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    process.waitForStarted();
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(600000);
    Run result;
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = process.readAllStandardOutput();
    result.error = process.readAllStandardError();
    return result;
}

// Bytes of little-endian 32-bit values.
template <typename T> QByteArray bytesOf(std::initializer_list<T> values)
{
    QByteArray bytes;
    for (T value : values)
        bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
    return bytes;
}

QByteArray halves(const std::vector<float>& values)
{
    // Exact half-precision codes of values that are small multiples of 1/8.
    QByteArray bytes;
    for (float value : values) {
        quint16 code = 0;
        if (value != 0.f) {
            int exponent = 0;
            const float fraction = std::frexp(std::fabs(value), &exponent); // [0.5, 1)
            const quint16 mantissa = quint16(std::lround((fraction * 2.f - 1.f) * 1024.f));
            code = quint16(((exponent - 1 + 15) << 10) | mantissa);
            if (value < 0)
                code |= 0x8000;
        }
        bytes.append(reinterpret_cast<const char*>(&code), 2);
    }
    return bytes;
}

// A model of scale 2 that uses every layer type: a 1x1 convolution (3 -> 12, half-precision
// weights, leaky activation), PReLU, PixelShuffle, nearest Interp of the input, a weighted
// Eltwise sum, Concat, a second 1x1 convolution (6 -> 3, plain weights, no bias) and BinaryOp.
const char kParam[] = "7767517\n"
                      "12 15\n"
                      "Input in 0 1 data\n"
                      "Split split 1 2 data a b\n"
                      "Convolution c1 1 1 a x 0=12 1=1 5=1 6=36 9=2 -23310=1,5.000000e-01\n"
                      "PReLU p 1 1 x y 0=1\n"
                      "PixelShuffle ps 1 1 y z 0=2\n"
                      "Interp up 1 1 b u 0=1 1=2.0 2=2.0\n"
                      "Split split2 1 2 u u1 u2\n"
                      "Eltwise e 2 1 z u1 v 0=1 -23301=2,1.0,0.5\n"
                      "Split split3 1 2 v v1 v2\n"
                      "Concat cat 2 1 v1 u2 k\n"
                      "Convolution c2 1 1 k k2 0=3 1=1 5=0 6=18\n"
                      "BinaryOp add 2 1 k2 v2 output\n";

std::vector<float> firstWeights()
{
    std::vector<float> w(36);
    for (int o = 0; o < 12; ++o)
        for (int i = 0; i < 3; ++i)
            w[std::size_t(o * 3 + i)] = float((o + 2 * i) % 7 - 3) / 8.f;
    return w;
}

std::vector<float> firstBias()
{
    std::vector<float> b(12);
    for (int o = 0; o < 12; ++o)
        b[std::size_t(o)] = float(o % 3 - 1) / 16.f;
    return b;
}

std::vector<float> secondWeights()
{
    std::vector<float> w(18);
    for (int o = 0; o < 3; ++o)
        for (int i = 0; i < 6; ++i)
            w[std::size_t(o * 6 + i)] = float((3 * o + i) % 5 - 2) / 4.f;
    return w;
}

QByteArray floats(const std::vector<float>& values)
{
    return QByteArray(reinterpret_cast<const char*>(values.data()),
                      qsizetype(values.size() * sizeof(float)));
}

QByteArray tinyBin()
{
    QByteArray bin = bytesOf<quint32>({0x01306B47u}) + halves(firstWeights()); // 72 bytes
    bin += floats(firstBias());
    bin += floats({0.25f}); // PReLU slope
    bin += bytesOf<quint32>({0u}) + floats(secondWeights());
    return bin;
}

// The same model computed directly, in double precision.
QByteArray expectedOutput(const QByteArray& input, int width, int height)
{
    const std::vector<float> w1 = firstWeights();
    const std::vector<float> b1 = firstBias();
    const std::vector<float> w2 = secondWeights();
    QByteArray out(width * 2 * height * 2 * 3, '\0');
    for (int y = 0; y < height * 2; ++y)
        for (int x = 0; x < width * 2; ++x) {
            const char* pixel = input.constData() + ((y / 2) * width + x / 2) * 3;
            double p[3];
            for (int c = 0; c < 3; ++c)
                p[c] = double(quint8(pixel[c])) / 255.0;
            double v[3];
            for (int c = 0; c < 3; ++c) {
                const int channel = c * 4 + (y % 2) * 2 + (x % 2);
                double s = b1[std::size_t(channel)];
                for (int i = 0; i < 3; ++i)
                    s += w1[std::size_t(channel * 3 + i)] * p[i];
                s = s > 0 ? s : s * 0.5;  // leaky activation
                s = s > 0 ? s : s * 0.25; // PReLU
                v[c] = s + 0.5 * p[c];
            }
            const double k[6] = {v[0], v[1], v[2], p[0], p[1], p[2]};
            for (int c = 0; c < 3; ++c) {
                double m = 0;
                for (int i = 0; i < 6; ++i)
                    m += w2[std::size_t(c * 6 + i)] * k[i];
                const double value = std::clamp(std::round((m + v[c]) * 255.0), 0.0, 255.0);
                out[((y * width * 2) + x) * 3 + c] = char(quint8(value));
            }
        }
    return out;
}

int largestDifference(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB888);
    const QImage y = b.convertToFormat(QImage::Format_RGB888);
    int largest = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int i = 0; i < x.width() * 3; ++i)
            largest = std::max(
                largest, std::abs(int(x.constScanLine(row)[i]) - int(y.constScanLine(row)[i])));
    return largest;
}

// Whether the processor has the instructions the engine's automatic bf16 choice looks for.
bool processorHasBFloat16()
{
    QFile info(QStringLiteral("/proc/cpuinfo"));
    if (!info.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = info.readAll();
    return text.contains(" avx512_bf16") || text.contains(" amx_bf16");
}

} // namespace

class TestCpuEngine final : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_picture;
    QString m_photograph;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // Every shipped model and model scale, as rows of (model, modelScale).
    static void addShippedModels()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("modelScale");
        QTest::newRow("Fast x2") << QStringLiteral("realesr-animevideov3") << 2;
        QTest::newRow("Fast x3") << QStringLiteral("realesr-animevideov3") << 3;
        QTest::newRow("Fast x4") << QStringLiteral("realesr-animevideov3") << 4;
        QTest::newRow("Detailed") << QStringLiteral("realesr-general-x4v3") << 4;
        QTest::newRow("Max") << QStringLiteral("realesrgan-x4plus") << 4;
    }

    static QStringList shippedModelArguments(const QString& picture, const QString& model,
                                             int modelScale)
    {
        return {QStringLiteral("-i"), picture,
                QStringLiteral("-n"), model,
                QStringLiteral("-z"), QString::number(modelScale),
                QStringLiteral("-s"), QString::number(modelScale),
                QStringLiteral("-m"), shippedModels()};
    }

    // The current data row's tag as a file name part.
    static QString fileTag()
    {
        return QString::fromLatin1(QTest::currentDataTag())
            .replace(QLatin1Char(' '), QLatin1Char('_'));
    }

    void writeModel(const QString& folder, const QByteArray& param, const QByteArray& bin)
    {
        QVERIFY(KorvaneTest::writeFile(folder + QStringLiteral("/tiny.param"), param));
        QVERIFY(KorvaneTest::writeFile(folder + QStringLiteral("/tiny.bin"), bin));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(QFile::exists(engine()), "the tools staging has no korvane-engine");
        // A small real picture: colour bars, a moving gradient and text, with hard edges.
        m_picture = path(QStringLiteral("picture.png"));
        QCOMPARE(KorvaneTest::runFFmpeg(
                     {QStringLiteral("-y"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                      QStringLiteral("-i"), QStringLiteral("testsrc2=size=32x18:rate=1"),
                      QStringLiteral("-frames:v"), QStringLiteral("1"), m_picture}),
                 0);
        // A small part of a real photograph (a face, hair, soft background), for the precision
        // comparisons: flat test patterns hide rounding that real pictures show.
        m_photograph = path(QStringLiteral("photograph.png"));
        QCOMPARE(KorvaneTest::runFFmpeg(
                     {QStringLiteral("-y"), QStringLiteral("-i"),
                      QStringLiteral(KORVANE_TEST_RESOURCES_DIR "/Woman_looking_up.jpeg"),
                      QStringLiteral("-vf"), QStringLiteral("scale=64:-2,crop=40:28"),
                      QStringLiteral("-frames:v"), QStringLiteral("1"), m_photograph}),
                 0);
    }

    void handMadeModelGivesExactNumbers()
    {
        const QString folder = path(QStringLiteral("tiny"));
        writeModel(folder, kParam, tinyBin());
        const int width = 3;
        const int height = 2;
        const QByteArray input = QByteArray::fromHex("00ff80 40c020 ffffff 000000 7f3a91 10e0a0");
        const Run result = run(engine(),
                               {QStringLiteral("--stream"), QStringLiteral("3x2"),
                                QStringLiteral("-n"), QStringLiteral("tiny"), QStringLiteral("-s"),
                                QStringLiteral("2"), QStringLiteral("-m"), folder,
                                QStringLiteral("--precision"), QStringLiteral("fp32")},
                               input + input);
        QVERIFY2(result.status == 0, result.error.constData());
        const QByteArray expected = expectedOutput(input, width, height);
        QCOMPARE(result.output.toHex(' '), QByteArray(expected + expected).toHex(' '));
        QVERIFY(result.error.contains("frame 2\n"));
    }

    void failuresAreReported_data()
    {
        QTest::addColumn<QByteArray>("param");
        QTest::addColumn<QByteArray>("bin");
        QTest::addColumn<QString>("model");
        QTest::addColumn<QByteArray>("message");

        const QByteArray unknown = QByteArray(kParam).replace("PixelShuffle ps", "Crop ps");
        QTest::newRow("unknown layer type")
            << unknown << tinyBin() << QStringLiteral("tiny")
            << QByteArray("layer ps has the type Crop, which this engine does not run");
        QTest::newRow("truncated weights")
            << QByteArray(kParam) << tinyBin().left(100) << QStringLiteral("tiny")
            << QByteArray("the file ends before the weights of layer c1");
        QTest::newRow("weights of another model")
            << QByteArray(kParam) << tinyBin() + QByteArray(8, '\0') << QStringLiteral("tiny")
            << QByteArray("holds more data than the model's layers use");
        QTest::newRow("missing model")
            << QByteArray(kParam) << tinyBin() << QStringLiteral("absent")
            << QByteArray("absent.param: cannot be opened (missing or unreadable)");
        QTest::newRow("not a graph file")
            << QByteArray("hello\n") << tinyBin() << QStringLiteral("tiny")
            << QByteArray("is not a model graph file");
    }

    void failuresAreReported()
    {
        QFETCH(QByteArray, param);
        QFETCH(QByteArray, bin);
        QFETCH(QString, model);
        QFETCH(QByteArray, message);
        const QString folder = path(QStringLiteral("broken"));
        writeModel(folder, param, bin);
        const QString output = path(QStringLiteral("broken.png"));
        const Run result =
            run(engine(), {QStringLiteral("-i"), m_picture, QStringLiteral("-o"), output,
                           QStringLiteral("-n"), model, QStringLiteral("-m"), folder});
        QCOMPARE(result.status, 1);
        QVERIFY2(result.error.contains(message), result.error.constData());
        QVERIFY(result.error.startsWith("korvane-engine: "));
        QVERIFY(!QFile::exists(output));
    }

    void badRunsFail_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("message");
        const QStringList model{QStringLiteral("-n"), QStringLiteral("realesr-animevideov3"),
                                QStringLiteral("-m"), shippedModels()};
        QTest::newRow("missing picture")
            << (QStringList{QStringLiteral("-i"), QStringLiteral("/nonexistent/a.png"),
                            QStringLiteral("-o"), QStringLiteral("/tmp/x.png")} +
                model)
            << QByteArray() << QByteArray("does not exist");
        QTest::newRow("frame cut short")
            << (QStringList{QStringLiteral("--stream"), QStringLiteral("4x4")} + model)
            << QByteArray(20, '\x10') << QByteArray("the input ended in the middle of a frame");
        QTest::newRow("unknown option") << (QStringList{QStringLiteral("--fast")} + model)
                                        << QByteArray() << QByteArray("unknown option --fast");
    }

    void badRunsFail()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        QFETCH(QByteArray, message);
        const Run result = run(engine(), arguments, input);
        QCOMPARE(result.status, 1);
        QVERIFY2(result.error.contains(message), result.error.constData());
    }

    // The application's check of the installed tools starts it this way.
    void versionNeedsNoModel()
    {
        const Run result = run(engine(), {QStringLiteral("--version")});
        QCOMPARE(result.status, 0);
        QCOMPARE(result.output, QByteArray("korvane-engine " KORVANE_VERSION "\n"));
        QVERIFY(result.error.isEmpty());
    }

    void unreadablePictureInFolderFailsTheRun()
    {
        const QString in = path(QStringLiteral("frames in"));
        const QString out = path(QStringLiteral("frames out"));
        QVERIFY(QDir().mkpath(in));
        QVERIFY(QFile::copy(m_picture, in + QStringLiteral("/frame_00000001.png")));
        QVERIFY(KorvaneTest::writeFile(in + QStringLiteral("/frame_00000002.png"), "not a png"));
        const Run result = run(
            engine(), {QStringLiteral("-i"), in, QStringLiteral("-o"), out, QStringLiteral("-n"),
                       QStringLiteral("realesr-animevideov3"), QStringLiteral("-m"),
                       shippedModels(), QStringLiteral("-f"), QStringLiteral("png")});
        QCOMPARE(result.status, 1);
        QVERIFY2(result.error.contains("1 of 2 pictures failed"), result.error.constData());
        // The readable frame is still done.
        QCOMPARE(QImage(out + QStringLiteral("/frame_00000001.png")).size(), QSize(128, 72));
    }

    void matchesTheVulkanEngine_data() { addShippedModels(); }

    // Same picture through both engines (the Vulkan one in 32-bit floats through the
    // compatibility layer).
    void matchesTheVulkanEngine()
    {
        QFETCH(QString, model);
        QFETCH(int, modelScale);
        const QString tag = fileTag();
        const QStringList common = shippedModelArguments(m_picture, model, modelScale);
        const QString vulkanOut = path(tag + QStringLiteral("_vulkan.png"));
        const QString cpuOut = path(tag + QStringLiteral("_cpu.png"));
        const QString layers = QStringLiteral(KORVANE_TEST_RESOURCES_DIR "/vklayer");
        const Run vulkan =
            run(kStaging + QStringLiteral("/realesrgan/realesrgan-ncnn-vulkan"),
                common + QStringList{QStringLiteral("-o"), vulkanOut, QStringLiteral("-g"),
                                     QStringLiteral("0")},
                {},
                {{QStringLiteral("VK_ADD_LAYER_PATH"), layers},
                 {QStringLiteral("VK_INSTANCE_LAYERS"), QStringLiteral("VK_LAYER_KORVANE_fp32")}});
        QCOMPARE(vulkan.status, 0);
        const Run cpu = run(engine(), common + QStringList{QStringLiteral("-o"), cpuOut});
        QVERIFY2(cpu.status == 0, cpu.error.constData());

        const QImage reference(vulkanOut);
        const QImage ours(cpuOut);
        QCOMPARE(ours.size(), QSize(32 * modelScale, 18 * modelScale));
        QCOMPARE(reference.size(), ours.size());
        const double measured = picturePsnr(reference, ours);
        qInfo("%s: PSNR %.1f dB against the Vulkan engine", qPrintable(tag), measured);
        QVERIFY2(measured >= 40.0, qPrintable(QString::number(measured)));
    }

    void defaultPrecisionStaysCloseToFp32_data() { addShippedModels(); }

    // The default (bf16 where the processor has it) against 32-bit floats on the photograph.
    void defaultPrecisionStaysCloseToFp32()
    {
        QFETCH(QString, model);
        QFETCH(int, modelScale);
        const QString tag = fileTag();
        const QStringList common = shippedModelArguments(m_photograph, model, modelScale);
        const QString fp32Out = path(tag + QStringLiteral("_fp32.png"));
        const QString defaultOut = path(tag + QStringLiteral("_default.png"));
        const Run fp32 = run(engine(), common + QStringList{QStringLiteral("-o"), fp32Out,
                                                            QStringLiteral("--precision"),
                                                            QStringLiteral("fp32")});
        QVERIFY2(fp32.status == 0, fp32.error.constData());
        const Run chosen = run(engine(), common + QStringList{QStringLiteral("-o"), defaultOut});
        QVERIFY2(chosen.status == 0, chosen.error.constData());
        const QImage reference(fp32Out);
        QCOMPARE(QImage(defaultOut).size(), QSize(40 * modelScale, 28 * modelScale));
        const double measured = picturePsnr(reference, QImage(defaultOut));
        qInfo("%s: PSNR %.1f dB against fp32", qPrintable(tag), measured);
        QVERIFY2(measured >= 42.0, qPrintable(QString::number(measured)));
    }

    void precisionIsChosenByTheProcessor_data()
    {
        QTest::addColumn<QString>("maximumIsa");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("summary");
        QTest::newRow("this processor")
            << QString() << QStringList()
            << QByteArray(processorHasBFloat16() ? "bf16 (automatic: the processor has bf16)"
                                                 : "fp32 (automatic: the processor has no bf16)");
        // oneDNN limited to the instructions of a processor without bf16.
        QTest::newRow("no bf16") << QStringLiteral("AVX512_CORE_VNNI") << QStringList()
                                 << QByteArray("fp32 (automatic: the processor has no bf16)");
        QTest::newRow("no AVX-512") << QStringLiteral("AVX2") << QStringList()
                                    << QByteArray("fp32 (automatic: the processor has no bf16)");
        QTest::newRow("forced fp32")
            << QString() << QStringList{QStringLiteral("--precision"), QStringLiteral("fp32")}
            << QByteArray("fp32 (forced by --precision)");
    }

    void precisionIsChosenByTheProcessor()
    {
        QFETCH(QString, maximumIsa);
        QFETCH(QStringList, options);
        QFETCH(QByteArray, summary);
        QMap<QString, QString> environment;
        if (!maximumIsa.isEmpty())
            environment.insert(QStringLiteral("DNNL_MAX_CPU_ISA"), maximumIsa);
        const QString output = path(QStringLiteral("chosen.png"));
        const Run result =
            run(engine(),
                QStringList{QStringLiteral("-i"), m_picture, QStringLiteral("-o"), output,
                            QStringLiteral("-n"), QStringLiteral("realesr-animevideov3"),
                            QStringLiteral("-s"), QStringLiteral("2"), QStringLiteral("-z"),
                            QStringLiteral("2"), QStringLiteral("-m"), shippedModels()} +
                    options,
                {}, environment);
        QVERIFY2(result.status == 0, result.error.constData());
        const QByteArray expected = "korvane-engine: realesr-animevideov3 x2, " + summary;
        QVERIFY2(result.error.contains(expected), result.error.constData());
        QCOMPARE(QImage(output).size(), QSize(64, 36));
    }

    void tilesLeaveNoSeams_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("precision");
        QTest::newRow("Fast fp32")
            << QStringLiteral("realesr-animevideov3") << QStringLiteral("fp32");
        QTest::newRow("Detailed fp32")
            << QStringLiteral("realesr-general-x4v3") << QStringLiteral("fp32");
        QTest::newRow("Max fp32") << QStringLiteral("realesrgan-x4plus") << QStringLiteral("fp32");
        QTest::newRow("Fast default") << QStringLiteral("realesr-animevideov3") << QString();
        QTest::newRow("Detailed default") << QStringLiteral("realesr-general-x4v3") << QString();
        QTest::newRow("Max default") << QStringLiteral("realesrgan-x4plus") << QString();
    }

    // A picture wide enough that 16-pixel tiles with each model's overlap really cut it.
    void tilesLeaveNoSeams()
    {
        QFETCH(QString, model);
        QFETCH(QString, precision);
        const QString wide = path(QStringLiteral("wide.png"));
        if (!QFile::exists(wide))
            QCOMPARE(KorvaneTest::runFFmpeg(
                         {QStringLiteral("-y"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                          QStringLiteral("-i"), QStringLiteral("testsrc2=size=96x18:rate=1"),
                          QStringLiteral("-frames:v"), QStringLiteral("1"), wide}),
                     0);
        QStringList common{QStringLiteral("-i"), wide,
                           QStringLiteral("-n"), model,
                           QStringLiteral("-s"), QStringLiteral("4"),
                           QStringLiteral("-m"), shippedModels()};
        if (!precision.isEmpty())
            common += QStringList{QStringLiteral("--precision"), precision};
        const QString whole = path(QStringLiteral("whole.png"));
        const QString tiled = path(QStringLiteral("tiled.png"));
        QCOMPARE(run(engine(), common + QStringList{QStringLiteral("-o"), whole}).status, 0);
        QCOMPARE(run(engine(), common + QStringList{QStringLiteral("-o"), tiled,
                                                    QStringLiteral("-t"), QStringLiteral("16")})
                     .status,
                 0);
        QCOMPARE(QImage(tiled).size(), QSize(384, 72));
        const int largest = largestDifference(QImage(whole), QImage(tiled));
        if (!precision.isEmpty()) {
            // In floats every output pixel sees the same numbers whether tiled or not.
            QVERIFY2(largest <= 1, qPrintable(QString::number(largest)));
            return;
        }
        // In bf16 the rounding after each layer follows the tile's own sums, and the deep model
        // carries that noise to the output: a few units here and there, no seam.
        const double measured = picturePsnr(QImage(whole), QImage(tiled));
        qInfo("%s: largest difference %d, PSNR %.1f dB", QTest::currentDataTag(), largest,
              measured);
        QVERIFY2(largest <= 12 && measured >= 45.0, qPrintable(QString::number(measured)));
    }
};

KORVANE_TEST_MAIN(TestCpuEngine)
#include "tst_cpuengine.moc"
