// Renders an SVG picture into square PNG files, one per size: the build makes the application
// icon's fixed sizes for the desktop's icon theme from the one scalable drawing.
//   korvane-iconrender INPUT.svg OUTPUT_FOLDER SIZE...   writes OUTPUT_FOLDER/SIZExSIZE.png
#include <cstdio>

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 4) {
        std::fputs("usage: korvane-iconrender INPUT.svg OUTPUT_FOLDER SIZE...\n", stderr);
        return 2;
    }
    QSvgRenderer renderer(arguments.at(1));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(arguments.at(1)));
        return 1;
    }
    const QDir folder(arguments.at(2));
    if (!QDir().mkpath(folder.path()))
        return 1;
    for (const QString& text : arguments.mid(3)) {
        const int size = text.toInt();
        if (size <= 0 || size > 4096) {
            std::fprintf(stderr, "not a size: %s\n", qPrintable(text));
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        const QString path = folder.filePath(QStringLiteral("%1x%1.png").arg(size));
        if (!image.save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
