#include <QApplication>

#include "app/KorvaneApp.h"
#include "app/UrlHandoff.h"

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Korvane"));
    QApplication::setApplicationName(QStringLiteral("Korvane"));
    QApplication::setApplicationVersion(QStringLiteral(KORVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("korvane"));

    KorvaneApp app;
    app.start();
    UrlHandoff::deliver(UrlHandoff::urlsFromArguments(QApplication::arguments().mid(1)));
    return QApplication::exec();
}
