#include "ui/components/FilePicker.h"

#include <QImageReader>

#include "ui/components/DesktopFilePicker.h"

namespace {
QString videoPatterns()
{
    return QStringLiteral("*.mp4 *.m4v *.mov *.qt *.mkv *.webm *.avi *.mpg *.mpeg *.m2ts *.mts "
                          "*.ts *.wmv *.flv *.3gp");
}

QString imagePatterns()
{
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns.append(QStringLiteral("*.") + QString::fromLatin1(format));
    for (const QString& extra : {QStringLiteral("*.heic"), QStringLiteral("*.heif")}) {
        if (!patterns.contains(extra))
            patterns.append(extra);
    }
    return patterns.join(QLatin1Char(' '));
}

QString allFiles()
{
    return QStringLiteral("All files (*)");
}
} // namespace

QStringList FilePicker::videoFilters()
{
    return {QStringLiteral("Videos (") + videoPatterns() + QLatin1Char(')'), allFiles()};
}

QStringList FilePicker::imageFilters()
{
    return {QStringLiteral("Images (") + imagePatterns() + QLatin1Char(')'), allFiles()};
}

QStringList FilePicker::mediaFilters()
{
    return {QStringLiteral("Videos and images (") + videoPatterns() + QLatin1Char(' ') +
                imagePatterns() + QLatin1Char(')'),
            allFiles()};
}

DesktopFilePicker& FilePicker::desktop()
{
    static DesktopFilePicker picker;
    return picker;
}

FilePicker& FilePicker::current()
{
    return s_current ? *s_current : desktop();
}

void FilePicker::setCurrent(FilePicker* picker)
{
    s_current = picker;
}
