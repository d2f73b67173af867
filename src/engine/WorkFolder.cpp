#include "engine/WorkFolder.h"

#include <filesystem>
#include <system_error>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include "engine/EngineError.h"

WorkFolder::WorkFolder(const QString& prefix) : m_path(freshTempPath(prefix))
{
    makeFolder(m_path);
}

WorkFolder::~WorkFolder()
{
    removeFolder(m_path);
}

QString WorkFolder::filePath(const QString& name) const
{
    return m_path + QLatin1Char('/') + name;
}

QString WorkFolder::freshTempPath(const QString& prefix, const QString& suffix)
{
    return QDir::tempPath() + QLatin1Char('/') + prefix +
           QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + suffix;
}

void WorkFolder::makeFolder(const QString& path)
{
    std::error_code error;
    std::filesystem::create_directories(
        std::filesystem::path(QFile::encodeName(path).toStdString()), error);
    if (error)
        throw EngineError(QStringLiteral("Filesystem"), error.value(),
                          QStringLiteral("Could not create the folder %1: %2")
                              .arg(path, QString::fromLocal8Bit(error.message().c_str())));
}

void WorkFolder::removeFolder(const QString& path)
{
    QDir(path).removeRecursively();
}

int WorkFolder::countEntries(const QString& path)
{
    return int(QDir(path)
                   .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
                   .size());
}

QString WorkFolder::keep(const QString& file)
{
    const QFileInfo info(file);
    QString kept = info.absoluteFilePath();
    if (info.absolutePath() != QFileInfo(QDir::tempPath()).absoluteFilePath()) {
        // Named after its work folder, which makes the name unique and keeps the folder's prefix.
        const QString moved =
            QDir(QDir::tempPath())
                .filePath(info.dir().dirName() + QLatin1Char('-') + info.fileName());
        if (QFile::rename(file, moved))
            kept = moved;
    }
    QFile marker(keptMarker(kept));
    if (marker.open(QIODevice::WriteOnly))
        marker.close();
    return kept;
}

bool WorkFolder::isKept(const QString& path)
{
    const QString marker = QStringLiteral(".kept");
    if (path.endsWith(marker))
        return QFileInfo::exists(path.chopped(marker.size()));
    return QFileInfo::exists(keptMarker(path));
}
