// The development account and update server: run it, point Korvane at it with KORVANE_API_BASE and
// KORVANE_UPDATE_URL, and sign in through the browser without a real account server.
#include <cstdio>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonObject>

#include "DevServer.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korvane-devserver"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Local account and update server for trying Korvane's sign-in and updates."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Port on 127.0.0.1 (default 8765)."),
                                        QStringLiteral("port"), QStringLiteral("8765"));
    const QCommandLineOption versionOption(
        QStringLiteral("publish-version"),
        QStringLiteral("Version the update manifest announces (default 99.0)."),
        QStringLiteral("version"), QStringLiteral("99.0"));
    parser.addOption(portOption);
    parser.addOption(versionOption);
    parser.process(app);

    DevServer server;
    bool ok = false;
    const auto port = static_cast<quint16>(parser.value(portOption).toUInt(&ok));
    if (!ok || server.listen(port) == 0) {
        std::fprintf(stderr, "korvane-devserver: cannot listen on 127.0.0.1:%s\n",
                     qPrintable(parser.value(portOption)));
        return 1;
    }
    server.addDownload(QStringLiteral("Korvane.AppImage"),
                       QByteArray("#!/bin/sh\necho 'Korvane development installer'\n"));
    // The manifest publishes the installer's checksum, so the download is verified and opened.
    QJsonObject manifest = server.defaultManifest();
    manifest.insert(QStringLiteral("version"), parser.value(versionOption));
    server.setManifest(manifest);
    QObject::connect(&server, &DevServer::requestReceived, &server, [](const QString& path) {
        std::printf("GET %s\n", qPrintable(path));
        std::fflush(stdout);
    });

    const QString base = server.baseUrl();
    std::printf("Korvane development server at %s\n"
                "  KORVANE_API_BASE=%s KORVANE_UPDATE_URL=%s/apps/korvane.json build/korvane\n"
                "  Sign-in hands out the token \"dev-token\".\n",
                qPrintable(base), qPrintable(base), qPrintable(base));
    std::fflush(stdout);
    return QCoreApplication::exec();
}
