#include "account/UserInfo.h"

#include <array>

#include <QJsonDocument>
#include <QJsonValue>

namespace {
using Member = std::optional<QString> UserInfo::*;
struct Field {
    QLatin1String key;
    Member member;
};

const std::array<Field, 10>& fields()
{
    static const std::array<Field, 10> list{{
        {QLatin1String("userId"), &UserInfo::userId},
        {QLatin1String("provider"), &UserInfo::provider},
        {QLatin1String("username"), &UserInfo::username},
        {QLatin1String("firstName"), &UserInfo::firstName},
        {QLatin1String("lastName"), &UserInfo::lastName},
        {QLatin1String("email"), &UserInfo::email},
        {QLatin1String("profileImageUrl"), &UserInfo::profileImageUrl},
        {QLatin1String("status"), &UserInfo::status},
        {QLatin1String("createdOn"), &UserInfo::createdOn},
        {QLatin1String("lastLogin"), &UserInfo::lastLogin},
    }};
    return list;
}

std::optional<QJsonObject> parseObject(const QByteArray& json)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}
} // namespace

QString UserInfo::displayName() const
{
    if (firstName || lastName) {
        QStringList parts;
        if (firstName)
            parts.append(*firstName);
        if (lastName)
            parts.append(*lastName);
        const QString joined = parts.join(QLatin1Char(' '));
        if (!joined.isEmpty())
            return joined;
    }
    if (username)
        return *username;
    if (email)
        return *email;
    return QStringLiteral("there");
}

std::optional<UserInfo> UserInfo::fromJson(const QJsonObject& object)
{
    UserInfo info;
    for (const Field& field : fields()) {
        const QJsonValue value = object.value(field.key);
        if (value.isUndefined() || value.isNull())
            continue;
        if (!value.isString())
            return std::nullopt;
        info.*field.member = value.toString();
    }
    return info;
}

std::optional<UserInfo> UserInfo::decode(const QByteArray& json)
{
    const std::optional<QJsonObject> object = parseObject(json);
    return object ? fromJson(*object) : std::nullopt;
}

QJsonObject UserInfo::toJson() const
{
    QJsonObject object;
    for (const Field& field : fields()) {
        if (const std::optional<QString>& value = this->*field.member)
            object.insert(field.key, *value);
    }
    return object;
}

QByteArray UserInfo::encode() const
{
    return QJsonDocument(toJson()).toJson(QJsonDocument::Compact);
}

std::optional<UserInfo> UserInfo::decodeMe(const QByteArray& body)
{
    const std::optional<QJsonObject> object = parseObject(body);
    if (!object)
        return std::nullopt;
    const QJsonValue user = object->value(QLatin1String("user"));
    if (!user.isObject())
        return std::nullopt;
    return fromJson(user.toObject());
}
