#include "app/DesktopIntegration.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QtConcurrent>

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
} // namespace

QString desktopFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation) +
           QStringLiteral("/korvane.desktop");
}

QByteArray desktopEntry(const QString& executable)
{
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=Korvane\n"
                                        "Comment=Upscale videos and images on your computer\n"
                                        "Exec=") +
                         quotedExec(executable) +
                         QStringLiteral(" %u\n"
                                        "Icon=korvane\n"
                                        "Terminal=false\n"
                                        "Categories=AudioVideo;Video;Graphics;\n"
                                        "MimeType=x-scheme-handler/korvane;\n");
    return text.toUtf8();
}

QFuture<void> registerUrlScheme(const QString& executable)
{
    return QtConcurrent::run([executable] {
        const QString path = desktopFilePath();
        if (QFileInfo::exists(path))
            return;
        // An installed package's entry already registers the handler.
        if (!QStandardPaths::locate(QStandardPaths::ApplicationsLocation,
                                    QStringLiteral("korvane.desktop"))
                 .isEmpty())
            return;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write(desktopEntry(executable));
        if (!file.commit())
            return;
        const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
        if (!xdgMime.isEmpty())
            QProcess::startDetached(xdgMime,
                                    {QStringLiteral("default"), QStringLiteral("korvane.desktop"),
                                     QStringLiteral("x-scheme-handler/korvane")});
    });
}

} // namespace DesktopIntegration
