#include "account/AccountStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace AccountStore {

namespace {
QSettings store()
{
    return QSettings(QStringLiteral("Korvane"), QStringLiteral("Korvane"));
}
} // namespace

QString tokenKey(const QString& apiHost)
{
    return apiHost + QStringLiteral(".jwt");
}

std::optional<QString> token(const QString& key)
{
    const QVariant value = store().value(key);
    if (!value.isValid())
        return std::nullopt;
    return value.toString();
}

void setToken(const QString& key, const QString& token)
{
    restrictToOwner();
    QSettings settings = store();
    settings.setValue(key, token);
    settings.sync();
    // Also covers a file that a writer without this care created in the meantime.
    restrictToOwner();
}

void removeToken(const QString& key)
{
    store().remove(key);
}

std::optional<QByteArray> cachedUser()
{
    const QVariant value = store().value(cachedUserKey);
    if (!value.isValid())
        return std::nullopt;
    return value.toByteArray();
}

void setCachedUser(const QByteArray& json)
{
    store().setValue(cachedUserKey, json);
}

std::optional<QDateTime> lastCheck()
{
    const QVariant value = store().value(lastCheckKey);
    if (value.metaType().id() != QMetaType::QDateTime || !value.toDateTime().isValid())
        return std::nullopt;
    return value.toDateTime();
}

void setLastCheck(const QDateTime& when)
{
    store().setValue(lastCheckKey, when);
}

void clearCache()
{
    QSettings settings = store();
    settings.remove(cachedUserKey);
    settings.remove(lastCheckKey);
}

QString settingsFilePath()
{
    return store().fileName();
}

bool restrictToOwner()
{
    const QString path = settingsFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray native = QFile::encodeName(path);
    // O_EXCL leaves an existing file alone; a new one is born private.
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    return ::chmod(native.constData(), S_IRUSR | S_IWUSR) == 0;
}

} // namespace AccountStore
