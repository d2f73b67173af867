#include "ScreenSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QWidget>

#include "ui/components/Theme.h"

namespace ScreenSupport {

void settle(int milliseconds)
{
    settleUntil([] { return false; }, milliseconds);
}

bool settleUntil(const std::function<bool()>& done, int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    QApplication::processEvents();
    return done();
}

void fillAppBackground(QWidget& widget)
{
    QPalette background = widget.palette();
    background.setColor(QPalette::Window, Theme::appBG());
    widget.setPalette(background);
    widget.setAutoFillBackground(true);
}

bool save(QWidget& widget, const QDir& out, const QString& name, int settleMilliseconds)
{
    settle(settleMilliseconds);
    return widget.grab().save(out.filePath(name));
}

bool save(QWidget& widget, const QSize& size, const QDir& out, const QString& name,
          int settleMilliseconds)
{
    widget.resize(size);
    widget.show();
    return save(widget, out, name, settleMilliseconds);
}

bool saveOnAppBackground(QWidget& widget, const QSize& size, const QDir& out, const QString& name)
{
    fillAppBackground(widget);
    return save(widget, size, out, name);
}

QImage scenePicture(const Scene& scene, bool sharp)
{
    QImage image(scene.size, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, scene.size.height());
    sky.setColorAt(0, scene.top);
    sky.setColorAt(1, scene.bottom);
    painter.fillRect(image.rect(), sky);
    painter.setPen(QPen(QColor(255, 255, 255, scene.ringAlpha), 1.5));
    for (int i = 0; i < scene.rings; ++i)
        painter.drawEllipse(scene.ringCentre, 40 + i * scene.ringStep.width(),
                            30 + i * scene.ringStep.height());
    if (!scene.title.isEmpty()) {
        painter.setPen(Qt::white);
        painter.setFont(Theme::font(42, QFont::Bold));
        painter.drawText(image.rect(), Qt::AlignCenter, scene.title);
    }
    painter.end();
    if (sharp)
        return image;
    return image.scaled(scene.size / 4, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .scaled(scene.size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

QString makeClip(const QDir& dir, const QString& name, const QString& source,
                 const QStringList& outputArguments)
{
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty())
        return {};
    const QString path = dir.filePath(name);
    QProcess process;
    process.start(ffmpeg,
                  QStringList{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                              QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                              QStringLiteral("lavfi"), QStringLiteral("-i"), source} +
                      outputArguments +
                      QStringList{QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"), path});
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return {};
    return path;
}

} // namespace ScreenSupport
