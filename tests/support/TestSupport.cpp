#include "support/TestSupport.h"

#include <cstdlib>

#include <sys/stat.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QSysInfo>

namespace KorvaneTest {

namespace {
QString g_root;

void setVariable(const char* name, const QString& value)
{
    qputenv(name, QFile::encodeName(value));
}
} // namespace

void isolateEnvironment()
{
    QByteArray base = qgetenv("TMPDIR");
    if (base.isEmpty())
        base = "/tmp";
    QByteArray pattern = base + "/korvane-test-XXXXXX";
    char* made = ::mkdtemp(pattern.data());
    if (!made)
        qFatal("Could not create a private test folder under %s", base.constData());
    g_root = QFile::decodeName(made);
    for (const char* sub : {"data", "config", "cache", "tmp", "runtime"})
        QDir().mkpath(g_root + QLatin1Char('/') + QLatin1String(sub));
    setVariable("XDG_DATA_HOME", g_root + QStringLiteral("/data"));
    setVariable("XDG_CONFIG_HOME", g_root + QStringLiteral("/config"));
    // GStreamer keeps its plugin registry in the cache folder. Every test process would rebuild
    // it from scratch in the private one below, and under parallel load that rebuild makes the
    // players time out; keep using the registry of the real cache folder.
    if (qEnvironmentVariableIsEmpty("GST_REGISTRY_1_0")) {
        QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
        if (cache.isEmpty())
            cache = QDir::homePath() + QStringLiteral("/.cache");
        setVariable("GST_REGISTRY_1_0", cache + QStringLiteral("/gstreamer-1.0/registry.%1.bin")
                                            .arg(QSysInfo::currentCpuArchitecture()));
    }
    // The work folder lives here.
    setVariable("XDG_CACHE_HOME", g_root + QStringLiteral("/cache"));
    setVariable("TMPDIR", g_root + QStringLiteral("/tmp"));
    // The single-instance socket lives here: a test never reaches a Korvane the developer runs.
    setVariable("XDG_RUNTIME_DIR", g_root + QStringLiteral("/runtime"));
    QFile::setPermissions(g_root + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // The build's resources (tools archive, compatibility layer); tests of a missing archive
    // point this elsewhere themselves.
    if (qEnvironmentVariableIsEmpty("KORVANE_RESOURCES"))
        setVariable("KORVANE_RESOURCES", QStringLiteral(KORVANE_TEST_RESOURCES_DIR));
    // No test reaches a real server: unless a test starts its own, the addresses refuse at once.
    if (qEnvironmentVariableIsEmpty("KORVANE_API_BASE"))
        qputenv("KORVANE_API_BASE", "http://127.0.0.1:9");
    if (qEnvironmentVariableIsEmpty("KORVANE_UPDATE_URL"))
        qputenv("KORVANE_UPDATE_URL", "http://127.0.0.1:9/apps/korvane.json");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The private root is removed when the test process ends.
    std::atexit([] {
        if (!qEnvironmentVariableIsSet("KORVANE_KEEP_TEST_FILES"))
            QDir(g_root).removeRecursively();
    });
}

QString isolatedRoot()
{
    return g_root;
}

void installStagedTools()
{
    const QString staging = QStringLiteral(KORVANE_TEST_TOOLS_STAGING);
    const QString tools = g_root + QStringLiteral("/data/Korvane");
    QDir().mkpath(tools + QStringLiteral("/realesrgan/models"));
    QFile::remove(tools + QStringLiteral("/ffmpeg"));
    QFile::copy(staging + QStringLiteral("/ffmpeg"), tools + QStringLiteral("/ffmpeg"));
    QFile::setPermissions(tools + QStringLiteral("/ffmpeg"),
                          QFile::permissions(staging + QStringLiteral("/ffmpeg")));
    const QString engine = QStringLiteral("/realesrgan/realesrgan-ncnn-vulkan");
    QFile::remove(tools + engine);
    QFile::link(staging + engine, tools + engine);
    const QDir models(staging + QStringLiteral("/realesrgan/models"));
    for (const QString& name : models.entryList(QDir::Files)) {
        const QString target = tools + QStringLiteral("/realesrgan/models/") + name;
        QFile::remove(target);
        QFile::link(models.filePath(name), target);
    }
}

void writeFakeTool(const QString& path, const QByteArray& shellBody)
{
    QFile::remove(path);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("Could not write a fake tool");
    file.write("#!/bin/sh\n" + shellBody + '\n');
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray turnedJpeg(int width, int height)
{
    QImage stored(width, height, QImage::Format_RGB32);
    QPainter painter(&stored);
    painter.fillRect(0, 0, width / 2, height, Qt::red);
    painter.fillRect(width / 2, 0, width - width / 2, height, Qt::blue);
    painter.end();
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    stored.save(&buffer, "JPEG", 95);
    // APP1 "Exif": a big-endian TIFF header and one IFD entry, Orientation (0x0112) = 6.
    const QByteArray tiff = QByteArray::fromHex("4d4d002a00000008"
                                                "0001"
                                                "011200030000000100060000"
                                                "00000000");
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(payload.size()) + 2;
    QByteArray segment = QByteArray::fromHex("ffe1");
    segment.append(char(length >> 8)).append(char(length & 0xff)).append(payload);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int fileMode(const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return static_cast<int>(info.st_mode & 07777);
}

bool zipFolder(const QString& sourceFolder, const QString& zipPath)
{
    QProcess zip;
    zip.setWorkingDirectory(sourceFolder);
    zip.start(QStringLiteral(KORVANE_TEST_CMAKE),
              QStringList{QStringLiteral("-E"), QStringLiteral("tar"), QStringLiteral("cf"),
                          zipPath, QStringLiteral("--format=zip")} +
                  QDir(sourceFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot));
    return zip.waitForFinished() && zip.exitStatus() == QProcess::NormalExit && zip.exitCode() == 0;
}

int runFFmpeg(const QStringList& arguments, QByteArray* standardError)
{
    QProcess process;
    process.start(QStringLiteral(KORVANE_TEST_TOOLS_STAGING) + QStringLiteral("/ffmpeg"),
                  QStringList{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                              QStringLiteral("error"), QStringLiteral("-y")} +
                      arguments);
    process.waitForFinished(120000);
    if (standardError)
        *standardError = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace KorvaneTest
