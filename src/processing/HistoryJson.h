#pragma once

#include <optional>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QUuid>

// Reading and writing the values of the history files. A required key gives nullopt when it is
// missing, null or of the wrong type; an optional key may be absent or null.
namespace HistoryJson {

// UUIDs in canonical upper-case text form, without braces.
QString uuidText(const QUuid& id);

// The top-level array, or nullopt when the text is not a JSON array.
std::optional<QJsonArray> parseArray(const QByteArray& json);

std::optional<QUuid> uuid(const QJsonObject& object, const QString& key);
std::optional<QString> string(const QJsonObject& object, const QString& key);
std::optional<double> number(const QJsonObject& object, const QString& key);
// A number with a whole value.
std::optional<qint64> integer(const QJsonObject& object, const QString& key);
std::optional<bool> boolean(const QJsonObject& object, const QString& key);
// nullopt when absent or null; clears *valid when present with another type.
std::optional<QString> optionalString(const QJsonObject& object, const QString& key, bool* valid);

} // namespace HistoryJson
