#include "app/DesktopIntegration.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QtConcurrent>

#include "engine/Resources.h"

namespace DesktopIntegration {

namespace {
// Quotes an argument of the Exec key: reserved characters get a backslash inside double quotes,
// then backslashes are doubled once more for the file's own string escaping.
QString quotedExec(const QString& executable)
{
    QString escaped;
    for (const QChar c : executable) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    escaped.replace(QLatin1Char('%'), QStringLiteral("%%"));
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

const QByteArray generatedMark = "X-Korvane-Generated=true";

QByteArray execLine(const QString& executable)
{
    return "Exec=" + quotedExec(executable).toUtf8() + " %u";
}

bool writeEntry(const QString& path, const QString& executable)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(desktopEntry(executable));
    return file.commit();
}

void installIcon()
{
    const QString target = iconFilePath();
    const QString source = Resources::folder() + QStringLiteral("/korvane.svg");
    if (QFileInfo::exists(target) || !QFileInfo::exists(source))
        return;
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile::copy(source, target);
}
} // namespace

QString desktopFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation) +
           QStringLiteral("/korvane.desktop");
}

QString iconFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/icons/hicolor/scalable/apps/korvane.svg");
}

QString launcherPath()
{
    // The window program is started by the korvane command, which URLs must reach.
    for (const char* variable : {"APPIMAGE", "KORVANE_LAUNCHER"}) {
        const QString path = qEnvironmentVariable(variable);
        if (!path.isEmpty())
            return path;
    }
    return QCoreApplication::applicationFilePath();
}

bool needsRewrite(const QByteArray& existing, const QString& executable)
{
    const QList<QByteArray> lines = existing.split('\n');
    if (!lines.contains(generatedMark))
        return false;
    for (const QByteArray& line : lines) {
        if (line.startsWith("Exec="))
            return line != execLine(executable);
    }
    return true;
}

QByteArray desktopEntry(const QString& executable)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Korvane\n"
           "Comment=Upscale videos and images on your computer\n" +
           execLine(executable) +
           "\n"
           "Icon=korvane\n"
           "Terminal=false\n"
           "Categories=AudioVideo;Video;Graphics;\n"
           "MimeType=x-scheme-handler/korvane;\n" +
           generatedMark + '\n';
}

QFuture<void> registerUrlScheme(const QString& executable)
{
    return QtConcurrent::run([executable] {
        installIcon();
        const QString path = desktopFilePath();
        QFile existing(path);
        if (existing.exists()) {
            // Korvane's own entry follows the program when it moved (a new AppImage, say).
            if (existing.open(QIODevice::ReadOnly) &&
                needsRewrite(existing.read(64 * 1024), executable))
                writeEntry(path, executable);
            return;
        }
        // An installed package's entry already registers the handler.
        if (!QStandardPaths::locate(QStandardPaths::ApplicationsLocation,
                                    QStringLiteral("korvane.desktop"))
                 .isEmpty())
            return;
        if (!writeEntry(path, executable))
            return;
        const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
        if (!xdgMime.isEmpty())
            QProcess::startDetached(xdgMime,
                                    {QStringLiteral("default"), QStringLiteral("korvane.desktop"),
                                     QStringLiteral("x-scheme-handler/korvane")});
    });
}

} // namespace DesktopIntegration
