#include "processing/AppSettings.h"

#include <atomic>

#include <QSettings>

namespace AppSettings {

namespace {
std::atomic<bool> g_defaultsRegistered{false};
// 0: no override, 1: false, 2: true.
std::atomic<int> g_askOverride{0};

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
    if (const int forced = g_askOverride.load())
        return forced == 2;
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

void overrideAskWhereToSave(std::optional<bool> on)
{
    g_askOverride.store(on ? (*on ? 2 : 1) : 0);
}

} // namespace AppSettings
