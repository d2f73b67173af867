#include <QImage>
#include <QTest>

#include "ui/compare/CompareSlots.h"

namespace {

QUrl mediaUrl(const QString& name)
{
    return QUrl::fromLocalFile(QStringLiteral("/media/") + name);
}

std::optional<QUuid> idOf(const CompareSlots& model, const QString& name)
{
    if (name == QLatin1String("-"))
        return std::nullopt;
    for (const CompareItem& item : model.items()) {
        if (item.fileName() == name)
            return item.id;
    }
    return QUuid();
}

// Plays a step such as "add a.png b.mp4", "tap a.png", "setB -", "remove a.png", "read a.png"
// (its picture arrives), "unreadable a.png" (it could not be decoded) or "reset".
void play(CompareSlots& model, const QString& step)
{
    QStringList words = step.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString verb = words.takeFirst();
    const QString name = words.value(0);
    if (verb == QLatin1String("add")) {
        QList<QUrl> urls;
        for (const QString& word : std::as_const(words))
            urls.append(mediaUrl(word));
        model.addFiles(urls);
    } else if (verb == QLatin1String("tap")) {
        model.assign(*idOf(model, name));
    } else if (verb == QLatin1String("setA") || verb == QLatin1String("setB")) {
        model.setSlot(verb.endsWith(QLatin1Char('A')) ? CompareSlot::A : CompareSlot::B,
                      idOf(model, name));
    } else if (verb == QLatin1String("remove")) {
        model.remove(*idOf(model, name));
    } else if (verb == QLatin1String("read") || verb == QLatin1String("unreadable")) {
        QImage image;
        if (verb == QLatin1String("read")) {
            image = QImage(4, 3, QImage::Format_RGB32);
            image.fill(Qt::red);
        }
        QVERIFY(model.setImage(*idOf(model, name), image));
    } else if (verb == QLatin1String("reset")) {
        model.reset();
    } else {
        QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
    }
}

QString nameIn(const std::optional<CompareItem>& item)
{
    return item ? item->fileName() : QStringLiteral("-");
}

// The strip as it reads: each item's name with its chip's badge, if any, in brackets.
QString stripText(const CompareSlots& model)
{
    QStringList chips;
    for (const CompareItem& item : model.items()) {
        const QString badge = model.badge(item.id);
        chips.append(badge.isEmpty()
                         ? item.fileName()
                         : item.fileName() + QLatin1Char('[') + badge + QLatin1Char(']'));
    }
    return chips.join(QLatin1Char(' '));
}

} // namespace

class TestCompareSlots final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void decidesVideosByType_data();
    void decidesVideosByType();
    void fillsAndEmptiesTheSlots_data();
    void fillsAndEmptiesTheSlots();
    void decidesWhatTheComparisonShows_data();
    void decidesWhatTheComparisonShows();
    void addingHandsBackTheItemsToRead();
};

void TestCompareSlots::decidesVideosByType_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("video");
    QTest::newRow("mp4") << QStringLiteral("clip.mp4") << true;
    QTest::newRow("upper-case MOV") << QStringLiteral("CLIP.MOV") << true;
    QTest::newRow("mkv") << QStringLiteral("clip.mkv") << true;
    QTest::newRow("webm") << QStringLiteral("clip.webm") << true;
    QTest::newRow("png") << QStringLiteral("photo.png") << false;
    QTest::newRow("jpeg") << QStringLiteral("photo.jpeg") << false;
    QTest::newRow("unknown extension") << QStringLiteral("notes.qqzz") << false;
    QTest::newRow("no extension") << QStringLiteral("README") << false;
}

void TestCompareSlots::decidesVideosByType()
{
    QFETCH(QString, name);
    QFETCH(bool, video);
    QCOMPARE(CompareSlots::isVideoURL(mediaUrl(name)), video);
}

void TestCompareSlots::fillsAndEmptiesTheSlots_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("slotA");
    QTest::addColumn<QString>("slotB");
    QTest::addColumn<bool>("nextIsA");
    QTest::addColumn<QString>("strip");
    QTest::addColumn<QString>("kind");

    const auto row = [](const char* name, const QStringList& steps, const char* a, const char* b,
                        bool nextIsA, const char* chips, const char* kind) {
        QTest::newRow(name) << steps << QString::fromUtf8(a) << QString::fromUtf8(b) << nextIsA
                            << QString::fromUtf8(chips) << QString::fromUtf8(kind);
    };
    row("nothing gathered", {}, "-", "-", true, "", "");
    row("an empty add", {QStringLiteral("add")}, "-", "-", true, "", "");
    row("one file fills only A", {QStringLiteral("add a.png")}, "a.png", "-", true, "a.png[A]",
        "Image");
    row("the first two fill A and B", {QStringLiteral("add a.png b.png c.png")}, "a.png", "b.png",
        true, "a.png[A] b.png[B] c.png", "Image");
    row("files already gathered are skipped",
        {QStringLiteral("add a.png b.png a.png"), QStringLiteral("add b.png c.png")}, "a.png",
        "b.png", true, "a.png[A] b.png[B] c.png", "Image");
    row("a later add fills the empty B", {QStringLiteral("add a.png"), QStringLiteral("add b.mp4")},
        "a.png", "b.mp4", true, "a.png[A] b.mp4[B]", "Mixed");
    row("two videos", {QStringLiteral("add x.mp4 y.mov")}, "x.mp4", "y.mov", true,
        "x.mp4[A] y.mov[B]", "Video");
    row("one video alone counts as video",
        {QStringLiteral("add x.mp4 a.png"), QStringLiteral("setB -")}, "x.mp4", "-", true,
        "x.mp4[A] a.png", "Video");
    row("only B filled", {QStringLiteral("add a.png b.png"), QStringLiteral("setA -")}, "-",
        "b.png", true, "a.png b.png[B]", "Image");
    row("taps fill the model in turn",
        {QStringLiteral("add a.png b.png c.png"), QStringLiteral("tap c.png")}, "c.png", "b.png",
        false, "a.png b.png[B] c.png[A]", "Image");
    row("the second tap fills B",
        {QStringLiteral("add a.png b.png c.png"), QStringLiteral("tap c.png"),
         QStringLiteral("tap a.png")},
        "c.png", "a.png", true, "a.png[B] b.png c.png[A]", "Image");
    row("the item in B tapped into A sits in both",
        {QStringLiteral("add a.png b.png"), QStringLiteral("tap b.png")}, "b.png", "b.png", false,
        "a.png b.png[A]", "Image");
    row("set as leaves the next slot alone",
        {QStringLiteral("add a.png b.png c.png"), QStringLiteral("tap c.png"),
         QStringLiteral("setA b.png")},
        "b.png", "b.png", false, "a.png b.png[A] c.png", "Image");
    row("clearing a slot keeps its item on the strip",
        {QStringLiteral("add a.png b.png"), QStringLiteral("setB -")}, "a.png", "-", true,
        "a.png[A] b.png", "Image");
    row("removing the item in A empties A",
        {QStringLiteral("add a.png b.png c.png"), QStringLiteral("remove a.png")}, "-", "b.png",
        true, "b.png[B] c.png", "Image");
    row("a later add fills the emptied A with the first item",
        {QStringLiteral("add a.png b.png c.png"), QStringLiteral("remove a.png"),
         QStringLiteral("add a.png")},
        "b.png", "b.png", true, "b.png[A] c.png a.png", "Image");
    row("removing an item in both model empties both",
        {QStringLiteral("add a.png b.png"), QStringLiteral("tap b.png"),
         QStringLiteral("remove b.png")},
        "-", "-", false, "a.png", "");
    row("removing an item in no slot leaves the model",
        {QStringLiteral("add a.png b.png c.png"), QStringLiteral("remove c.png")}, "a.png", "b.png",
        true, "a.png[A] b.png[B]", "Image");
    row("reset empties everything and makes A next",
        {QStringLiteral("add a.png b.mp4"), QStringLiteral("tap b.mp4"), QStringLiteral("reset")},
        "-", "-", true, "", "");
    row("files gathered after a reset start over",
        {QStringLiteral("add a.png b.png"), QStringLiteral("reset"), QStringLiteral("add c.mp4")},
        "c.mp4", "-", true, "c.mp4[A]", "Video");
}

void TestCompareSlots::fillsAndEmptiesTheSlots()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, slotA);
    QFETCH(QString, slotB);
    QFETCH(bool, nextIsA);
    QFETCH(QString, strip);
    QFETCH(QString, kind);

    CompareSlots model;
    for (const QString& step : std::as_const(steps))
        play(model, step);
    QCOMPARE(nameIn(model.itemA()), slotA);
    QCOMPARE(nameIn(model.itemB()), slotB);
    QCOMPARE(model.slotA().has_value(), slotA != QLatin1String("-"));
    QCOMPARE(model.slotB().has_value(), slotB != QLatin1String("-"));
    QCOMPARE(model.nextSlotIsA(), nextIsA);
    QCOMPARE(model.assignToolTip(), nextIsA ? QStringLiteral("Tap to assign to slot A")
                                            : QStringLiteral("Tap to assign to slot B"));
    QCOMPARE(stripText(model), strip);
    QCOMPARE(model.detectedKind(), kind);
}

void TestCompareSlots::decidesWhatTheComparisonShows_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("sliderMode");
    QTest::addColumn<CompareSlots::Area>("area");
    QTest::addColumn<QString>("icon");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("subtitle");

    using Area = CompareSlots::Area;
    const QString choose = QStringLiteral("Choose two items to compare");
    const QString chooseWhy =
        QStringLiteral("Add videos or images, then tap any two in the strip to compare them.");
    const QString split = QStringLiteral("rectangle.split.2x1");
    const QString warning = QStringLiteral("exclamationmark.triangle");
    const QString cantShow = QStringLiteral("Can't show this image");
    const auto cantShowWhy = [](const char* name) {
        return QStringLiteral("“%1” could not be read as an image. Pick another image to compare.")
            .arg(QLatin1String(name));
    };
    const QStringList twoImages{QStringLiteral("add a.png b.png")};
    const QStringList bothRead =
        twoImages + QStringList{QStringLiteral("read a.png"), QStringLiteral("read b.png")};

    QTest::newRow("nothing") << QStringList() << true << Area::Placeholder << split << choose
                             << chooseWhy;
    QTest::newRow("one image") << QStringList{QStringLiteral("add a.png"),
                                              QStringLiteral("read a.png")}
                               << true << Area::Placeholder << split << choose << chooseWhy;
    QTest::newRow("two images still reading")
        << twoImages << true << Area::ReadingImages << QString() << QString() << QString();
    QTest::newRow("one of two read")
        << (twoImages + QStringList{QStringLiteral("read b.png")}) << true << Area::ReadingImages
        << QString() << QString() << QString();
    QTest::newRow("one unreadable, the other still reading")
        << (twoImages + QStringList{QStringLiteral("unreadable a.png")}) << true
        << Area::ReadingImages << QString() << QString() << QString();
    QTest::newRow("two images, slider")
        << bothRead << true << Area::ImageWipe << QString() << QString() << QString();
    QTest::newRow("two images, side by side")
        << bothRead << false << Area::ImagesSideBySide << QString() << QString() << QString();
    QTest::newRow("one image in both model")
        << (bothRead + QStringList{QStringLiteral("setB a.png")}) << true << Area::ImageWipe
        << QString() << QString() << QString();
    QTest::newRow("B unreadable") << (twoImages + QStringList{QStringLiteral("read a.png"),
                                                              QStringLiteral("unreadable b.png")})
                                  << true << Area::Placeholder << warning << cantShow
                                  << cantShowWhy("b.png");
    QTest::newRow("both unreadable name A")
        << (twoImages +
            QStringList{QStringLiteral("unreadable a.png"), QStringLiteral("unreadable b.png")})
        << false << Area::Placeholder << warning << cantShow << cantShowWhy("a.png");
    QTest::newRow("two videos") << QStringList{QStringLiteral("add x.mp4 y.mkv")} << false
                                << Area::Videos << QString() << QString() << QString();
    QTest::newRow("video and image")
        << QStringList{QStringLiteral("add x.mp4 a.png"), QStringLiteral("read a.png")} << true
        << Area::Placeholder << warning << QStringLiteral("Pick two items of the same type")
        << QStringLiteral("Compare two videos or two images — not one of each.");
    QTest::newRow("a slot emptied") << (bothRead + QStringList{QStringLiteral("setA -")}) << true
                                    << Area::Placeholder << split << choose << chooseWhy;
}

void TestCompareSlots::decidesWhatTheComparisonShows()
{
    QFETCH(QStringList, steps);
    QFETCH(bool, sliderMode);
    QFETCH(CompareSlots::Area, area);
    QFETCH(QString, icon);
    QFETCH(QString, title);
    QFETCH(QString, subtitle);

    CompareSlots model;
    for (const QString& step : std::as_const(steps))
        play(model, step);
    const CompareSlots::Comparison comparison = model.comparison(sliderMode);
    QCOMPARE(comparison.area, area);
    QCOMPARE(comparison.icon, icon);
    QCOMPARE(comparison.title, title);
    QCOMPARE(comparison.subtitle, subtitle);
}

void TestCompareSlots::addingHandsBackTheItemsToRead()
{
    CompareSlots model;
    const QList<CompareItem> added =
        model.addFiles({mediaUrl(QStringLiteral("a.png")), mediaUrl(QStringLiteral("x.mp4"))});
    QCOMPARE(added.size(), 2);
    QCOMPARE(added, model.items());
    QVERIFY(added.at(0).id != added.at(1).id);
    // An image is still to be read; a video is not read at all.
    QVERIFY(!added.at(0).isVideo && !added.at(0).decoded);
    QVERIFY(added.at(1).isVideo && added.at(1).decoded);

    // Files already gathered are not handed back again.
    QVERIFY(model.addFiles({mediaUrl(QStringLiteral("a.png"))}).isEmpty());

    // A picture that arrives after its item was removed is dropped.
    const QUuid id = added.at(0).id;
    model.remove(id);
    QImage late(2, 2, QImage::Format_RGB32);
    late.fill(Qt::blue);
    QVERIFY(!model.setImage(id, late));
    QCOMPARE(model.items().size(), 1);
    QVERIFY(!model.itemFor(id));
}

QTEST_GUILESS_MAIN(TestCompareSlots)
#include "tst_compareslots.moc"
