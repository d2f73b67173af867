#pragma once

#include <optional>

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// The signed-in user's profile as the account server describes it. Every member is optional: a
// member missing from the JSON is absent here and is left out again when encoding.
struct UserInfo {
    std::optional<QString> userId;
    std::optional<QString> provider;
    std::optional<QString> username;
    std::optional<QString> firstName;
    std::optional<QString> lastName;
    std::optional<QString> email;
    std::optional<QString> profileImageUrl;
    std::optional<QString> status;
    std::optional<QString> createdOn;
    std::optional<QString> lastLogin;

    bool operator==(const UserInfo&) const = default;

    // First and last name joined by a space; else the user name, the e-mail address, or "there".
    QString displayName() const;

    // Keys are the member names. A member that is present but neither text nor null makes the
    // whole object fail to decode.
    static std::optional<UserInfo> fromJson(const QJsonObject& object);
    static std::optional<UserInfo> decode(const QByteArray& json);
    QJsonObject toJson() const;
    QByteArray encode() const;

    // The body of the profile answer: an object whose member "user" holds the profile.
    static std::optional<UserInfo> decodeMe(const QByteArray& body);
};
