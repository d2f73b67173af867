#include "processing/AppSettings.h"

#include <atomic>

#include <QSettings>

namespace AppSettings {

namespace {
std::atomic<bool> g_defaultsRegistered{false};

QSettings store()
{
    return QSettings(QStringLiteral("Korvane"), QStringLiteral("Korvane"));
}

bool readBool(const QString& key, bool registeredDefault)
{
    const QVariant value = store().value(key);
    if (!value.isValid())
        return g_defaultsRegistered.load() ? registeredDefault : false;
    return value.toBool();
}
} // namespace

void registerDefaults()
{
    g_defaultsRegistered.store(true);
}

bool notifyOnFinish()
{
    return readBool(notifyOnFinishKey, true);
}

bool notifyWithSound()
{
    return readBool(notifyWithSoundKey, true);
}

bool askWhereToSave()
{
    return readBool(askWhereToSaveKey, false);
}

void setNotifyOnFinish(bool on)
{
    store().setValue(notifyOnFinishKey, on);
}

void setNotifyWithSound(bool on)
{
    store().setValue(notifyWithSoundKey, on);
}

void setAskWhereToSave(bool on)
{
    store().setValue(askWhereToSaveKey, on);
}

} // namespace AppSettings
