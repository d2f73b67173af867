#include <QApplication>

#include "app/CliMain.h"
#include "app/CommandLine.h"
#include "app/DesktopIntegration.h"
#include "app/KorvaneApp.h"
#include "app/SingleInstance.h"
#include "app/UrlHandoff.h"

int main(int argc, char** argv)
{
    // `korvane upscale …` and `korvane --version` run without the window (and without a display).
    if (argc > 1 && CommandLine::isCommand({QString::fromLocal8Bit(argv[1])}))
        return CliMain::run(argc, argv);

    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Korvane"));
    QApplication::setApplicationName(QStringLiteral("Korvane"));
    QApplication::setApplicationVersion(QStringLiteral(KORVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("korvane"));

    // A second launch hands its URLs to the running Korvane and ends.
    const QList<QUrl> urls = UrlHandoff::urlsFromArguments(QApplication::arguments().mid(1));
    SingleInstance instance;
    if (instance.handToRunning(urls))
        return 0;

    KorvaneApp app;
    instance.listen();
    QObject::connect(&instance, &SingleInstance::activated, &app, &KorvaneApp::bringToFront);
    DesktopIntegration::registerUrlScheme(QApplication::applicationFilePath());
    app.start();
    UrlHandoff::deliver(urls);
    return QApplication::exec();
}
