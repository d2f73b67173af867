#include "processing/HistoryJson.h"

#include <cmath>

#include <QJsonDocument>
#include <QJsonParseError>

namespace HistoryJson {

QString uuidText(const QUuid& id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QJsonArray> parseArray(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    return document.array();
}

std::optional<QUuid> uuid(const QJsonObject& object, const QString& key)
{
    const std::optional<QString> text = string(object, key);
    if (!text)
        return std::nullopt;
    const QUuid id = QUuid::fromString(*text);
    // Only the plain 36-character form is accepted, as it is written.
    if (id.isNull() || text->size() != 36)
        return std::nullopt;
    return id;
}

std::optional<QString> string(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<double> number(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble())
        return std::nullopt;
    return value.toDouble();
}

std::optional<qint64> integer(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = object.value(key);
    if (!value.isDouble())
        return std::nullopt;
    const double d = value.toDouble();
    constexpr double limit = 9007199254740992.0; // 2^53: every whole number below is exact
    if (!std::isfinite(d) || std::trunc(d) != d || std::fabs(d) > limit)
        return std::nullopt;
    return qint64(d);
}

std::optional<bool> boolean(const QJsonObject& object, const QString& key)
{
    const QJsonValue value = object.value(key);
    if (!value.isBool())
        return std::nullopt;
    return value.toBool();
}

std::optional<QString> optionalString(const QJsonObject& object, const QString& key, bool* valid)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isString()) {
        *valid = false;
        return std::nullopt;
    }
    return value.toString();
}

} // namespace HistoryJson
