// The window program, started by the korvane command (see WindowLauncher).
#include <cstdio>

#include <QApplication>

#include "app/DesktopIntegration.h"
#include "app/KorvaneApp.h"
#include "app/QuitGuard.h"
#include "app/SingleInstance.h"
#include "app/UrlHandoff.h"

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Korvane"));
    QApplication::setApplicationName(QStringLiteral("Korvane"));
    QApplication::setApplicationVersion(QStringLiteral(KORVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("korvane"));

    // A sign-in callback carries a token: it leaves the command line, which every local user can
    // read, as soon as it has been taken.
    const QList<QUrl> urls = UrlHandoff::urlsFromArguments(QApplication::arguments().mid(1));
    UrlHandoff::scrubArguments(argc, argv);

    // Decided before any window exists: a later launch hands its URLs to the running Korvane
    // and ends.
    SingleInstance instance;
    switch (instance.claim(urls)) {
    case SingleInstance::Role::HandedOver:
        return 0;
    case SingleInstance::Role::Unreachable:
        std::fputs("korvane: Korvane is already running but does not answer.\n", stderr);
        return 1;
    case SingleInstance::Role::Running:
        break;
    }

    KorvaneApp app;
    QObject::connect(&instance, &SingleInstance::activated, &app, &KorvaneApp::bringToFront);
    DesktopIntegration::registerUrlScheme(DesktopIntegration::launcherPath());
    app.quitGuard().handleTermination();
    app.start();
    UrlHandoff::deliver(urls);
    return QApplication::exec();
}
