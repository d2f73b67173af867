#pragma once

#include <optional>

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The account keys in the application's settings store (QSettings, organisation and application
// "Korvane"): the token under "<api host>.jwt", the cached profile and the time of the last
// successful profile fetch.
//
// The token is a credential, so whenever one is written the settings file is made readable and
// writable by its owner only (0600) before the value reaches the disk. QSettings rewrites the file
// through QSaveFile, which keeps the permissions of the file it replaces.
// Threading: each call opens its own QSettings, so any thread may call; the account model calls
// from the main thread.
namespace AccountStore {

inline const QString cachedUserKey = QStringLiteral("auth_cached_user");
inline const QString lastCheckKey = QStringLiteral("auth_last_check");

// The key of the token for an account server host, e.g. "api.korvane.app.jwt".
QString tokenKey(const QString& apiHost);

std::optional<QString> token(const QString& key);
void setToken(const QString& key, const QString& token);
void removeToken(const QString& key);

// The stored profile data; nullopt when nothing is stored.
std::optional<QByteArray> cachedUser();
void setCachedUser(const QByteArray& json);
// The last successful profile fetch; nullopt when absent or not a date.
std::optional<QDateTime> lastCheck();
void setLastCheck(const QDateTime& when);
// Removes the cached profile and the last-check date.
void clearCache();

// The settings file, and making it private to its owner (creating it empty when missing).
QString settingsFilePath();
bool restrictToOwner();

} // namespace AccountStore
