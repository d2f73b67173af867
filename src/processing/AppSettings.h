#pragma once

#include <optional>

#include <QString>

// The persisted settings of the application, over QSettings (organisation and application
// "Korvane"). Every reader and writer of a setting goes through here.
// Threading: QSettings is reentrant; each call opens its own instance, so any thread may call.
namespace AppSettings {

inline const QString notifyOnFinishKey = QStringLiteral("notifyOnFinish");
inline const QString notifyWithSoundKey = QStringLiteral("notifyWithSound");
inline const QString askWhereToSaveKey = QStringLiteral("askWhereToSave");

// Supplies true for "notifyOnFinish" and "notifyWithSound" while the user has never set them.
// Writes nothing.
void registerDefaults();

bool notifyOnFinish();
bool notifyWithSound();
bool askWhereToSave();

void setNotifyOnFinish(bool on);
void setNotifyWithSound(bool on);
void setAskWhereToSave(bool on);

// For this process only, askWhereToSave() answers on whatever is stored (the command line picks
// every destination itself and answers the save requests); nullopt ends that. Writes nothing.
void overrideAskWhereToSave(std::optional<bool> on);

} // namespace AppSettings
