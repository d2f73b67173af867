#pragma once

#include <functional>

#include <QColor>
#include <QDir>
#include <QImage>
#include <QPointF>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <QStringList>

class QWidget;

// What the screen renders share: letting the event loop run, saving pictures of widgets, and
// making sample pictures and clips.
namespace ScreenSupport {

// Runs the event loop for the given time, so timers, animations and background reads land.
void settle(int milliseconds = 300);
// Runs the event loop until done() holds or the time is up; says whether done() holds.
bool settleUntil(const std::function<bool()>& done, int milliseconds = 8000);

// Paints the widget's background in the application's background colour.
void fillAppBackground(QWidget& widget);
// Lets the widget settle for the given time, then saves a picture of it as `name` in `out`.
bool save(QWidget& widget, const QDir& out, const QString& name, int settleMilliseconds = 300);
// Shows the widget at `size` first.
bool save(QWidget& widget, const QSize& size, const QDir& out, const QString& name,
          int settleMilliseconds = 300);
// The same on the application's background colour.
bool saveOnAppBackground(QWidget& widget, const QSize& size, const QDir& out, const QString& name);

// A scene with fine detail: a sky gradient crossed by thin rings, with an optional title.
struct Scene {
    QSize size{640, 400};
    QColor top{40, 70, 140};
    QColor bottom{240, 170, 110};
    int rings = 36;
    QPointF ringCentre{320, 430};
    QSizeF ringStep{10, 8};
    int ringAlpha = 200;
    QString title;
};
// The scene, sharp or as a blocky copy at a quarter of its resolution.
QImage scenePicture(const Scene& scene, bool sharp);

// Makes a clip in `dir` from an ffmpeg lavfi source with the system's ffmpeg; outputArguments
// come before the file name. Returns the clip's path, empty when it cannot be made.
QString makeClip(const QDir& dir, const QString& name, const QString& source,
                 const QStringList& outputArguments = {});

} // namespace ScreenSupport
