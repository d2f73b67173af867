// Renders every screen in representative states to PNG files for a person to look at.
// Usage: screens <output folder>
#include <memory>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
#include <QWidget>

#include "AccountScreens.h"
#include "BatchScreens.h"
#include "CompareScreens.h"
#include "HomeScreens.h"
#include "ImageScreens.h"
#include "NowBarScreens.h"
#include "ScreenSupport.h"
#include "SettingsScreens.h"
#include "VideoScreens.h"
#include "app/SetupModel.h"
#include "app/SetupView.h"
#include "ui/components/BeforeAfterSlider.h"
#include "ui/components/FieldLabel.h"
#include "ui/components/GlassCard.h"
#include "ui/components/Icons.h"
#include "ui/components/PlayerView.h"
#include "ui/components/Segmented.h"
#include "ui/components/StatusTag.h"
#include "ui/components/Theme.h"
#include "ui/components/ZoomableImageView.h"

namespace {
using ScreenSupport::save;

// Every icon of the set, as the screens name them.
QStringList iconNames()
{
    QStringList names = QDir(QStringLiteral(":/icons")).entryList({QStringLiteral("*.svg")});
    for (QString& name : names)
        name.chop(4);
    return names;
}

// A test picture with fine detail: sharp, or a blocky low-resolution copy of it.
QImage samplePicture(bool sharp)
{
    ScreenSupport::Scene scene;
    scene.rings = 40;
    scene.ringCentre = QPointF(320, 420);
    scene.ringStep = QSizeF(9, 7);
    scene.title = QStringLiteral("Korvane");
    return ScreenSupport::scenePicture(scene, sharp);
}

// One sheet showing each shared control.
QWidget* componentsSheet()
{
    auto* sheet = new QWidget;
    ScreenSupport::fillAppBackground(*sheet);
    auto* grid = new QGridLayout(sheet);
    grid->setContentsMargins(24, 24, 24, 24);
    grid->setSpacing(24);

    auto* controls = new GlassCard(18, sheet);
    auto* column = new QVBoxLayout(controls);
    column->setContentsMargins(18, 18, 18, 18);
    column->setSpacing(8);
    column->addWidget(new FieldLabel(QStringLiteral("Resolution"), controls));
    column->addWidget(new Segmented(
        Segmented::optionsOf<int>({{QStringLiteral("1080p"), 1080}, {QStringLiteral("4K"), 2160}}),
        2160, controls));
    column->addWidget(new FieldLabel(QStringLiteral("AI quality"), controls));
    column->addWidget(new Segmented(
        Segmented::optionsOf<QString>({{QStringLiteral("Fast"), QStringLiteral("fast")},
                                       {QStringLiteral("Detailed"), QStringLiteral("detailed")},
                                       {QStringLiteral("Max"), QStringLiteral("max")}}),
        QStringLiteral("fast"), controls));
    column->addWidget(new FieldLabel(QStringLiteral("No option selected"), controls));
    column->addWidget(new Segmented(
        Segmented::optionsOf<int>(
            {{QStringLiteral("2×"), 2}, {QStringLiteral("3×"), 3}, {QStringLiteral("4×"), 4}}),
        5, controls));
    auto* tags = new QHBoxLayout;
    tags->addWidget(new StatusTag(true, controls));
    tags->addWidget(new StatusTag(false, controls));
    tags->addStretch(1);
    column->addLayout(tags);
    column->addStretch(1);
    grid->addWidget(controls, 0, 0);

    auto* slider = new BeforeAfterSlider(samplePicture(false), samplePicture(true), sheet);
    slider->setFrac(0.42);
    grid->addWidget(slider, 0, 1);

    auto* player = new GlassCard(12, sheet);
    auto* playerColumn = new QVBoxLayout(player);
    playerColumn->setContentsMargins(8, 8, 8, 8);
    playerColumn->addWidget(new PlayerView(nullptr, true, player));
    grid->addWidget(player, 1, 0);

    auto* icons = new GlassCard(14, sheet);
    auto* iconGrid = new QGridLayout(icons);
    iconGrid->setContentsMargins(14, 14, 14, 14);
    iconGrid->setSpacing(10);
    const QStringList names = iconNames();
    for (int i = 0; i < names.size(); ++i) {
        auto* label = new QLabel(icons);
        label->setPixmap(Icons::icon(names.at(i)).pixmap(QSize(22, 22)));
        label->setToolTip(names.at(i));
        iconGrid->addWidget(label, i / 12, i % 12);
    }
    grid->addWidget(icons, 1, 1);
    grid->setColumnStretch(1, 1);
    return sheet;
}

// The icons at twice the resolution, named, with a gradient-filled row, to check sharpness.
bool renderIconSheet(const QString& path)
{
    const QStringList names = iconNames();
    const int columns = 4;
    const QSize cell(260, 44);
    const int rows = static_cast<int>((names.size() + columns - 1) / columns) + 1;
    QImage image(QSize(columns * cell.width(), rows * cell.height()) * 2,
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Theme::appBG());
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(Theme::font(12));
    for (int i = 0; i < names.size(); ++i) {
        const QPointF origin((i % columns) * cell.width() + 10, (i / columns) * cell.height() + 10);
        painter.drawPixmap(origin, Icons::pixmap(names.at(i), QSize(24, 24), 2.0));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(origin + QPointF(34, 0), QSizeF(cell.width() - 44, 24)),
                         Qt::AlignVCenter, names.at(i));
    }
    const qreal y = (rows - 1) * cell.height() + 10;
    const QStringList accents = {QStringLiteral("sparkles"), QStringLiteral("bolt.fill"),
                                 QStringLiteral("dollarsign.circle.fill"),
                                 QStringLiteral("photo.artframe")};
    for (int i = 0; i < accents.size(); ++i) {
        const QRectF rect(10 + i * 40, y, 28, 28);
        Icons::paint(painter, rect, accents.at(i), Theme::appAccentGradient(rect));
    }
    painter.end();
    return image.save(path);
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Fixture data only: a private settings and data folder, and no server reachable.
    QTemporaryDir scratch;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(scratch.filePath(QStringLiteral("data"))));
    qputenv("KORVANE_API_BASE", "http://127.0.0.1:9");
    if (qEnvironmentVariableIsEmpty("KORVANE_RESOURCES"))
        qputenv("KORVANE_RESOURCES", KORVANE_BUILD_RESOURCES); // the sample pictures
    qputenv("KORVANE_UPDATE_URL", "http://127.0.0.1:9/apps/korvane.json");
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 2) {
        qWarning("usage: screens <output folder>");
        return 2;
    }
    const QDir out(arguments.at(1));
    if (!QDir().mkpath(out.path())) {
        qWarning("cannot create the output folder");
        return 1;
    }
    bool ok = true;
    const SetupModel setupModel;
    SetupView setup(setupModel);
    ok &= save(setup, QSize(1100, 720), out, QStringLiteral("setup.png"), 0);
    std::unique_ptr<QWidget> components(componentsSheet());
    ok &= save(*components, QSize(1100, 720), out, QStringLiteral("components.png"), 0);
    ok &= renderIconSheet(out.filePath(QStringLiteral("icons@2x.png")));
    QImage zoomPicture = samplePicture(true);
    ZoomableImageView zoom(ZoomItem{QUuid::createUuid(), zoomPicture, QStringLiteral("Upscaled")});
    ok &= save(zoom, zoom.sizeHint(), out, QStringLiteral("zoom.png"), 0);
    zoom.zoomTo(2.5);
    ok &= save(zoom, zoom.sizeHint(), out, QStringLiteral("zoom-2.5x.png"), 0);
    ok &= renderNowBarScreens(out);
    ok &= renderAccountScreens(out);
    ok &= renderHomeScreens(out);
    ok &= renderVideoScreens(out);
    ok &= renderCompareScreens(out);
    ok &= renderImageScreens(out);
    ok &= renderBatchScreens(out);
    ok &= renderSettingsScreens(out);
    return ok ? 0 : 1;
}
